#include "flight.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "actions.h"
#include "gauge_math.h"
#include "sim_ids.h"

namespace bench {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLatitudeUnitsPer90 = 10001748.0;
constexpr double kLongitudeUnitsPerHalfTurn = 140737488355328.0;  // 2^47
constexpr double kMetresPerFoot = 0.3048;
constexpr double kLongestFlight = 24 * 3600.0;  // seconds, per action

std::map<const Host*, FlightTrack>& Tracks() {
  static std::map<const Host*, FlightTrack> tracks;
  return tracks;
}

double Radians(double degrees) { return degrees * kPi / 180.0; }
double Finite(double v) { return std::isfinite(v) ? v : 0.0; }
bool On(const SimState& sim, uint32_t id) { return gauge::ReadsOne(sim.Get(id)); }

// Heading of 0..360 after a turn toward `target`, at most `limit` degrees.
double TurnToward(double heading, double target, double limit) {
  double diff = std::remainder(target - heading, 360.0);  // -180..180
  double next = heading + std::clamp(diff, -limit, limit);
  next = std::fmod(next, 360.0);
  return next < 0 ? next + 360.0 : next;
}

void SteerHeading(SimState& sim, double dt) {
  double heading = Finite(sim.Get(var::kHeading));
  if (On(sim, var::kApMaster) && On(sim, var::kApHeadingHold)) {
    double target = sim.Get(var::kApHeadingTarget);
    if (std::isfinite(target))
      heading = TurnToward(heading, target, kStandardRateDegreesPerSecond * dt);
  }
  sim.Set(var::kHeading, heading);
}

void HoldAltitude(SimState& sim, double dt) {
  if (!On(sim, var::kApMaster) || !On(sim, var::kApAltitudeHold)) return;
  double feet = sim.Get(var::kAltitude) / kMetresPerFoot;
  double target = sim.Get(var::kApAltitudeTarget);
  double rate = sim.Get(var::kApVerticalSpeedTarget);
  if (!std::isfinite(feet) || !std::isfinite(target) || !std::isfinite(rate)) return;
  double step = rate * dt / 60.0;
  if (rate > 0 && feet < target) feet = std::min(feet + step, target);
  if (rate < 0 && feet > target) feet = std::max(feet + step, target);
  sim.Set(var::kAltitude, feet * kMetresPerFoot);
}

// Moves the aircraft by its velocity through the air plus the wind's, over
// the flat earth of one frame.
void Move(SimState& sim, double dt) {
  double lat = SimToLatitude(sim.Get(var::kLatitude));
  double lon = SimToLongitude(sim.Get(var::kLongitude));
  if (!std::isfinite(lat) || !std::isfinite(lon)) return;
  const double variation = Finite(sim.Get(var::kMagneticVariation));
  const double speed = Finite(sim.Get(var::kAirspeed));
  const double track = Radians(Finite(sim.Get(var::kHeading)) + variation);
  const double wind = Finite(sim.Get(var::kWindSpeed));
  const double toward = Radians(Finite(sim.Get(var::kWindDirection)) + 180.0 + variation);
  const double north = speed * std::cos(track) + wind * std::cos(toward);  // knots
  const double east = speed * std::sin(track) + wind * std::sin(toward);
  const double hours = dt / 3600.0;
  lat += north * hours / 60.0;
  const double cosLat = std::max(std::cos(Radians(lat)), 1e-6);
  lon += east * hours / (60.0 * cosLat);
  lat = std::clamp(lat, -90.0, 90.0);
  lon = std::remainder(lon, 360.0);
  sim.Set(var::kLatitude, LatitudeToSim(lat));
  sim.Set(var::kLongitude, LongitudeToSim(lon));
}

TrackPoint PointNow(const SimState& sim, double seconds) {
  TrackPoint p;
  p.seconds = seconds;
  p.latitude = SimToLatitude(sim.Get(var::kLatitude));
  p.longitude = SimToLongitude(sim.Get(var::kLongitude));
  p.altitude_ft = sim.Get(var::kAltitude) / kMetresPerFoot;
  p.heading = sim.Get(var::kHeading);
  return p;
}

bool SamePlace(const TrackPoint& a, const TrackPoint& b) {
  return a.latitude == b.latitude && a.longitude == b.longitude && a.altitude_ft == b.altitude_ft;
}

}  // namespace

