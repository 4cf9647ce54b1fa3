// The seven gauge routines in their common form, and the pieces the variant
// routines are built from. A gauge whose routines are all common names them
// with StandardRoutines<header, mouse list>; a variant writes its own routine
// from the steps below in the order it needs.
#pragma once

#include "gauge_records.h"
#include "panel_services.h"

namespace gauge {

// The root is read afresh from the header at every call.
inline ElementHeader* Root(GaugeHeader& header) {
  return header.element_list ? header.element_list[0] : nullptr;
}

// Address of the size pair (words 1 and 2) of the root's host image record.
inline uint32_t* RootSizePair(GaugeHeader& header) {
  ElementHeader* root = Root(header);
  if (!root || root->kind != kStaticImage) return nullptr;
  ImageRecord* image = reinterpret_cast<StaticImageElement*>(root)->image;
  return image ? &image->width : nullptr;
}

inline void InstallMouse(GaugeHeader& header, MouseRect* list) {
  services::InstallMouseRects(list, &header, RootSizePair(header));
  services::RegisterMouseRects(list, &header);
}

inline void StandardQuery(GaugeHeader& header) { services::QueryElements(Root(header)); }

inline void StandardInstall(GaugeHeader& header, MouseRect* list, uint32_t arg) {
  services::InstallElements(Root(header), arg);
  InstallMouse(header, list);
}

inline void StandardInitialize(GaugeHeader& header) { services::InitializeElements(Root(header)); }

inline void StandardUpdate(GaugeHeader& header) { services::UpdateElements(Root(header)); }

inline void StandardGenerate(GaugeHeader& header, uint32_t phase) {
  services::GenerateElements(Root(header), phase);
}

inline void StandardDraw(GaugeHeader& header) { services::DrawElements(Root(header)); }

inline void StandardKill(GaugeHeader& header, MouseRect* list) {
  services::UnregisterMouseRects(list, &header);
  services::KillElements(Root(header));
}

// The common form of all seven routines for one gauge.
template <GaugeHeader& H, MouseRect* List>
struct StandardRoutines {
  static void GAUGE_CALL Query() { StandardQuery(H); }
  static void GAUGE_CALL Install(uint32_t arg) { StandardInstall(H, List, arg); }
  static void GAUGE_CALL Initialize() { StandardInitialize(H); }
  static void GAUGE_CALL Update() { StandardUpdate(H); }
  static void GAUGE_CALL Generate(uint32_t phase) { StandardGenerate(H, phase); }
  static void GAUGE_CALL Draw() { StandardDraw(H); }
  static void GAUGE_CALL Kill() { StandardKill(H, List); }
};

// Sets or clears ImageHidden, leaving every other flag bit as it is.
inline void SetHidden(ElementHeader& element, bool hidden) {
  if (hidden) {
    element.image_flags |= ImageHidden;
  } else {
    element.image_flags &= ~ImageHidden;
  }
}

// A value callback that hands the source value back unchanged.
FLOAT64 GAUGE_CALL PassThrough(ModuleVar* source);

}  // namespace gauge
