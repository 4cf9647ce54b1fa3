// What every module shares at run time: the ImportTable the host fills, the
// library entry point, the empty ModuleInit/ModuleDeinit and the pass-through
// value callback.
#include <windows.h>

#include "gauge_builders.h"
#include "gauge_routines.h"

extern "C" {
__declspec(dllexport) ImportEntry ImportTable[2] = {
    {kPanelServicesImportId, nullptr},
    {0, nullptr},
};
}

namespace gauge {

void GAUGE_CALL ModuleNoOp() {}

FLOAT64 GAUGE_CALL PassThrough(ModuleVar* source) { return source ? source->value : 0.0; }

}  // namespace gauge

// The module does no work of its own on load or unload.
extern "C" BOOL WINAPI GaugeModuleEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