double LatitudeToSim(double degrees) { return degrees * kLatitudeUnitsPer90 / 90.0; }

double LongitudeToSim(double degrees) {
  double f = degrees / 180.0;
  if (f < 0) f += 2.0;
  return f * kLongitudeUnitsPerHalfTurn;
}

double SimToLatitude(double value) { return value * 90.0 / kLatitudeUnitsPer90; }

double SimToLongitude(double value) {
  double f = value / kLongitudeUnitsPerHalfTurn;
  if (f > 1.0) f -= 2.0;
  return f * 180.0;
}

void Fly(Host& host, double seconds) {
  if (!(seconds > 0)) return;
  const long frames = std::lround(std::min(seconds, kLongestFlight) * kFramesPerSecond);
  const double dt = 1.0 / kFramesPerSecond;
  SimState& sim = host.sim();
  FlightTrack& track = Tracks()[&host];
  double now = track.points.empty() ? 0.0 : track.points.back().seconds;
  TrackPoint here = PointNow(sim, now);
  if (track.points.empty() || !SamePlace(track.points.back(), here)) {
    here.segment_start = true;
    track.points.push_back(here);
  }
  for (long i = 0; i < frames; ++i) {
    SteerHeading(sim, dt);
    HoldAltitude(sim, dt);
    Move(sim, dt);
    host.Frame();
    now += dt;
    track.points.push_back(PointNow(sim, now));
  }
  track.wind_knots = Finite(sim.Get(var::kWindSpeed));
  track.wind_from = Finite(sim.Get(var::kWindDirection));
  track.variation = Finite(sim.Get(var::kMagneticVariation));
}

bool RunFlyAction(Host& host, const std::string& argument, std::string* error) {
  double seconds = 0;
  if (!ParseDouble(argument, &seconds) || !(seconds >= 0) || seconds > kLongestFlight) {
    if (error) *error = "bad action 'fly:" + argument + "': want fly:SECONDS (0 to 86400)";
    return false;
  }
  Fly(host, seconds);
  return true;
}

const FlightTrack& FlownTrack(const Host& host) { return Tracks()[&host]; }

void ResetFlightTrack() { Tracks().clear(); }

// ---- the companion's route ----

namespace {

std::string Profile(const std::string& ini, const char* section, const std::string& key) {
  char buffer[512] = {};
  GetPrivateProfileStringA(section, key.c_str(), "", buffer, sizeof buffer, ini.c_str());
  return buffer;
}

bool ParseItem(const std::string& text, RouteItem* item) {
  // IDENT,NAME,LATITUDE,LONGITUDE; the name may itself hold commas.
  size_t first = text.find(','), last = text.rfind(',');
  if (first == std::string::npos || last == first) return false;
  size_t middle = text.rfind(',', last - 1);
  if (middle == std::string::npos || middle < first) return false;
  item->ident = text.substr(0, first);
  return ParseDouble(text.substr(middle + 1, last - middle - 1), &item->latitude) &&
         ParseDouble(text.substr(last + 1), &item->longitude);
}

}  // namespace

