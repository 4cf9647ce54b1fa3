// The bench's simple flight model: it moves the simulated aircraft frame by
// frame, as the simulator would between two gauge updates, and records the
// track flown so that it can be drawn.
//
// Each frame (kFramesPerSecond a second, the simulator's usual rate):
//  - the aircraft moves along its heading (0x51) at its airspeed (0x3D,
//    knots), plus the wind (0x157 knots, blowing from 0x158 degrees). Heading
//    and wind direction are magnetic; the magnetic variation (0x52) turns them
//    true, the way the GPS turns true bearings magnetic;
//  - with the autopilot master (0x67) and heading hold (0x6A) on, it turns
//    toward the autopilot heading (0x6B) at the standard rate, 3 degrees a
//    second, the short way round;
//  - with the master and altitude hold (0x6C) on, it climbs or descends at
//    the autopilot vertical speed (0x78, feet a minute) toward the autopilot
//    altitude (0x6D, feet) and levels off there; altitude 0x49 is in metres.
//    A vertical speed away from the target, or none, holds the altitude;
//  - then the host runs one frame (the gauge's update, generate and draw).
#pragma once

#include <string>
#include <vector>

#include "host.h"

namespace bench {

constexpr double kFramesPerSecond = 18.0;
constexpr double kStandardRateDegreesPerSecond = 3.0;

// Simulator position units: latitude 10001748 per 90 degrees; longitude as
// a fraction f of half a turn (west stored as f + 2) times 2^47.
double LatitudeToSim(double degrees);
double LongitudeToSim(double degrees);
double SimToLatitude(double value);
double SimToLongitude(double value);

struct TrackPoint {
  double seconds = 0;    // simulated time since the track began
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
  double altitude_ft = 0;
  double heading = 0;          // magnetic degrees
  bool segment_start = false;  // the aircraft was moved here, not flown
};

struct FlightTrack {
  std::vector<TrackPoint> points;
  double wind_knots = 0;
  double wind_from = 0;  // degrees, magnetic
  double variation = 0;
};

// Flies `seconds` of simulated time, one host frame per simulator frame.
void Fly(Host& host, double seconds);

// The `fly:SECONDS` action.
bool RunFlyAction(Host& host, const std::string& argument, std::string* error);

// The track flown by `host` since its first flight (or the last reset). A
// move of the aircraft between flights starts a new segment of the track.
const FlightTrack& FlownTrack(const Host& host);
void ResetFlightTrack();

// One route item for the picture.
struct RouteItem {
  std::string ident;
  double latitude = 0, longitude = 0;
};

// The route kept by the companion library in `companion_dir`/KestrelDlg.ini:
// the tour in tour mode, else the direct destination. Empty when none.
std::vector<RouteItem> ReadCompanionRoute(const std::string& companion_dir);

// Writes the track, the route and a wind arrow as an SVG picture.
bool WriteTrackSvg(const FlightTrack& track, const std::vector<RouteItem>& route,
                   const std::string& path);

}  // namespace bench
