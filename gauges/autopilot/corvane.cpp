// CORVANE: the autopilot mode control panel. A 590 x 123 strip with the ATS,
// ALT SEL, HDG, COURSE and VERTICAL SPEED windows, their knobs, the hold
// switches, the speed, yaw damper and lateral mode selectors and the autopilot
// channel switches. Every pilot action becomes events sent with value 1; every
// picture follows simulator variables, so a picture moves only after the
// simulator has acted and a later update has fetched the new values.
#include "autopilot_resources.h"
#include "gauge_builders.h"
#include "gauge_math.h"
#include "gauge_routines.h"
#include "gauge_text.h"
#include "sim_ids.h"

namespace {

using gauge::ReadsOne;
using gauge::ReadsZero;

extern GaugeHeader gauge_header;

// One failure list, shared by every child of the root.
FailureRecord failures[] = {
    gauge::Failure(2, 3),
    gauge::Failure(1, 3),
    gauge::FailureListEnd(),
};

// ---- gauge-kept state ----

// The speed mode the ATS knob and window work in: 1 is MACH, anything else
// IAS. Set only by the IAS and MACH label clicks; it is module state, so it
// survives a kill and a new install.
int32_t AtsMachMode = 0;

// ---- the gauge's own variable records ----

// Bound at initialize and refreshed after every element update, in this order.
enum Record {
  kAltitudeHold,
  kHeadingHold,
  kMaster,
  kNavHold,
  kApproachHold,
  kLocalizerHold,
  kBackCourseHold,
  kAirspeedHold,
  kMachHold,
  kAirspeedTarget,
  kMachTarget,
  kRecordCount,
};
ModuleVar records[kRecordCount] = {
    gauge::Var(var::kApAltitudeHold),   gauge::Var(var::kApHeadingHold),
    gauge::Var(var::kApMaster),         gauge::Var(var::kApNavHold),
    gauge::Var(var::kApApproachHold),   gauge::Var(var::kApLocalizerHold),
    gauge::Var(var::kApBackCourseHold), gauge::Var(var::kApAirspeedHold),
    gauge::Var(var::kApMachHold),       gauge::Var(var::kApAirspeedTarget),
    gauge::Var(var::kApMachTarget),
};

double Value(Record r) { return records[r].value; }

// ---- readouts ----

// Every window: near-white Courier New on black, centred on one line.
constexpr gauge::StringStyle Window(uint32_t width, uint32_t char_count) {
  return {width, 18, 0xF7F7F7, 0x000000, 0xFFFFFF, char_count};
}
constexpr uint32_t kWindowFlags = 6;

// Room for any "%05d" / "%03d" of a 32-bit integer and any "%2.2f" of a
// Mach target that can possibly fit a window.
constexpr uint32_t kScratchChars = 15;

// A target the window cannot hold shows as a row of dashes, one per
// character: a cut number would read as a wrong target (-10000 fpm cut to
// "-1000"), and dashes are what a pilot reads as "no valid value".
void ShowDashes(StringElement& window) {
  char* out = window.text;
  if (!out) return;  // the host has not installed the tree yet
  for (uint32_t i = 0; i < window.char_count; ++i) out[i] = '-';
  out[window.char_count] = '\0';
}

// Shows `text` (length characters) if it fits the window's char_count.
void ShowInWindow(StringElement& window, const char* text, int length) {
  if (length < 0 || static_cast<uint32_t>(length) > window.char_count) return ShowDashes(window);
  if (window.text)
    gauge::CopyBounded(window.text, window.char_count, text, static_cast<uint32_t>(length) + 1);
}

// The integer part (truncated toward zero) in `format`, "%05d" or "%03d".
void ShowInteger(StringElement& window, const char* format, double value) {
  char scratch[kScratchChars + 1];
  int n = gauge::FormatBounded(scratch, kScratchChars, format, gauge::TruncateToInt32(value));
  ShowInWindow(window, scratch, n);
}

// A Mach number with two decimals. Not-a-number and the infinities have no
// digits to show; negative Mach targets (and from 9.995 up) are too wide.
void ShowMach(StringElement& window, double mach) {
  if (!(mach >= 0.0 && mach < 9.995)) return ShowDashes(window);
  char scratch[kScratchChars + 1];
  // + 0.0 turns -0.0 into 0.0, which prints without a sign.
  int n = gauge::FormatDoubleBounded(scratch, kScratchChars, "%2.2f", mach + 0.0);
  ShowInWindow(window, scratch, n);
}

extern StringElement ats_readout;
extern StringElement altitude_readout;
extern StringElement heading_readout;
extern StringElement course_readout;
extern StringElement vertical_speed_readout;

// The ATS window follows the remembered speed mode, not the engaged hold.
FLOAT64 ShowAtsTarget() {
  if (AtsMachMode == 1) {
    ShowMach(ats_readout, Value(kMachTarget));
    return Value(kMachTarget);
  }
  ShowInteger(ats_readout, "%03d", Value(kAirspeedTarget));
  return Value(kAirspeedTarget);
}

FLOAT64 GAUGE_CALL AtsText(FLOAT64) { return ShowAtsTarget(); }

// The altitude target is held to 0 ... 99999, so it always fits; anything
// that is not at least 0 (negative or not a number) shows as 0.
FLOAT64 GAUGE_CALL AltSelText(FLOAT64 value) {
  if (value > 99999.0) {
    value = 99999.0;
  } else if (!(value >= 0.0)) {
    value = 0.0;
  }
  ShowInteger(altitude_readout, "%05d", value);
  return value;
}

// No wrap-around: the simulator keeps the targets in range.
FLOAT64 GAUGE_CALL HeadingText(FLOAT64 value) {
  ShowInteger(heading_readout, "%03d", value);
  return value;
}

FLOAT64 GAUGE_CALL CourseText(FLOAT64 value) {
  ShowInteger(course_readout, "%03d", value);
  return value;
}

FLOAT64 GAUGE_CALL VerticalSpeedText(FLOAT64 value) {
  ShowInteger(vertical_speed_readout, "%05d", value);
  return value;
}

StringElement altitude_readout =
    gauge::String(121, 73, &gauge_header, nullptr, failures, kWindowFlags, var::kApAltitudeTarget,
                  AltSelText, Window(76, 5));
StringElement heading_readout =
    gauge::String(235, 16, &gauge_header, nullptr, failures, kWindowFlags, var::kApHeadingTarget,
                  HeadingText, Window(40, 3));
StringElement course_readout =
    gauge::String(235, 72, &gauge_header, nullptr, failures, kWindowFlags, var::kSelectedCourse,
                  CourseText, Window(40, 3));
StringElement vertical_speed_readout =
    gauge::String(355, 16, &gauge_header, nullptr, failures, kWindowFlags,
                  var::kApVerticalSpeedTarget, VerticalSpeedText, Window(75, 5));
StringElement ats_readout = gauge::String(35, 16, &gauge_header, nullptr, failures, kWindowFlags, 0,
                                          AtsText, Window(40, 4));

// ---- pictures ----

constexpr uint32_t kIconFlags = 3;

// IAS wins when both speed holds read engaged; the master gates both.
FLOAT64 GAUGE_CALL SpeedModePicture(ModuleVar*) {
  if (!ReadsOne(Value(kMaster))) return 0.0;
  if (ReadsOne(Value(kAirspeedHold))) return 1.0;
  if (ReadsOne(Value(kMachHold))) return 2.0;
  return 0.0;
}

// The first engaged mode in NAV, APR, LOC, BC order; the master plays no part.
FLOAT64 GAUGE_CALL NavModePicture(ModuleVar*) {
  if (ReadsOne(Value(kNavHold))) return 1.0;
  if (ReadsOne(Value(kApproachHold))) return 2.0;
  if (ReadsOne(Value(kLocalizerHold))) return 3.0;
  if (ReadsOne(Value(kBackCourseHold))) return 4.0;
  return 0.0;
}

extern IconElement yaw_damper_icon;

// ON only for exactly 1.0: the one control that does not truncate.
FLOAT64 GAUGE_CALL YawDamperPicture(ModuleVar*) {
  return gauge::IsExactlyOne(yaw_damper_icon.source.value) ? 1.0 : 0.0;
}

IconElement r_switch_icon = gauge::Icon(kBmpRSwitchOff, 511, 40, &gauge_header, nullptr, failures,
                                        kIconFlags, var::kApMaster, nullptr, 2);
IconElement yaw_damper_icon = gauge::Icon(kBmpKnobUpLeft, 300, 19, &gauge_header, nullptr, failures,
                                          kIconFlags, var::kApYawDamper, YawDamperPicture, 2);
IconElement lvl_icon = gauge::Icon(kBmpLeverDown, 422, 60, &gauge_header, nullptr, failures,
                                   kIconFlags, var::kApWingLeveler, nullptr, 2);
IconElement altitude_switch_icon =
    gauge::Icon(kBmpLeverDown, 94, 45, &gauge_header, nullptr, failures, kIconFlags,
                var::kApAltitudeHold, nullptr, 2);
// Its top eleven rows (black) lie above the gauge's top edge.
IconElement heading_switch_icon =
    gauge::Icon(kBmpLeverDown, 207, -11, &gauge_header, nullptr, failures, kIconFlags,
                var::kApHeadingHold, nullptr, 2);
IconElement nav_mode_icon = gauge::Icon(kBmpModeOff, 303, 82, &gauge_header, nullptr, failures,
                                        kIconFlags, 0, NavModePicture, 5);
IconElement autothrottle_icon = gauge::Icon(kBmpLeverDown, 43, 62, &gauge_header, nullptr, failures,
                                            kIconFlags, var::kAutothrottleArm, nullptr, 2);
IconElement speed_mode_icon = gauge::Icon(kBmpKnobUpLeft, 104, 18, &gauge_header, nullptr, failures,
                                          kIconFlags, 0, SpeedModePicture, 3);

// ---- element tree ----

ElementHeader* panel_children[] = {
    &altitude_readout.header,
    &heading_readout.header,
    &course_readout.header,
    &vertical_speed_readout.header,
    &r_switch_icon.header,
    &yaw_damper_icon.header,
    &lvl_icon.header,
    &altitude_switch_icon.header,
    &heading_switch_icon.header,
    &nav_mode_icon.header,
    &autothrottle_icon.header,
    &ats_readout.header,
    &speed_mode_icon.header,
    nullptr,
};
StaticImageElement panel =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, panel_children, nullptr, 1);
ElementHeader* element_list[] = {&panel.header};

