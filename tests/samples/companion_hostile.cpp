// A GPS companion library that breaks every promise it can without touching
// memory outside the record it is handed: texts filled to the last byte with
// no terminating zero, coordinates and altitudes of NaN, infinity and 1e300,
// modes and flags out of range, and a cursor whose indices neither wrap nor
// undo (huge, negative, unchanged, jumping). The GPS must survive all of it.
#include <string.h>
#include <windows.h>

#include "gps_state.h"

namespace {

uint32_t calls = 0;

double Bad(uint32_t n) {
  static const double values[] = {
      __builtin_nan(""), __builtin_inf(), -__builtin_inf(), 1e300, -1e300, 4.9e-324, 0.0, -0.0};
  return values[n % (sizeof values / sizeof values[0])];
}

void Scribble(GpsRecord* record) {
  ++calls;
  memset(record->ident, 'X', sizeof record->ident);
  memset(record->name, 'W', sizeof record->name);
  record->latitude = Bad(calls);
  record->longitude = Bad(calls + 3);
  record->coupleDirect = static_cast<int32_t>(calls * 7919u);
  record->altHoldDirect = -1;
  record->altitudeDirect = Bad(calls + 1);
  record->spareDirect = Bad(calls + 2);
  record->coupleTour = (calls & 1) ? 1 : 0x7FFFFFFF;
  record->altHoldTour = static_cast<int32_t>(0x80000000u);
  record->altitudeTour = Bad(calls + 5);
  record->spareTour = Bad(calls + 6);
  record->mode = (calls % 3 == 0) ? 7 : 1;
  record->tourIndex = static_cast<int32_t>(calls * 2654435761u);
  record->aircraftLatitude = Bad(calls + 4);
  record->aircraftLongitude = Bad(calls + 7);
}

}  // namespace

extern "C" int32_t __stdcall KestrelSetData(GpsRecord* record) {
  Scribble(record);
  return -1;
}

extern "C" int32_t __stdcall KestrelSettingDialog(GpsRecord* record) {
  Scribble(record);
  return -1;
}

extern "C" int32_t __stdcall KestrelGetData(GpsRecord* record) {
  Scribble(record);
  return 0x7FFFFFFF;
}

extern "C" int32_t __stdcall KestrelAboutDialog() { return -1; }

extern "C" int32_t __stdcall KestrelGetTourItem(int32_t direction) {
  static const int32_t indices[] = {0x7FFFFFFF, static_cast<int32_t>(0x80000000u), -1, 0, 0, 5,
                                    1000000};
  ++calls;
  return indices[(calls + static_cast<uint32_t>(direction)) % 7];
}

extern "C" BOOL WINAPI SampleEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
