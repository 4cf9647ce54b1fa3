// Every simulator number a gauge uses: variables, events and the one help id.
// This is the only place these numbers live; gauges, the bench and the tests
// all name them from here.
#pragma once

#include <stdint.h>

namespace var {
constexpr uint32_t kSetValueSource = 0x01;  // first source of the set-value readout
constexpr uint32_t kLampSource = 0x05;      // source of the three lamp icons
constexpr uint32_t kPanelLights = 0x0A;
constexpr uint32_t kStrobeLights = 0x0B;
constexpr uint32_t kLandingLights = 0x0E;
constexpr uint32_t kGlideslopeDeviation = 0x29;
constexpr uint32_t kGlideslopeStatus = 0x2C;
constexpr uint32_t kSelectedCourse = 0x2D;
constexpr uint32_t kSpoilerDeployCondition = 0x3C;
constexpr uint32_t kAirspeed = 0x3D;  // knots
constexpr uint32_t kMachSpeed = 0x40;
constexpr uint32_t kLatitude = 0x47;
constexpr uint32_t kLongitude = 0x48;
constexpr uint32_t kAltitude = 0x49;           // metres
constexpr uint32_t kHeading = 0x51;            // degrees
constexpr uint32_t kMagneticVariation = 0x52;  // degrees
constexpr uint32_t kApMaster = 0x67;
constexpr uint32_t kApWingLeveler = 0x68;
constexpr uint32_t kApNavHold = 0x69;
constexpr uint32_t kApHeadingHold = 0x6A;
constexpr uint32_t kApHeadingTarget = 0x6B;
constexpr uint32_t kApAltitudeHold = 0x6C;
constexpr uint32_t kApAltitudeTarget = 0x6D;
constexpr uint32_t kApApproachHold = 0x6F;
constexpr uint32_t kApLocalizerHold = 0x70;
constexpr uint32_t kApBackCourseHold = 0x71;
constexpr uint32_t kApYawDamper = 0x72;
constexpr uint32_t kApAirspeedHold = 0x73;
constexpr uint32_t kApAirspeedTarget = 0x74;
constexpr uint32_t kApMachHold = 0x75;
constexpr uint32_t kApMachTarget = 0x76;
constexpr uint32_t kApVerticalSpeedTarget = 0x78;
constexpr uint32_t kAutothrottleArm = 0x7B;
constexpr uint32_t kClimbRateSelect = 0x9A;
constexpr uint32_t kFlapPosition = 0x149;
constexpr uint32_t kWindSpeed = 0x157;      // knots
constexpr uint32_t kWindDirection = 0x158;  // degrees, where it blows from
}  // namespace var

namespace event {
constexpr uint32_t kToggleStrobeLights = 0x10018;
constexpr uint32_t kToggleApMaster = 0x1002C;
constexpr uint32_t kCourseDown = 0x1007E;
constexpr uint32_t kCourseUp = 0x1007F;
constexpr uint32_t kTogglePanelLights = 0x100D6;
constexpr uint32_t kToggleLandingLights = 0x100D7;
constexpr uint32_t kApOff = 0x100FF;
constexpr uint32_t kApOn = 0x10100;
constexpr uint32_t kLocalizerHoldOn = 0x1010D;
constexpr uint32_t kApproachHoldOn = 0x1010E;
constexpr uint32_t kGpsHeadingHoldOn = 0x1010F;
constexpr uint32_t kGpsAltitudeHoldOn = 0x10110;
constexpr uint32_t kWingLevelerOn = 0x10111;
constexpr uint32_t kBackCourseHoldOn = 0x10112;
constexpr uint32_t kNavHoldOn = 0x10113;
constexpr uint32_t kLocalizerHoldOff = 0x10115;
constexpr uint32_t kApproachHoldOff = 0x10116;
constexpr uint32_t kGpsHeadingHoldOff = 0x10117;
constexpr uint32_t kWingLevelerOff = 0x10119;
constexpr uint32_t kBackCourseHoldOff = 0x1011A;
constexpr uint32_t kNavHoldOff = 0x1011B;
constexpr uint32_t kToggleAutothrottleArm = 0x10144;
constexpr uint32_t kHeadingTargetUp = 0x10157;
constexpr uint32_t kHeadingTargetDown = 0x10158;
constexpr uint32_t kAltitudeTargetUp = 0x10164;
constexpr uint32_t kAltitudeTargetDown = 0x10165;
constexpr uint32_t kVerticalSpeedTargetUp = 0x10166;
constexpr uint32_t kVerticalSpeedTargetDown = 0x10167;
constexpr uint32_t kAirspeedTargetUp = 0x10168;
constexpr uint32_t kAirspeedTargetDown = 0x10169;
constexpr uint32_t kMachTargetUp = 0x1017C;
constexpr uint32_t kMachTargetDown = 0x1017D;
constexpr uint32_t kCoordinationPosition0 = 0x101A0;
constexpr uint32_t kCoordinationPosition1 = 0x101A1;
constexpr uint32_t kApVerticalSpeedSet = 0x101F4;
constexpr uint32_t kApHeadingSet = 0x101FA;
constexpr uint32_t kDeploySpoilers = 0x10210;
constexpr uint32_t kYawDamperOn = 0x10215;
constexpr uint32_t kYawDamperOff = 0x10216;
constexpr uint32_t kAltitudeHoldOn = 0x10237;
constexpr uint32_t kAltitudeHoldOff = 0x10238;
constexpr uint32_t kHeadingHoldOn = 0x1023A;
constexpr uint32_t kHeadingHoldOff = 0x1023B;
constexpr uint32_t kMachHoldOn = 0x1023D;
constexpr uint32_t kMachHoldOff = 0x1023E;
constexpr uint32_t kAirspeedHoldOn = 0x10240;
constexpr uint32_t kAirspeedHoldOff = 0x10241;
constexpr uint32_t kApAltitudeSet = 0x1024C;
}  // namespace event