std::vector<RouteItem> ReadCompanionRoute(const std::string& companion_dir) {
  std::vector<RouteItem> route;
  if (companion_dir.empty()) return route;
  char full[MAX_PATH];
  std::string relative = companion_dir + "\\KestrelDlg.ini";
  if (!GetFullPathNameA(relative.c_str(), MAX_PATH, full, nullptr)) return route;
  const std::string ini = full;
  if (GetFileAttributesA(ini.c_str()) == INVALID_FILE_ATTRIBUTES) return route;
  if (GetPrivateProfileIntA("Settings", "Mode", 0, ini.c_str()) == 1) {
    int count = GetPrivateProfileIntA("Tour", "Count", 0, ini.c_str());
    for (int i = 1; i <= std::min(count, 1000); ++i) {
      RouteItem item;
      if (ParseItem(Profile(ini, "Tour", "Item" + std::to_string(i)), &item)) route.push_back(item);
    }
    return route;
  }
  RouteItem item;
  item.ident = Profile(ini, "Direct", "Ident");
  if (ParseDouble(Profile(ini, "Direct", "Latitude"), &item.latitude) &&
      ParseDouble(Profile(ini, "Direct", "Longitude"), &item.longitude))
    route.push_back(item);
  return route;
}

// ---- the picture ----

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '&')
      out += "&amp;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// Equirectangular projection around the middle of what is drawn, in
// nautical miles east and north, then scaled to the picture.
struct Projection {
  double lat0 = 0, lon0 = 0, cosLat = 1;
  double minX = 0, maxY = 0, scale = 1, margin = 60;
  double X(double lat, double lon) const {
    (void)lat;
    return margin + ((lon - lon0) * 60.0 * cosLat - minX) * scale;
  }
  double Y(double lat) const { return margin + (maxY - (lat - lat0) * 60.0) * scale; }
};

}  // namespace

