// The GPS's navigation arithmetic on plain numbers: no panel service, no
// gauge state. The routines of navigation.cpp read the simulator variables
// and the gauge state and hand the numbers to these.
#pragma once

#include <stdint.h>

namespace gps {

// Simulator position units.
constexpr double kLatitudeUnitsPer90 = 10001748.0;
constexpr double kLongitudeUnitsPerHalfTurn = 2147483648.0 * 256.0 * 256.0;  // 2^47

double LatitudeDegrees(double latitudeUnits);
double LongitudeDegrees(double longitudeUnits);  // east positive, -180..180
double LatitudeUnits(double degrees);            // negative south
double LongitudeUnits(double degrees);           // negative west, stored between 2^47 and 2^48

// Speed in knots: the airspeed, or the Mach-based speed when that is higher.
double SpeedFrom(double airspeed, double machValue);
// Turn radius in nautical miles at `speed` knots.
double TurnRadiusAt(double speed);
// Distance before the selected item at which it counts as reached.
double LeadDistance(double nextBearing, double steerHeading, double speed);
// The heading to steer corrected for the wind; `steerHeading` unchanged when
// the correction has no number (no speed, wind stronger than the aircraft).
double WindCorrected(double steerHeading, double windSpeed, double windDirection, double speed);
// Hours and minutes to go; false when the speed is 40 knots or less.
bool TimeToGoAt(double distanceNm, double speed, int32_t* hours, int32_t* minutes);

}  // namespace gps
