// A gauge with two faults planted on purpose, for checking that the bench
// catches module faults and that the sweep finds and replays them:
//   - its picture callback converts the airspeed to an integer with a plain
//     cast (undefined for NaN and huge values: the checked build traps), and
//     writes to address 16 when the airspeed is exactly -77;
//   - clicking its one area writes to address 16.
#include "gauge_builders.h"
#include "gauge_routines.h"
#include "sim_ids.h"

namespace {

extern GaugeHeader gauge_header;
extern MouseRect mouse_rects[];

// An address no module may write to; volatile so the compiler cannot see it.
volatile uintptr_t nowhere = 16;

FLOAT64 GAUGE_CALL FaultyPicture(ModuleVar* source) {
  int picture = static_cast<int>(source->value);
  if (picture == -77) *reinterpret_cast<int*>(nowhere) = 1;
  return picture & 1;
}

int32_t GAUGE_CALL FaultyClick(uint32_t, uint32_t) {
  *reinterpret_cast<int*>(nowhere) = 2;
  return 1;
}

IconElement icon =
    gauge::Icon(0x100, 0, 0, &gauge_header, nullptr, nullptr, 0, var::kAirspeed, FaultyPicture, 2);
ElementHeader* element_list[] = {&icon.header};

MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(20, 20, 4, 4, CursorButton, LeftClick, FaultyClick),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Routines = gauge::StandardRoutines<gauge_header, mouse_rects>;
GaugeHeader gauge_header = gauge::StandardGauge<Routines>("Faulty", element_list, 40);

}  // namespace

GAUGE_LINKAGE(gauge_header)