// ---- clicks ----

void Send(uint32_t id) { services::SendEvent(id, 1); }

// A hold switch turns on only from off with the master engaged; every other
// state (engaged, master off, odd values) sends the off event.
void ToggleHold(double hold, uint32_t on_event, uint32_t off_event) {
  Send(ReadsZero(hold) && ReadsOne(Value(kMaster)) ? on_event : off_event);
}

int32_t GAUGE_CALL MasterClick(uint32_t, uint32_t) {
  Send(event::kToggleApMaster);
  return 1;
}
int32_t GAUGE_CALL AltitudeHoldClick(uint32_t, uint32_t) {
  ToggleHold(Value(kAltitudeHold), event::kAltitudeHoldOn, event::kAltitudeHoldOff);
  return 1;
}
int32_t GAUGE_CALL HeadingHoldClick(uint32_t, uint32_t) {
  ToggleHold(Value(kHeadingHold), event::kHeadingHoldOn, event::kHeadingHoldOff);
  return 1;
}
int32_t GAUGE_CALL AutothrottleClick(uint32_t, uint32_t) {
  Send(event::kToggleAutothrottleArm);
  return 1;
}
// The wing leveler has no record of its own: its icon's source is the hold.
int32_t GAUGE_CALL WingLevelerClick(uint32_t, uint32_t) {
  ToggleHold(lvl_icon.source.value, event::kWingLevelerOn, event::kWingLevelerOff);
  return 1;
}