namespace help {
constexpr uint32_t kFlapsTape = 0xA126;
}  // namespace help

// The whole catalogue, for hosts that check what a module asks for.
namespace catalogue {
constexpr uint32_t kVariables[] = {
    var::kSetValueSource,
    var::kLampSource,
    var::kPanelLights,
    var::kStrobeLights,
    var::kLandingLights,
    var::kGlideslopeDeviation,
    var::kGlideslopeStatus,
    var::kSelectedCourse,
    var::kSpoilerDeployCondition,
    var::kAirspeed,
    var::kMachSpeed,
    var::kLatitude,
    var::kLongitude,
    var::kAltitude,
    var::kHeading,
    var::kMagneticVariation,
    var::kApMaster,
    var::kApWingLeveler,
    var::kApNavHold,
    var::kApHeadingHold,
    var::kApHeadingTarget,
    var::kApAltitudeHold,
    var::kApAltitudeTarget,
    var::kApApproachHold,
    var::kApLocalizerHold,
    var::kApBackCourseHold,
    var::kApYawDamper,
    var::kApAirspeedHold,
    var::kApAirspeedTarget,
    var::kApMachHold,
    var::kApMachTarget,
    var::kApVerticalSpeedTarget,
    var::kAutothrottleArm,
    var::kClimbRateSelect,
    var::kFlapPosition,
    var::kWindSpeed,
    var::kWindDirection,
};
constexpr uint32_t kEvents[] = {
    event::kToggleStrobeLights,
    event::kToggleApMaster,
    event::kCourseDown,
    event::kCourseUp,
    event::kTogglePanelLights,
    event::kToggleLandingLights,
    event::kApOff,
    event::kApOn,
    event::kLocalizerHoldOn,
    event::kApproachHoldOn,
    event::kGpsHeadingHoldOn,
    event::kGpsAltitudeHoldOn,
    event::kWingLevelerOn,
    event::kBackCourseHoldOn,
    event::kNavHoldOn,
    event::kLocalizerHoldOff,
    event::kApproachHoldOff,
    event::kGpsHeadingHoldOff,
    event::kWingLevelerOff,
    event::kBackCourseHoldOff,
    event::kNavHoldOff,
    event::kToggleAutothrottleArm,
    event::kHeadingTargetUp,
    event::kHeadingTargetDown,
    event::kAltitudeTargetUp,
    event::kAltitudeTargetDown,
    event::kVerticalSpeedTargetUp,
    event::kVerticalSpeedTargetDown,
    event::kAirspeedTargetUp,
    event::kAirspeedTargetDown,
    event::kMachTargetUp,
    event::kMachTargetDown,
    event::kCoordinationPosition0,
    event::kCoordinationPosition1,
    event::kApVerticalSpeedSet,
    event::kApHeadingSet,
    event::kDeploySpoilers,
    event::kYawDamperOn,
    event::kYawDamperOff,
    event::kAltitudeHoldOn,
    event::kAltitudeHoldOff,
    event::kHeadingHoldOn,
    event::kHeadingHoldOff,
    event::kMachHoldOn,
    event::kMachHoldOff,
    event::kAirspeedHoldOn,
    event::kAirspeedHoldOff,
    event::kApAltitudeSet,
};

constexpr bool Contains(const uint32_t* list, uint32_t count, uint32_t id) {
  for (uint32_t i = 0; i < count; ++i) {
    if (list[i] == id) return true;
  }
  return false;
}
constexpr bool IsVariable(uint32_t id) {
  return Contains(kVariables, sizeof(kVariables) / sizeof(kVariables[0]), id);
}
constexpr bool IsEvent(uint32_t id) {
  return Contains(kEvents, sizeof(kEvents) / sizeof(kEvents[0]), id);
}
}  // namespace catalogue
