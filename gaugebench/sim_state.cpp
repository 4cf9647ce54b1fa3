#include "sim_state.h"

#include <cmath>

#include "gauge_math.h"
#include "sim_ids.h"

namespace bench {

namespace {
// Heading, wing leveler, NAV, approach, localizer and back course steer the
// same ailerons; IAS and Mach drive the same throttles.
constexpr uint32_t kLateralHolds[] = {var::kApHeadingHold,   var::kApWingLeveler,
                                      var::kApNavHold,       var::kApApproachHold,
                                      var::kApLocalizerHold, var::kApBackCourseHold};
constexpr uint32_t kSpeedHolds[] = {var::kApAirspeedHold, var::kApMachHold};
}  // namespace

SimState::SimState() {
  for (uint32_t id : catalogue::kVariables) vars_[id] = 0.0;
}

double SimState::Get(uint32_t id) const {
  auto it = vars_.find(id);
  return it == vars_.end() ? 0.0 : it->second;
}

void SimState::Set(uint32_t id, double value) { vars_[id] = value; }

void SimState::Toggle(uint32_t id) { Set(id, gauge::ReadsZero(Get(id)) ? 1.0 : 0.0); }

template <size_t N>
void SimState::Release(const uint32_t (&holds)[N]) {
  for (uint32_t hold : holds) Set(hold, 0.0);
}

void SimState::Engage(uint32_t id) {
  if (gauge::ReadsOne(Get(var::kApMaster))) Set(id, 1.0);
}

// Heading, wing leveler, NAV, approach, localizer and back course steer the
// same ailerons: engaging one releases the others.
void SimState::EngageLateral(uint32_t id) {
  if (!gauge::ReadsOne(Get(var::kApMaster))) return;
  Release(kLateralHolds);
  Set(id, 1.0);
}

// The speed holds drive the throttles: they engage only with the master on
// and the autothrottle armed, and IAS and Mach replace each other.
void SimState::EngageSpeed(uint32_t id) {
  if (!gauge::ReadsOne(Get(var::kApMaster)) || !gauge::ReadsOne(Get(var::kAutothrottleArm))) return;
  Release(kSpeedHolds);
  Set(id, 1.0);
}

void SimState::StepTarget(uint32_t id, double step, double low, double high) {
  double v = Get(id);
  if (!std::isfinite(v)) v = 0.0;
  double next = std::round((v + step) / std::fabs(step)) * std::fabs(step);
  if (next < low) next = low;
  if (next > high) next = high;
  Set(id, next);
}

void SimState::StepHeading(uint32_t id, int step) {
  int32_t h = gauge::TruncateToInt32(Get(id));
  h = ((h % 360) + 360 + step) % 360;
  Set(id, h);
}

void SimState::ApplyEvent(uint32_t id, int32_t value) {
  switch (id) {
    // Lights toggle.
    case event::kTogglePanelLights:
      Toggle(var::kPanelLights);
      break;
    case event::kToggleStrobeLights:
      Toggle(var::kStrobeLights);
      break;
    case event::kToggleLandingLights:
      Toggle(var::kLandingLights);
      break;

    // Autopilot master: switching it off drops every hold.
    case event::kToggleApMaster:
      if (gauge::ReadsOne(Get(var::kApMaster))) {
        ApplyEvent(event::kApOff, 0);
      } else {
        Set(var::kApMaster, 1.0);
      }
      break;
    case event::kApOn:
      Set(var::kApMaster, 1.0);
      break;
    case event::kApOff:
      Set(var::kApMaster, 0.0);
      Release(kLateralHolds);
      Release(kSpeedHolds);
      Set(var::kApAltitudeHold, 0.0);
      break;

    // Holds engage only with the master on; they release at any time.
    case event::kHeadingHoldOn:
    case event::kGpsHeadingHoldOn:
      EngageLateral(var::kApHeadingHold);
      break;
    case event::kHeadingHoldOff:
    case event::kGpsHeadingHoldOff:
      Set(var::kApHeadingHold, 0.0);
      break;
    case event::kAltitudeHoldOn:
    case event::kGpsAltitudeHoldOn:
      Engage(var::kApAltitudeHold);
      break;
    case event::kAltitudeHoldOff:
      Set(var::kApAltitudeHold, 0.0);
      break;
    case event::kWingLevelerOn:
      EngageLateral(var::kApWingLeveler);
      break;
    case event::kWingLevelerOff:
      Set(var::kApWingLeveler, 0.0);
      break;
    case event::kNavHoldOn:
      EngageLateral(var::kApNavHold);
      break;
    case event::kNavHoldOff:
      Set(var::kApNavHold, 0.0);
      break;
    case event::kApproachHoldOn:
      EngageLateral(var::kApApproachHold);
      break;
    case event::kApproachHoldOff:
      Set(var::kApApproachHold, 0.0);
      break;
    case event::kLocalizerHoldOn:
      EngageLateral(var::kApLocalizerHold);
      break;
    case event::kLocalizerHoldOff:
      Set(var::kApLocalizerHold, 0.0);
      break;
    case event::kBackCourseHoldOn:
      EngageLateral(var::kApBackCourseHold);
      break;
    case event::kBackCourseHoldOff:
      Set(var::kApBackCourseHold, 0.0);
      break;
    case event::kAirspeedHoldOn:
      EngageSpeed(var::kApAirspeedHold);
      break;
    case event::kAirspeedHoldOff:
      Set(var::kApAirspeedHold, 0.0);
      break;
    case event::kMachHoldOn:
      EngageSpeed(var::kApMachHold);
      break;
    case event::kMachHoldOff:
      Set(var::kApMachHold, 0.0);
      break;
    case event::kYawDamperOn:
      Set(var::kApYawDamper, 1.0);
      break;
    case event::kYawDamperOff:
      Set(var::kApYawDamper, 0.0);
      break;
    // Disarming the autothrottle disconnects it: the speed holds drop.
    case event::kToggleAutothrottleArm:
      Toggle(var::kAutothrottleArm);
      if (gauge::ReadsZero(Get(var::kAutothrottleArm))) Release(kSpeedHolds);
      break;

    // Targets step.
    case event::kHeadingTargetUp:
      StepHeading(var::kApHeadingTarget, 1);
      break;
    case event::kHeadingTargetDown:
      StepHeading(var::kApHeadingTarget, -1);
      break;
    case event::kCourseUp:
      StepHeading(var::kSelectedCourse, 1);
      break;
    case event::kCourseDown:
      StepHeading(var::kSelectedCourse, -1);
      break;
    case event::kAltitudeTargetUp:
      StepTarget(var::kApAltitudeTarget, 100, 0, 99900);
      break;
    case event::kAltitudeTargetDown:
      StepTarget(var::kApAltitudeTarget, -100, 0, 99900);
      break;
    case event::kVerticalSpeedTargetUp:
      StepTarget(var::kApVerticalSpeedTarget, 100, -9900, 9900);
      break;
    case event::kVerticalSpeedTargetDown:
      StepTarget(var::kApVerticalSpeedTarget, -100, -9900, 9900);
      break;
    case event::kAirspeedTargetUp:
      StepTarget(var::kApAirspeedTarget, 1, 0, 999);
      break;
    case event::kAirspeedTargetDown:
      StepTarget(var::kApAirspeedTarget, -1, 0, 999);
      break;
    // The Mach target steps in hundredths.
    case event::kMachTargetUp:
      StepTarget(var::kApMachTarget, 0.01, 0, 9.99);
      break;
    case event::kMachTargetDown:
      StepTarget(var::kApMachTarget, -0.01, 0, 9.99);
      break;

    // Settings set.
    case event::kApHeadingSet:
      Set(var::kApHeadingTarget, ((value % 360) + 360) % 360);
      break;
    case event::kApAltitudeSet:
      Set(var::kApAltitudeTarget, value);
      break;
    case event::kApVerticalSpeedSet:
      Set(var::kApVerticalSpeedTarget, value);
      break;

    case event::kCoordinationPosition0:
      coordination_position = 0;
      break;
    case event::kCoordinationPosition1:
      coordination_position = 1;
      break;
    case event::kDeploySpoilers:
      ++spoiler_deployments;
      break;
    default:
      break;
  }
}

}  // namespace bench
