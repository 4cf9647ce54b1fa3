// The GPS navigation arithmetic, linked straight in: distances and bearings,
// speed, turn radius and lead, wind correction, time to go and the position
// text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "gps_state.h"
#include "nav_math.h"

namespace {

using gps::LatitudeUnits;
using gps::LongitudeUnits;

struct Position {
  double lat, lon;  // degrees, negative south and west
};

gps::LegResult Leg(Position from, Position to, double variation) {
  return gps::LegDistanceBearing(LatitudeUnits(from.lat), LongitudeUnits(from.lon),
                                 LatitudeUnits(to.lat), LongitudeUnits(to.lon), variation);
}

struct LegCase {
  Position from, to;
  double distance;
  double bearing0, bearing10, bearing350;  // with magnetic variation 0, 10, 350
  int shown;                               // the heading shown and sent: the bearing rounded up
};

// Printed to two decimals.
constexpr LegCase kLegs[] = {
    {{10, 10}, {11, 10}, 60.04, 359.50, 349.50, 9.50, 360},
    {{10, 10}, {10, 11}, 59.13, 89.41, 79.41, 99.41, 90},
    {{11, 10}, {10, 10}, 60.04, 180.00, 170.00, 190.00, 180},
    {{10, 11}, {10, 10}, 59.13, 269.49, 259.49, 279.49, 270},
    {{10, 10}, {11, 11}, 84.20, 43.93, 33.93, 53.93, 44},
    {{11, 11}, {10, 10}, 84.20, 224.01, 214.01, 234.01, 225},
    {{10, -1}, {10, 1}, 118.26, 90.43, 80.43, 100.43, 91},
};

TEST(GpsLegTest, DistanceAndBearingTableWithEachVariation) {
  for (const LegCase& c : kLegs) {
    SCOPED_TRACE(testing::Message()
                 << c.from.lat << "," << c.from.lon << " -> " << c.to.lat << "," << c.to.lon);
    const gps::LegResult at0 = Leg(c.from, c.to, 0.0);
    EXPECT_NEAR(at0.distanceNm, c.distance, 0.005);
    EXPECT_NEAR(at0.bearing, c.bearing0, 0.005);
    EXPECT_EQ(static_cast<int>(std::ceil(at0.bearing)), c.shown);
    EXPECT_NEAR(Leg(c.from, c.to, 10.0).bearing, c.bearing10, 0.005);
    EXPECT_NEAR(Leg(c.from, c.to, 350.0).bearing, c.bearing350, 0.005);
    EXPECT_NEAR(Leg(c.from, c.to, 350.0).distanceNm, c.distance, 0.005);
  }
}

TEST(GpsLegTest, DestinationOnLatitudeOrLongitudeZeroIsNoPosition) {
  const double lat = LatitudeUnits(10), lon = LongitudeUnits(10);
  for (auto [lat2, lon2] : {std::pair{0.0, lon}, {lat, 0.0}, {0.0, 0.0}}) {
    const gps::LegResult r = gps::LegDistanceBearing(lat, lon, lat2, lon2, 10.0);
    EXPECT_EQ(r.distanceNm, 0.0);
    EXPECT_EQ(r.bearing, 0.0);  // no variation applied either
  }
}

// Legs along a meridian carry the arc-cosine arguments just past 1, and a
// destination under the aircraft divides by zero: the results stay numbers.
TEST(GpsLegTest, MeridianLegsAndCoincidentPointsStayNumbers) {
  const Position cases[][2] = {
      {{10, 10}, {10, 10}},         {{47.449, -122.309}, {47.449, -122.309}},
      {{60, 7.7}, {61, 7.7}},       {{61, 7.7}, {60, 7.7}},
      {{-33.3, 151}, {-34.1, 151}}, {{45.123456, -0.5}, {46.654321, -0.5}},
  };
  for (const auto& c : cases) {
    const gps::LegResult r = Leg(c[0], c[1], 0.0);
    EXPECT_TRUE(std::isfinite(r.distanceNm)) << c[0].lat << " -> " << c[1].lat;
    EXPECT_TRUE(std::isfinite(r.bearing)) << c[0].lat << " -> " << c[1].lat;
  }
  EXPECT_NEAR(Leg({60, 7.7}, {61, 7.7}, 0.0).bearing, 359.5, 0.01);
  EXPECT_NEAR(Leg({61, 7.7}, {60, 7.7}, 0.0).bearing, 180.0, 0.01);
  EXPECT_NEAR(Leg({10, 10}, {10, 10}, 0.0).distanceNm, 0.0, 1e-3);
}

TEST(GpsSpeedTest, EstimateTakesTheHigherOfAirspeedAndMachSpeed) {
  EXPECT_NEAR(gps::SpeedFrom(250, 10240), 322.71, 0.005);
  EXPECT_EQ(gps::SpeedFrom(400, 10240), 400);
  EXPECT_EQ(gps::SpeedFrom(120, 0), 120);
}

TEST(GpsSpeedTest, TurnRadius) {
  EXPECT_NEAR(gps::TurnRadiusAt(100), 0.25, 0.0005);
  EXPECT_NEAR(gps::TurnRadiusAt(200), 1.414, 0.0005);
  EXPECT_NEAR(gps::TurnRadiusAt(400), 8.0, 0.0005);
}

struct LeadCase {
  double speed;
  double turn;  // degrees between this leg and the next
  double lead;
};

TEST(GpsLeadTest, LeadDistanceByTurnAndSpeed) {
  constexpr LeadCase kCases[] = {
      {200, 0, 0.1},   {200, 30, 0.379}, {200, 45, 0.586}, {200, 90, 1.414}, {200, 120, 2.449},
      {100, 90, 0.25}, {40, 90, 0.05},   {40, 0, 0.05},    {40, 170, 0.05},  {0, 90, 0.05},
  };
  for (const LeadCase& c : kCases) {
    for (double steer : {10.0, 200.0, 355.0}) {
      SCOPED_TRACE(testing::Message() << c.speed << " kn, turn " << c.turn << ", steer " << steer);
      // Right and left turns alike.
      EXPECT_NEAR(gps::LeadDistance(steer + c.turn, steer, c.speed), c.lead, 0.0005);
      EXPECT_NEAR(gps::LeadDistance(steer - c.turn, steer, c.speed), c.lead, 0.0005);
    }
  }
}

TEST(GpsLeadTest, ReversalCountsAsReachedAtOnce) {
  EXPECT_GT(gps::LeadDistance(190, 10, 200), 1e6);  // straight back
  EXPECT_GT(gps::LeadDistance(185, 10, 200), 20.0);
}

TEST(GpsWindTest, CorrectionTurnsIntoTheWind) {
  // Flying east with 20 knots from the north at 100 knots: 11.54 degrees left.
  EXPECT_NEAR(gps::WindCorrected(90, 20, 0, 100), 78.46, 0.005);
  // Across north the full turn is 6.28, not two pi: 353.33 rather than 353.51.
  EXPECT_NEAR(gps::WindCorrected(5, 20, 270, 100), 353.33, 0.005);
  EXPECT_NEAR(gps::WindCorrected(90, 0, 45, 100), 90.0, 1e-9);
}

TEST(GpsWindTest, NoCorrectionWithoutANumber) {
  // No speed, or wind stronger than the aircraft can make good.
  EXPECT_EQ(gps::WindCorrected(123.4, 20, 0, 0), 123.4);
  EXPECT_EQ(gps::WindCorrected(90, 150, 0, 100), 90);
  EXPECT_EQ(gps::WindCorrected(90, NAN, 0, 100), 90);
  EXPECT_EQ(gps::WindCorrected(90, 10, INFINITY, 100), 90);
}

TEST(GpsTimeToGoTest, HoursAndMinutesAboveFortyKnots) {
  int32_t h = -1, m = -1;
  ASSERT_TRUE(gps::TimeToGoAt(175, 100, &h, &m));  // 1.75 h
  EXPECT_EQ(h, 1);
  EXPECT_EQ(m, 45);
  ASSERT_TRUE(gps::TimeToGoAt(50, 100, &h, &m));
  EXPECT_EQ(h, 0);
  EXPECT_EQ(m, 30);
  EXPECT_FALSE(gps::TimeToGoAt(175, 40, &h, &m));
  EXPECT_FALSE(gps::TimeToGoAt(175, NAN, &h, &m));
  ASSERT_TRUE(gps::TimeToGoAt(1e300, 100, &h, &m));  // saturates, no undefined conversion
  EXPECT_EQ(h, INT32_MAX);
}

std::string Format(double latDeg, double lonDeg) {
  return gps::FormatPosition(LatitudeUnits(latDeg), LongitudeUnits(lonDeg));
}

double Dms(double d, double m, double s) { return d + m / 60 + s / 3600; }

TEST(GpsFormatTest, PositionsPrintByteForByte) {
  EXPECT_EQ(Format(Dms(35, 30, 30.5), -Dms(139, 45, 15.5)),
            "N 35\xB0"
            "30'30\" W139\xB0"
            "45'15\"");
  EXPECT_EQ(Format(-Dms(5, 5, 5.5), Dms(5, 5, 5.5)), "S  5\xB0 5' 5\" E  5\xB0 5' 5\"");
  // A position on a whole minute keeps its minute.
  EXPECT_EQ(Format(47, -122), "N 47\xB0 0' 0\" W122\xB0 0' 0\"");
  EXPECT_EQ(Format(0.0, 0.0), "N  0\xB0 0' 0\" E  0\xB0 0' 0\"");
}

TEST(GpsFormatTest, BadValuesStayWithinTheZeroedBuffer) {
  const double bad[] = {NAN, INFINITY, -INFINITY, 1e300, -1e300};
  gps::FormatPosition(LatitudeUnits(10), LongitudeUnits(10));
  for (double lat : bad) {
    for (double lon : bad) {
      const char* text = gps::FormatPosition(lat, lon);
      const size_t n = std::strlen(text);
      ASSERT_LT(n, 256u);
      for (size_t i = n; i < 256; ++i) ASSERT_EQ(text[i], '\0') << "byte " << i;
    }
  }
}

TEST(GpsUnitsTest, DegreesToSimulatorUnitsAndBack) {
  EXPECT_DOUBLE_EQ(LatitudeUnits(90), 10001748.0);
  EXPECT_DOUBLE_EQ(LongitudeUnits(90), std::ldexp(0.5, 47));
  // West longitudes are stored between 2^47 and 2^48.
  EXPECT_GT(LongitudeUnits(-139.75), std::ldexp(1.0, 47));
  EXPECT_LT(LongitudeUnits(-139.75), std::ldexp(1.0, 48));
  EXPECT_NEAR(gps::LongitudeDegrees(LongitudeUnits(-139.75)), -139.75, 1e-9);
  EXPECT_NEAR(gps::LatitudeDegrees(LatitudeUnits(-33.5)), -33.5, 1e-9);
}

}  // namespace
