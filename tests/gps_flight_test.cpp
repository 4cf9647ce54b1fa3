// Flying on the bench: the simulated aircraft's motion under `fly`, and a
// closed loop in which the real Kestrel41.gau, with the real companion
// library holding a tour, steers the bench's autopilot round the tour.
#include <cmath>
#include <fstream>
#include <sstream>

#include "bench_fixture.h"
#include "companion_dir.h"
#include "flight.h"
#include "sim_ids.h"

namespace {

using testing_support::CompanionDir;
using testing_support::GaugeTest;

constexpr double kPi = 3.14159265358979323846;

// Great-circle distance in nautical miles.
double DistanceNm(double lat1, double lon1, double lat2, double lon2) {
  const double r = kPi / 180;
  const double a =
      std::pow(std::sin((lat2 - lat1) * r / 2), 2) +
      std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
  return 2 * std::asin(std::sqrt(a)) * 180 / kPi * 60;
}

class FlightTest : public GaugeTest {
 protected:
  void SetUp() override { bench::ResetFlightTrack(); }
  void PlaceAt(double lat, double lon, double feet) {
    Set(var::kLatitude, bench::LatitudeToSim(lat));
    Set(var::kLongitude, bench::LongitudeToSim(lon));
    Set(var::kAltitude, feet * 0.3048);
  }
  double Lat() { return bench::SimToLatitude(host().sim().Get(var::kLatitude)); }
  double Lon() { return bench::SimToLongitude(host().sim().Get(var::kLongitude)); }
  double Feet() { return host().sim().Get(var::kAltitude) / 0.3048; }
  double Get(uint32_t id) { return host().sim().Get(id); }
};

TEST(FlightUnits, PositionUnitsRoundTrip) {
  EXPECT_DOUBLE_EQ(bench::LatitudeToSim(90), 10001748);
  EXPECT_DOUBLE_EQ(bench::LongitudeToSim(90), 0.5 * 140737488355328.0);
  EXPECT_DOUBLE_EQ(bench::LongitudeToSim(-90), 1.5 * 140737488355328.0);  // west: f + 2
  for (double d : {-179.5, -122.309, -0.25, 0.0, 10.0, 139.75})
    EXPECT_NEAR(bench::SimToLongitude(bench::LongitudeToSim(d)), d, 1e-9);
  for (double d : {-89.0, -35.5, 0.0, 47.449})
    EXPECT_NEAR(bench::SimToLatitude(bench::LatitudeToSim(d)), d, 1e-9);
}

TEST_F(FlightTest, MovesTurnsAndClimbsAsTheAutopilotSays) {
  Start("Kestrel41");  // no companion: the gauge sends nothing by itself

  // Straight north at 120 knots for a minute: 2 nm.
  PlaceAt(10, 10, 2000);
  Set(var::kAirspeed, 120);
  Play({"fly:60"});
  EXPECT_NEAR(DistanceNm(10, 10, Lat(), Lon()), 2.0, 0.01);
  EXPECT_NEAR(Lon(), 10, 1e-9);
  EXPECT_NEAR(Feet(), 2000, 1e-6) << "no altitude hold: level";

  // East with a 20-knot wind from the west: 140 knots over the ground.
  PlaceAt(10, 10, 2000);
  Set(var::kHeading, 90);
  Set(var::kWindSpeed, 20);
  Set(var::kWindDirection, 270);
  Play({"fly:60"});
  EXPECT_NEAR(DistanceNm(10, 10, Lat(), Lon()), 140.0 / 60, 0.01);
  EXPECT_NEAR(Lat(), 10, 1e-6);

  // A crosswind from the east drifts the aircraft west while it heads north.
  PlaceAt(10, 10, 2000);
  Set(var::kHeading, 0);
  Set(var::kWindDirection, 90);
  Play({"fly:60"});
  EXPECT_LT(Lon(), 10 - 0.3 / 60);
  EXPECT_NEAR(Lat(), 10 + 2.0 / 60, 1e-3);
  Set(var::kWindSpeed, 0);

  // Heading hold: toward the target at 3 degrees a second, the short way.
  Set(var::kApMaster, 1);
  Set(var::kApHeadingHold, 1);
  Set(var::kApHeadingTarget, 90);
  Play({"fly:10"});
  EXPECT_NEAR(Get(var::kHeading), 30, 0.2);
  Play({"fly:30"});
  EXPECT_NEAR(Get(var::kHeading), 90, 1e-9);
  Set(var::kHeading, 350);
  Set(var::kApHeadingTarget, 10);
  Play({"fly:5"});
  EXPECT_NEAR(Get(var::kHeading), 5, 0.2) << "through north";

  // Altitude hold: at the vertical speed, levelling at the target.
  PlaceAt(10, 10, 2000);
  Set(var::kApAltitudeHold, 1);
  Set(var::kApAltitudeTarget, 3000);
  Set(var::kApVerticalSpeedTarget, 600);
  Play({"fly:60"});
  EXPECT_NEAR(Feet(), 2600, 1);
  Play({"fly:60"});
  EXPECT_NEAR(Feet(), 3000, 1e-6);
  Set(var::kApVerticalSpeedTarget, 0);  // none: hold where it is
  Set(var::kApAltitudeTarget, 1000);
  Play({"fly:30"});
  EXPECT_NEAR(Feet(), 3000, 1e-6);

  // The master off stops both holds.
  Set(var::kApMaster, 0);
  Set(var::kApHeadingTarget, 180);
  Set(var::kApVerticalSpeedTarget, -600);
  Play({"fly:10"});
  EXPECT_NEAR(Get(var::kHeading), 10, 1e-9);
  EXPECT_NEAR(Feet(), 3000, 1e-6);
}

TEST_F(FlightTest, BadArgumentsAndValuesAreRefusedOrHarmless) {
  Start("Kestrel41");
  std::string error;
  for (const char* bad : {"fly:", "fly:-5", "fly:nan", "fly:inf", "fly:1e300", "fly:10s"})
    EXPECT_FALSE(bench::RunAction(host(), bad, &error)) << bad;
  PlaceAt(10, 10, 2000);
  Play({"fly:0"});
  EXPECT_DOUBLE_EQ(Lat(), 10);
  for (uint32_t id : {var::kAirspeed, var::kHeading, var::kWindSpeed, var::kWindDirection,
                      var::kMagneticVariation}) {
    for (double v : {double(NAN), double(INFINITY), -double(INFINITY), 1e300}) {
      Set(id, v);
      Play({"fly:1"});
      Set(id, 0);
    }
  }
  Set(var::kLatitude, NAN);
  Play({"fly:1"});
  EXPECT_TRUE(std::isnan(Get(var::kLatitude))) << "an unknown position stays unknown";
}

// ---- the closed loop ----

struct Item {
  const char* ident;
  double lat, lon;
};
constexpr Item kTour[] = {
    {"ALPHA", 47.0, 10.0},    // straight ahead of the start
    {"BRAVO", 47.1, 10.0},    // 6 nm north
    {"CHRLY", 47.1, 10.147},  // 6 nm east: a right-angle turn
    {"DELTA", 47.0, 10.25},   // south-east
    {"ECHO", 46.95, 10.1},    // back west-south-west: a sharp turn
};
constexpr double kTargetFeet = 5000;

std::string TourIni() {
  std::ostringstream ini;
  ini << "[Settings]\nMode=1\nCoupleDirect=0\nAltHoldDirect=0\nAltitudeDirect=0\n"
      << "CoupleTour=1\nAltHoldTour=1\nAltitudeTour=" << kTargetFeet
      << "\n[Tour]\nCount=" << std::size(kTour) << "\n";
  int n = 1;
  for (const Item& i : kTour)
    ini << "Item" << n++ << "=" << i.ident << ",POINT " << i.ident << "," << i.lat << "," << i.lon
        << "\n";
  return ini.str();
}

TEST_F(FlightTest, CoupledTourInACrosswindIsFlownToItsEnd) {
  CompanionDir dir(TourIni());
  ASSERT_TRUE(dir.ok()) << "companion library not found in " << COMPANION_DIR;
  Start("Kestrel41");
  PlaceAt(46.95, 10.0, 2000);  // 3 nm south of the first item
  Set(var::kAirspeed, 150);
  Set(var::kWindSpeed, 20);
  Set(var::kWindDirection, 90);  // across the first legs
  Frames(13);
  Click(20, 89);  // DLG: the dialog returns at once, and the coupling engages
  ASSERT_EQ(Get(var::kApMaster), 1);
  ASSERT_EQ(Get(var::kApHeadingHold), 1);
  ASSERT_EQ(Get(var::kApAltitudeHold), 1);

  // Fly until the last item lies behind (the gauge then circles it), or for
  // at most 20 minutes.
  const Item& last = kTour[std::size(kTour) - 1];
  double closest_last = 1e9;
  for (int chunk = 0; chunk < 120; ++chunk) {
    Play({"fly:10"});
    double d = DistanceNm(Lat(), Lon(), last.lat, last.lon);
    closest_last = std::min(closest_last, d);
    if (closest_last < 1 && d > closest_last + 0.5) break;
  }

  // Each item passed within 1 nm, in the order of the tour.
  const bench::FlightTrack& track = bench::FlownTrack(host());
  double previous_time = -1;
  for (const Item& item : kTour) {
    double best = 1e9, when = 0;
    for (const bench::TrackPoint& p : track.points) {
      double d = DistanceNm(p.latitude, p.longitude, item.lat, item.lon);
      if (d < best) best = d, when = p.seconds;
    }
    std::printf("%s passed at %.2f nm after %.0f s\n", item.ident, best, when);
    EXPECT_LT(best, 1.0) << item.ident;
    EXPECT_GT(when, previous_time) << item.ident << " before the item ahead of it";
    previous_time = when;
  }
  EXPECT_NEAR(Feet(), kTargetFeet, 100);
  EXPECT_NEAR(track.points.back().altitude_ft, kTargetFeet, 100);

  // The picture: the track, the five items and the wind.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string svg = std::string(temp) + "gps_flight_test_track.svg";
  ASSERT_TRUE(bench::WriteTrackSvg(track, bench::ReadCompanionRoute(dir.path()), svg));
  std::ifstream in(svg);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<polyline fill=\"none\" stroke=\"#26a\""), std::string::npos);
  for (const Item& item : kTour) EXPECT_NE(text.find(item.ident), std::string::npos);
  EXPECT_NE(text.find("wind 20 kt from 90"), std::string::npos);
  std::printf("track written to %s\n", svg.c_str());
  host().Kill();
}

}  // namespace
