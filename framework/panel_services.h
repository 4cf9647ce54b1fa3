// The simulator's PanelServices table, reached only through the services word
// of ImportTable, by slot. The word is read afresh at every call; while the
// host has not filled it every service quietly does nothing.
#pragma once

#include "gauge_records.h"

extern "C" ImportEntry ImportTable[2];

namespace services {

enum Slot : uint32_t {
  kQueryElements = 24,
  kInstallElements = 25,
  kInitializeElements = 26,
  kUpdateElements = 27,
  kGenerateElements = 28,
  kDrawElements = 29,
  kKillElements = 31,
  kInstallMouseRects = 32,
  kRegisterMouseRects = 33,
  kUnregisterMouseRects = 34,
  kSendEvent = 36,
  kInitializeVar = 38,
  kLookupVar = 40,
};

template <typename Fn>
inline Fn At(Slot slot) {
  void** table = static_cast<void**>(ImportTable[0].pointer);
  return table ? reinterpret_cast<Fn>(table[slot]) : nullptr;
}

#define GAUGE_SERVICE(name, params, args) \
  inline void name params {               \
    typedef void(GAUGE_CALL * Fn) params; \
    if (Fn fn = At<Fn>(k##name)) fn args; \
  }

GAUGE_SERVICE(QueryElements, (ElementHeader * root), (root))
GAUGE_SERVICE(InstallElements, (ElementHeader * root, uint32_t arg), (root, arg))
GAUGE_SERVICE(InitializeElements, (ElementHeader * root), (root))
GAUGE_SERVICE(UpdateElements, (ElementHeader * root), (root))
GAUGE_SERVICE(GenerateElements, (ElementHeader * root, uint32_t phase), (root, phase))
GAUGE_SERVICE(DrawElements, (ElementHeader * root), (root))
GAUGE_SERVICE(KillElements, (ElementHeader * root), (root))
GAUGE_SERVICE(InstallMouseRects, (MouseRect * list, GaugeHeader* gauge, uint32_t* size),
              (list, gauge, size))
GAUGE_SERVICE(RegisterMouseRects, (MouseRect * list, GaugeHeader* gauge), (list, gauge))
GAUGE_SERVICE(UnregisterMouseRects, (MouseRect * list, GaugeHeader* gauge), (list, gauge))
GAUGE_SERVICE(SendEvent, (uint32_t event_id, int32_t value), (event_id, value))
GAUGE_SERVICE(InitializeVar, (ModuleVar * record), (record))
GAUGE_SERVICE(LookupVar, (ModuleVar * record), (record))

#undef GAUGE_SERVICE

}  // namespace services