// Knob halves: one step per click.
template <uint32_t Event>
int32_t GAUGE_CALL StepClick(uint32_t, uint32_t) {
  Send(Event);
  return 1;
}

// The ATS knob steps whichever target the window shows.
int32_t GAUGE_CALL AtsDownClick(uint32_t, uint32_t) {
  Send(AtsMachMode == 1 ? event::kMachTargetDown : event::kAirspeedTargetDown);
  return 1;
}
int32_t GAUGE_CALL AtsUpClick(uint32_t, uint32_t) {
  Send(AtsMachMode == 1 ? event::kMachTargetUp : event::kAirspeedTargetUp);
  return 1;
}

int32_t GAUGE_CALL ModeOffClick(uint32_t, uint32_t) {
  Send(event::kNavHoldOff);
  Send(event::kLocalizerHoldOff);
  Send(event::kApproachHoldOff);
  Send(event::kBackCourseHoldOff);
  return 1;
}
int32_t GAUGE_CALL NavClick(uint32_t, uint32_t) {
  Send(event::kNavHoldOn);
  return 1;
}
int32_t GAUGE_CALL AprClick(uint32_t, uint32_t) {
  Send(event::kLocalizerHoldOff);
  Send(event::kApproachHoldOn);
  return 1;
}
// Also leaves the LOC picture's index in the selector's own (unbound)
// record; the picture itself still follows NavModePicture.
int32_t GAUGE_CALL LocClick(uint32_t, uint32_t) {
  Send(event::kApproachHoldOff);
  Send(event::kLocalizerHoldOn);
  nav_mode_icon.source.value = 3.0;
  return 1;
}
int32_t GAUGE_CALL BcClick(uint32_t, uint32_t) {
  Send(event::kBackCourseHoldOn);
  return 1;
}

