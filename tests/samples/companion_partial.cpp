// A GPS companion library that exports only two of its five functions (the
// data and the cursor): the GPS must skip every step that needs the others.
// Its route has three items, in tour mode.
#include <string.h>
#include <windows.h>

#include "gps_state.h"

namespace {

int32_t cursor = 0;
const double kLatitudes[3] = {5000000.0, 5001000.0, 5002000.0};
const double kLongitudes[3] = {100000000.0, 100001000.0, 100002000.0};

}  // namespace

extern "C" int32_t __stdcall KestrelGetData(GpsRecord* record) {
  memset(record, 0, sizeof *record);
  memcpy(record->ident, "PT0", 4);
  record->ident[2] = static_cast<char>('0' + cursor);
  memcpy(record->name, "PARTIAL", 8);
  record->latitude = kLatitudes[cursor];
  record->longitude = kLongitudes[cursor];
  record->mode = 1;
  record->coupleTour = 1;
  record->tourIndex = cursor;
  return 0;
}

extern "C" int32_t __stdcall KestrelGetTourItem(int32_t direction) {
  cursor = (cursor + (direction == 1 ? 1 : 2)) % 3;
  return cursor;
}

extern "C" BOOL WINAPI SampleEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