bool WriteTrackSvg(const FlightTrack& track, const std::vector<RouteItem>& route,
                   const std::string& path) {
  std::vector<std::pair<double, double>> all;  // latitude, longitude
  for (const TrackPoint& p : track.points)
    if (std::isfinite(p.latitude) && std::isfinite(p.longitude))
      all.emplace_back(p.latitude, p.longitude);
  for (const RouteItem& r : route) all.emplace_back(r.latitude, r.longitude);

  const double size = 800;
  Projection pr;
  if (!all.empty()) {
    double la0 = 90, la1 = -90, lo0 = 180, lo1 = -180;
    for (auto [la, lo] : all) {
      la0 = std::min(la0, la), la1 = std::max(la1, la);
      lo0 = std::min(lo0, lo), lo1 = std::max(lo1, lo);
    }
    pr.lat0 = (la0 + la1) / 2;
    pr.lon0 = (lo0 + lo1) / 2;
    pr.cosLat = std::max(std::cos(Radians(pr.lat0)), 0.01);
    // Room for the 1 nm rings and the labels around the outermost points.
    const double w = std::max((lo1 - lo0) * 60.0 * pr.cosLat, 2.0) + 3.0;
    const double h = std::max((la1 - la0) * 60.0, 2.0) + 3.0;
    pr.scale = (size - 2 * pr.margin) / std::max(w, h);
    pr.minX = (lo0 - pr.lon0) * 60.0 * pr.cosLat - (w - (lo1 - lo0) * 60.0 * pr.cosLat) / 2;
    pr.maxY = (la1 - pr.lat0) * 60.0 + (h - (la1 - la0) * 60.0) / 2;
  }

  std::ostringstream svg;
  svg.setf(std::ios::fixed);
  svg.precision(1);
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << size << "\" height=\"" << size
      << "\" viewBox=\"0 0 " << size << ' ' << size << "\" font-family=\"sans-serif\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"#f4f1e8\"/>\n";

  // Route: legs dashed, each item with a ring of 1 nm.
  if (route.size() > 1) {
    svg << "<polyline fill=\"none\" stroke=\"#888\" stroke-width=\"1.5\" "
           "stroke-dasharray=\"6 4\" points=\"";
    for (const RouteItem& r : route)
      svg << pr.X(r.latitude, r.longitude) << ',' << pr.Y(r.latitude) << ' ';
    svg << "\"/>\n";
  }
  for (size_t i = 0; i < route.size(); ++i) {
    const RouteItem& r = route[i];
    double x = pr.X(r.latitude, r.longitude), y = pr.Y(r.latitude);
    svg << "<circle cx=\"" << x << "\" cy=\"" << y << "\" r=\"" << pr.scale
        << "\" fill=\"none\" stroke=\"#c77\" stroke-dasharray=\"3 3\"/>\n"
        << "<path d=\"M" << x << ',' << y - 7 << " l7,7 l-7,7 l-7,-7 z\" fill=\"#c33\"/>\n"
        << "<text x=\"" << x + 10 << "\" y=\"" << y - 8 << "\" font-size=\"14\" fill=\"#622\">"
        << i + 1 << ' ' << Escape(r.ident) << "</text>\n";
  }

  // Track: one polyline per segment, a point a second.
  const int step = std::max(1, static_cast<int>(kFramesPerSecond));
  bool open = false;
  int since = 0;
  for (size_t i = 0; i < track.points.size(); ++i) {
    const TrackPoint& p = track.points[i];
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude)) continue;
    if (p.segment_start) {
      if (open) svg << "\"/>\n";
      svg << "<circle cx=\"" << pr.X(p.latitude, p.longitude) << "\" cy=\"" << pr.Y(p.latitude)
          << "\" r=\"5\" fill=\"#26a\"/>\n"
          << "<polyline fill=\"none\" stroke=\"#26a\" stroke-width=\"2\" points=\"";
      open = true;
      since = step;
    }
    if (++since >= step || i + 1 == track.points.size()) {
      svg << pr.X(p.latitude, p.longitude) << ',' << pr.Y(p.latitude) << ' ';
      since = 0;
    }
  }
  if (open) svg << "\"/>\n";
  if (!track.points.empty()) {
    const TrackPoint& end = track.points.back();
    svg << "<text x=\"" << pr.X(end.latitude, end.longitude) + 8 << "\" y=\""
        << pr.Y(end.latitude) + 16 << "\" font-size=\"12\" fill=\"#26a\">"
        << static_cast<long>(std::lround(Finite(end.altitude_ft))) << " ft, "
        << static_cast<long>(std::lround(end.seconds)) << " s</text>\n";
  }

  // Wind: an arrow pointing the way the wind blows, with its speed.
  const double toward = Radians(track.wind_from + track.variation + 180.0);
  const double ux = std::sin(toward), uy = -std::cos(toward);  // picture y runs down
  const double cx = size - 70, cy = 70, half = 22;
  const double tipX = cx + ux * half, tipY = cy + uy * half;
  const double baseX = tipX - ux * 12, baseY = tipY - uy * 12;
  svg << "<g stroke=\"#383\" stroke-width=\"3\" fill=\"#383\">"
      << "<line x1=\"" << cx - ux * half << "\" y1=\"" << cy - uy * half << "\" x2=\"" << baseX
      << "\" y2=\"" << baseY << "\"/>"
      << "<path stroke-width=\"1\" d=\"M" << tipX << ',' << tipY << " L" << baseX - uy * 7 << ','
      << baseY + ux * 7 << " L" << baseX + uy * 7 << ',' << baseY - ux * 7 << " z\"/></g>\n"
      << "<text x=\"" << cx << "\" y=\"" << cy + 42 << "\" font-size=\"13\" text-anchor=\"middle\" "
      << "fill=\"#383\">wind " << std::lround(track.wind_knots) << " kt from "
      << std::lround(track.wind_from) << "</text>\n";

  // Scale bar: ten nautical miles, or one when the picture is small.
  const double miles = (size - 2 * pr.margin) / pr.scale >= 20 ? 10 : 1;
  svg << "<line x1=\"" << pr.margin << "\" y1=\"" << size - 30 << "\" x2=\""
      << pr.margin + miles * pr.scale << "\" y2=\"" << size - 30
      << "\" stroke=\"#333\" stroke-width=\"3\"/>\n"
      << "<text x=\"" << pr.margin << "\" y=\"" << size - 38 << "\" font-size=\"12\">"
      << static_cast<int>(miles) << " nm</text>\n</svg>\n";

  std::ofstream out(path, std::ios::binary);
  out << svg.str();
  return static_cast<bool>(out);
}

}  // namespace bench