int32_t GAUGE_CALL SpeedOffClick(uint32_t, uint32_t) {
  Send(event::kAirspeedHoldOff);
  Send(event::kMachHoldOff);
  return 1;
}
// With the master off no hold will engage, so the window shows the chosen
// mode's target at once; with it on, the window changes at its next refresh.
int32_t GAUGE_CALL IasClick(uint32_t, uint32_t) {
  const bool master_off = ReadsZero(Value(kMaster));
  AtsMachMode = 0;
  if (master_off) ShowAtsTarget();
  Send(event::kAirspeedHoldOn);
  return 1;
}
int32_t GAUGE_CALL MachClick(uint32_t, uint32_t) {
  const bool master_off = ReadsZero(Value(kMaster));
  AtsMachMode = 1;
  if (master_off) ShowAtsTarget();
  Send(event::kMachHoldOn);
  return 1;
}

int32_t GAUGE_CALL YawDamperOffClick(uint32_t, uint32_t) {
  Send(event::kYawDamperOff);
  return 1;
}
int32_t GAUGE_CALL YawDamperOnClick(uint32_t, uint32_t) {
  Send(event::kYawDamperOn);
  return 1;
}

constexpr uint32_t kStep = LeftClick | StepFlag;

// The selectors are worked by their labels: the knobs themselves, the L
// switch and the CWS positions have no area. The V/S halves overlap in
// y 78 to 83, where the earlier (lower, down) half takes the click.
MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(515, 40, 20, 60, CursorButton, LeftClick, MasterClick),
    gauge::CallbackRect(96, 53, 20, 34, CursorButton, LeftClick, AltitudeHoldClick),
    gauge::CallbackRect(206, 11, 25, 38, CursorButton, LeftClick, HeadingHoldClick),
    gauge::CallbackRect(38, 76, 32, 32, CursorButton, LeftClick, AutothrottleClick),
    gauge::CallbackRect(417, 75, 32, 32, CursorButton, LeftClick, WingLevelerClick),
    gauge::CallbackRect(145, 92, 15, 25, CursorDecrease, kStep,
                        StepClick<event::kAltitudeTargetDown>),
    gauge::CallbackRect(160, 92, 15, 25, CursorIncrease, kStep,
                        StepClick<event::kAltitudeTargetUp>),
    gauge::CallbackRect(240, 35, 15, 25, CursorDecrease, kStep,
                        StepClick<event::kHeadingTargetDown>),
    gauge::CallbackRect(255, 35, 15, 25, CursorIncrease, kStep, StepClick<event::kHeadingTargetUp>),
    gauge::CallbackRect(249, 91, 15, 25, CursorDecrease, kStep, StepClick<event::kCourseDown>),
    gauge::CallbackRect(264, 91, 15, 25, CursorIncrease, kStep, StepClick<event::kCourseUp>),
    gauge::CallbackRect(39, 35, 15, 25, CursorDecrease, kStep, AtsDownClick),
    gauge::CallbackRect(54, 35, 15, 25, CursorIncrease, kStep, AtsUpClick),
    gauge::CallbackRect(373, 78, 26, 37, CursorDecrease, kStep,
                        StepClick<event::kVerticalSpeedTargetDown>),
    gauge::CallbackRect(373, 47, 26, 37, CursorIncrease, kStep,
                        StepClick<event::kVerticalSpeedTargetUp>),
    gauge::CallbackRect(275, 105, 20, 12, CursorButton, LeftClick, ModeOffClick),
    gauge::CallbackRect(283, 78, 20, 12, CursorButton, LeftClick, NavClick),
    gauge::CallbackRect(308, 64, 20, 12, CursorButton, LeftClick, AprClick),
    gauge::CallbackRect(341, 80, 20, 12, CursorButton, LeftClick, LocClick),
    gauge::CallbackRect(346, 111, 20, 12, CursorButton, LeftClick, BcClick),
    gauge::CallbackRect(98, 0, 20, 14, CursorButton, LeftClick, SpeedOffClick),
    gauge::CallbackRect(140, 2, 20, 14, CursorButton, LeftClick, IasClick),
    gauge::CallbackRect(154, 30, 20, 14, CursorButton, LeftClick, MachClick),
    gauge::CallbackRect(286, 0, 25, 14, CursorButton, LeftClick, YawDamperOffClick),
    gauge::CallbackRect(334, 0, 25, 14, CursorButton, LeftClick, YawDamperOnClick),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

// ---- routines ----

// The common routines, with the gauge's own records bound after the tree's
// initialize and refreshed after every update of the tree.
struct Routines {
  static void GAUGE_CALL Query() { gauge::StandardQuery(gauge_header); }
  static void GAUGE_CALL Install(uint32_t arg) {
    gauge::StandardInstall(gauge_header, mouse_rects, arg);
  }
  static void GAUGE_CALL Initialize() {
    gauge::StandardInitialize(gauge_header);
    for (ModuleVar& record : records) services::InitializeVar(&record);
  }
  static void GAUGE_CALL Update() {
    gauge::StandardUpdate(gauge_header);
    for (ModuleVar& record : records) services::LookupVar(&record);
  }
  static void GAUGE_CALL Generate(uint32_t phase) { gauge::StandardGenerate(gauge_header, phase); }
  static void GAUGE_CALL Draw() { gauge::StandardDraw(gauge_header); }
  static void GAUGE_CALL Kill() { gauge::StandardKill(gauge_header, mouse_rects); }
};

GaugeHeader gauge_header = gauge::StandardGauge<Routines>("corvane", element_list, 370);

}  // namespace

GAUGE_LINKAGE(gauge_header)
