// The companion library: loaded by name, each function found by name at the
// moment of its use and never cached, so a library that appears, disappears
// or lacks a function costs exactly the step that needs it.
#include "gps_state.h"

namespace gps {

namespace {

constexpr char kLibraryName[] = "KestrelDlg.dll";

// Every function takes its arguments on the stack and removes them itself.
typedef int32_t(__stdcall* RecordFunction)(GpsRecord* record);
typedef int32_t(__stdcall* TourFunction)(int32_t direction);
typedef int32_t(__stdcall* PlainFunction)();

template <typename Fn>
Fn Find(const char* name) {
  if (!state.companion) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(state.companion, name)));
}

bool CallWithRecord(const char* name, GpsRecord* record) {
  RecordFunction fn = Find<RecordFunction>(name);
  if (!fn) return false;
  fn(record);
  return true;
}

}  // namespace

bool CompanionLoaded() { return state.companion != nullptr; }

void TryLoadCompanion() {
  if (!state.companion) state.companion = LoadLibraryA(kLibraryName);
}

void ReleaseCompanion() {
  if (state.companion) FreeLibrary(state.companion);
  state.companion = nullptr;
}

bool CompanionHas(const char* name) { return Find<void*>(name) != nullptr; }

bool CompanionGetData(GpsRecord* record) {
  if (!CallWithRecord("KestrelGetData", record)) return false;
  // A library that fills the texts to the brim leaves no terminating zero;
  // the last byte of each field is made one so no reader runs past it.
  record->ident[sizeof record->ident - 1] = '\0';
  record->name[sizeof record->name - 1] = '\0';
  return true;
}

bool CompanionSetData(GpsRecord* record) { return CallWithRecord("KestrelSetData", record); }

bool CompanionSettingDialog(GpsRecord* record) {
  return CallWithRecord("KestrelSettingDialog", record);
}

bool CompanionAboutDialog() {
  PlainFunction fn = Find<PlainFunction>("KestrelAboutDialog");
  if (!fn) return false;
  fn();
  return true;
}

bool CompanionGetTourItem(int32_t direction, int32_t* index) {
  TourFunction fn = Find<TourFunction>("KestrelGetTourItem");
  if (!fn) return false;
  *index = fn(direction);
  return true;
}

}  // namespace gps
