// A companion library for the tests that fills `ident` and `name` to their
// last byte with no terminating zero, around a sound direct destination with
// the autopilot and altitude coupled, and a cursor over a route of three.
#include <string.h>
#include <windows.h>

#include "gps_state.h"
#include "nav_math.h"

namespace {
int32_t cursor = 0;
}

extern "C" {

int32_t __stdcall KestrelGetData(GpsRecord* record) {
  memset(record, 0, sizeof *record);
  memset(record->ident, 'X', sizeof record->ident);
  memset(record->name, 'W', sizeof record->name);
  record->latitude = gps::LatitudeUnits(11.0 + cursor);
  record->longitude = gps::LongitudeUnits(10.0);
  record->coupleDirect = 1;
  record->altHoldDirect = 1;
  record->altitudeDirect = 5000.0;
  record->mode = 0;
  record->tourIndex = cursor;
  return 1;
}

int32_t __stdcall KestrelSetData(GpsRecord*) { return 1; }
int32_t __stdcall KestrelSettingDialog(GpsRecord*) { return 0; }
int32_t __stdcall KestrelAboutDialog() { return 0; }

int32_t __stdcall KestrelGetTourItem(int32_t direction) {
  cursor = direction == 1 ? (cursor + 1) % 3 : (cursor + 2) % 3;
  return cursor;
}

BOOL WINAPI UnterminatedEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
