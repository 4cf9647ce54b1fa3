// Greenrow: the set-value lamp annunciator. Three green lamps light one after
// another as the airspeed climbs towards a value the pilot sets with two
// click halves (0 to 190, 70 at load); all three go out once the airspeed is
// more than 10 above it. The set value lives only here: nothing is sent.
#include "gauge_builders.h"
#include "gauge_routines.h"
#include "gauge_text.h"
#include "lamps_resources.h"
#include "sim_ids.h"

namespace {

constexpr int32_t kSetValueLowest = 0;
constexpr int32_t kSetValueHighest = 190;

// The set value; 70 whenever the library is loaded, never reset by a routine.
int32_t SetValue = 70;

// The airspeed record the lamps compare with the set value. It is never bound
// with InitializeVar: each lamp callback refreshes it with LookupVar.
ModuleVar airspeed = gauge::Var(var::kAirspeed);

extern GaugeHeader gauge_header;
extern ElementHeader* background_children[];
extern ElementHeader* left_lamp_children[];
extern ElementHeader* middle_lamp_children[];
extern ElementHeader* right_lamp_children[];
extern StringElement readout;

FailureRecord lamp_failures[] = {
    gauge::Failure(2, 0),
    gauge::FailureListEnd(),
};

// Every lamp is lit up to 10 above the set value; they differ only in how far
// below it they light. Both ends count as inside; a NaN airspeed fails both
// comparisons and leaves the lamp dark. Picture 0 is the lit lens, -1 none.
FLOAT64 LampPicture(double lights_below) {
  services::LookupVar(&airspeed);
  const double v = airspeed.value;
  const double c = static_cast<double>(SetValue);
  return (v >= c - lights_below && v <= c + 10.0) ? 0.0 : -1.0;
}

FLOAT64 GAUGE_CALL LeftLampTest(ModuleVar*) { return LampPicture(10.0); }
FLOAT64 GAUGE_CALL MiddleLampTest(ModuleVar*) { return LampPicture(5.0); }
FLOAT64 GAUGE_CALL RightLampTest(ModuleVar*) { return LampPicture(0.0); }

// Shows the set value; the readout's own source value passes through.
FLOAT64 GAUGE_CALL ReadoutText(FLOAT64 value) {
  gauge::FormatBounded(readout.text, readout.char_count, "%3d", SetValue);
  return value;
}

// Element tree: a chain, each element the only child of the one before.
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, nullptr, 0x1);
IconElement left_lamp = gauge::Icon(kBmpLeftLamp, 0, 0, &gauge_header, left_lamp_children,
                                    lamp_failures, 0x7, var::kLampSource, LeftLampTest, 3);
IconElement middle_lamp = gauge::Icon(kBmpMiddleLamp, 0, 0, &gauge_header, middle_lamp_children,
                                      lamp_failures, 0x7, var::kLampSource, MiddleLampTest, 3);
IconElement right_lamp = gauge::Icon(kBmpRightLamp, 0, 0, &gauge_header, right_lamp_children,
                                     lamp_failures, 0x7, var::kLampSource, RightLampTest, 3);
StringElement readout =
    gauge::String(15, 28, &gauge_header, nullptr, nullptr, 0x3, var::kSetValueSource, ReadoutText,
                  gauge::StringStyle{59, 24, 0xEFEFEF, 0, 0, 3});

ElementHeader* background_children[] = {&left_lamp.header, nullptr};
ElementHeader* left_lamp_children[] = {&middle_lamp.header, nullptr};
ElementHeader* middle_lamp_children[] = {&right_lamp.header, nullptr};
ElementHeader* right_lamp_children[] = {&readout.header, nullptr};
ElementHeader* element_list[] = {&background.header};

// The two halves below the lenses step the set value, clamped to its range.
int32_t GAUGE_CALL Decrease(uint32_t, uint32_t) {
  SetValue = SetValue - 1;
  if (SetValue < kSetValueLowest) SetValue = kSetValueLowest;
  return 1;
}

int32_t GAUGE_CALL Increase(uint32_t, uint32_t) {
  SetValue = SetValue + 1;
  if (SetValue > kSetValueHighest) SetValue = kSetValueHighest;
  return 1;
}

MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(9, 25, 34, 38, CursorDecrease, LeftClick | StepFlag, Decrease),
    gauge::CallbackRect(43, 25, 34, 38, CursorIncrease, LeftClick | StepFlag, Increase),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Routines = gauge::StandardRoutines<gauge_header, mouse_rects>;
GaugeHeader gauge_header = gauge::StandardGauge<Routines>("GREENROW", element_list, 33);

}  // namespace

GAUGE_LINKAGE(gauge_header)
