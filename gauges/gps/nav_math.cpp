// Navigation arithmetic on plain numbers. Every constant is the one the
// navigator has always used (57.29578 degrees per radian, 3.1415927 for pi in
// the bearing and the lead, 6.28 for a full turn in the wind correction), so
// the numbers on the screen stay what pilots know.
#include "nav_math.h"

#include <math.h>
#include <string.h>

#include "gauge_math.h"
#include "gauge_text.h"
#include "gps_state.h"

namespace gps {

namespace {

constexpr double kDegreesPerRadian = 57.29578;
constexpr double kEarthRadiusKm = 6371.0;
constexpr double kKmPerNm = 1.852;
constexpr double kPiShort = 3.1415927;
constexpr double kPi = 3.141592653589793;
constexpr double kFullTurn = 6.28;
constexpr double kSlowKnots = 40.0;

// Longitude as a fraction of a half turn, east positive: values above one
// half turn's worth of units are west longitudes.
double LongitudeFraction(double longitudeUnits) {
  double f = longitudeUnits / kLongitudeUnitsPerHalfTurn;
  if (f > 1.0) f -= 2.0;
  return f;
}

// Longitude in degrees 0 to 360 east.
double LongitudeEast360(double longitudeUnits) {
  double f = LongitudeFraction(longitudeUnits);
  double lambda = 180.0 * f;
  if (f < 0.0) lambda += 360.0;
  return lambda;
}

// Rounding carries arc-cosine arguments just past one on meridian legs; NaN
// stays NaN.
double ClampUnit(double x) {
  if (x > 1.0) return 1.0;
  if (x < -1.0) return -1.0;
  return x;
}

}  // namespace

double LatitudeDegrees(double latitudeUnits) { return 90.0 * latitudeUnits / kLatitudeUnitsPer90; }

double LongitudeDegrees(double longitudeUnits) { return 180.0 * LongitudeFraction(longitudeUnits); }

double LatitudeUnits(double degrees) { return degrees * kLatitudeUnitsPer90 / 90.0; }

double LongitudeUnits(double degrees) {
  double f = degrees / 180.0;
  if (f < 0.0) f += 2.0;
  return f * kLongitudeUnitsPerHalfTurn;
}

LegResult LegDistanceBearing(double lat1, double lon1, double lat2, double lon2, double variation) {
  // A destination on latitude or longitude 0.0 is "no position".
  if (lat2 == 0.0 || lon2 == 0.0) return LegResult{0.0, 0.0};

  const double phi1 = LatitudeDegrees(lat1);
  const double phi2 = LatitudeDegrees(lat2);
  const double lambda1 = LongitudeEast360(lon1);
  const double lambda2 = LongitudeEast360(lon2);

  const double c1 = (90.0 - phi1) / kDegreesPerRadian;
  const double c2 = (90.0 - phi2) / kDegreesPerRadian;
  const double delta = fabs(lambda2 - lambda1) / kDegreesPerRadian;

  // Each sine and cosine once: this runs on every update, twice.
  const double sinC1 = sin(c1), cosC1 = cos(c1);
  const double sinC2 = sin(c2), cosC2 = cos(c2);
  const double cosDelta = cos(delta);

  const double sigma = acos(ClampUnit(cosC1 * cosC2 + sinC1 * sinC2 * cosDelta));
  const double distance = sigma * kEarthRadiusKm / kKmPerNm;

  // Coincident points leave no direction: the bearing is taken as north.
  const double sinSigma = sin(sigma);
  const double q =
      sinSigma == 0.0 ? 1.0 : ClampUnit((cosC2 * sinC1 - sinC2 * cosC1 * cosDelta) / sinSigma);
  double beta = acos(q) * 180.0 / kPiShort;  // 0 to 180

  if (lambda1 > lambda2) beta = 359.4 - beta;
  if (fabs(lambda2 - lambda1) > 180.0) beta = 360.0 - beta;
  if (beta < 90.0) beta -= 0.5;
  beta = beta + 360.0 - variation;
  if (beta > 360.0) beta -= 360.0;
  if (beta < 1.0) beta = 360.0 - beta;
  return LegResult{distance, beta};
}

double SpeedFrom(double airspeed, double machValue) {
  const double mach = machValue / 65535.0 / 3.2 * 1224.0 / 0.1852;
  return mach > airspeed ? mach : airspeed;
}

double TurnRadiusAt(double speed) { return 0.25 * pow(speed / 100.0, 2.5); }

double LeadDistance(double nextBearing, double steerHeading, double speed) {
  // The angle at the selected item between the way back along this leg and
  // the next leg: 180 straight on, 90 for a right-angle turn.
  double theta = nextBearing - (steerHeading - 180.0);
  if (theta < -180.0) theta += 360.0;
  if (theta > 180.0) theta -= 360.0;
  double lead = fabs(TurnRadiusAt(speed) / tan(fabs(theta) / 2.0 * kPiShort / 180.0));
  if (speed > kSlowKnots) {
    if (lead < 0.1) lead = 0.1;
  } else {
    lead = 0.05;
  }
  return lead;
}

double WindCorrected(double steerHeading, double windSpeed, double windDirection, double speed) {
  const double x = sin((windDirection - steerHeading) / 180.0 * kPi) * (windSpeed / speed);
  if (!(x >= -1.0 && x <= 1.0)) return steerHeading;  // NaN included
  double c = asin(x) + steerHeading / 180.0 * kPi;
  if (c < 0.0) c += kFullTurn;
  if (c > kFullTurn) c -= kFullTurn;
  return c * 180.0 / kPi;
}

bool TimeToGoAt(double distanceNm, double speed, int32_t* hours, int32_t* minutes) {
  if (!(speed > kSlowKnots)) return false;
  const double t = distanceNm / speed;
  const int32_t h = gauge::TruncateToInt32(t);
  *hours = h;
  *minutes = gauge::TruncateToInt32((t - h) * 60.0);
  return true;
}

// Whole seconds of arc in `turns` × `secondsPerUnit`. Degrees, minutes and
// seconds all come from this one count: taken apart separately, a position
// on a whole minute lost the minute to rounding (47°00'00" read 46°59'00").
// The millionth of a second added keeps such a position on its minute.
namespace {
int32_t WholeSeconds(double units, double secondsPerUnit) {
  return gauge::TruncateToInt32(units * secondsPerUnit + 1e-6);
}
}  // namespace

const char* FormatPosition(double lat, double lon) {
  // One buffer for every call: callers copy the text at once.
  static char text[256];
  memset(text, 0, sizeof text);

  const double a = lat / kLatitudeUnitsPer90;  // quarter turns
  const double f = LongitudeFraction(lon);     // half turns
  const int32_t latSeconds = WholeSeconds(fabs(a), 324000.0);
  const int32_t lonSeconds = WholeSeconds(fabs(f), 648000.0);

  // Degrees carry the degree sign (0xB0 in the Windows ANSI code page the
  // screen font draws), seconds the double quote.
  gauge::FormatBounded(text, sizeof text - 1, "%s%3d\xB0%2d'%2d\" %s%3d\xB0%2d'%2d\"",
                       a >= 0.0 ? "N" : "S", latSeconds / 3600, latSeconds / 60 % 60,
                       latSeconds % 60, f >= 0.0 ? "E" : "W", lonSeconds / 3600,
                       lonSeconds / 60 % 60, lonSeconds % 60);
  return text;
}

}  // namespace gps
