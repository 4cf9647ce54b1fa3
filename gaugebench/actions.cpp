#include "actions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "flight.h"
#include "report.h"
#include "sim_ids.h"

namespace bench {

bool ParseDouble(const std::string& text, double* out) {
  std::string t;
  for (char c : text) t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t == "nan" || t == "+nan") return *out = NAN, true;
  if (t == "-nan") return *out = -NAN, true;
  if (t == "inf" || t == "+inf" || t == "infinity") return *out = INFINITY, true;
  if (t == "-inf" || t == "-infinity") return *out = -INFINITY, true;
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(t.c_str(), &end);
  if (end == t.c_str() || *end != '\0') return false;
  *out = v;
  return true;
}

bool ParseId(const std::string& text, uint32_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (*end != '\0') return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

bool StartGauge(Host& host, const std::string& module_path, std::string* error) {
  if (!host.Load(module_path, error)) return false;
  host.ModuleInit();
  host.Install();
  host.Initialize();
  return true;
}

static std::vector<Snapshot>& SnapshotList() {
  static std::vector<Snapshot> list;
  return list;
}

const std::vector<Snapshot>& Snapshots() { return SnapshotList(); }

namespace {
bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}
}  // namespace

bool RunAction(Host& host, const std::string& action, std::string* error) {
  size_t colon = action.find(':');
  std::string verb = action.substr(0, colon);
  std::string arg = colon == std::string::npos ? "" : action.substr(colon + 1);
  if (verb == "set") {
    size_t eq = arg.find('=');
    uint32_t id;
    double value;
    if (eq == std::string::npos || !ParseId(arg.substr(0, eq), &id) ||
        !ParseDouble(arg.substr(eq + 1), &value))
      return Fail(error, "bad action '" + action + "': want set:ID=VALUE");
    host.sim().Set(id, value);
    return true;
  }
  if (verb == "position") {
    // Degrees, negative south and west, into the simulator's position units:
    // latitude 10001748 units per 90 degrees; longitude as a fraction of a
    // half turn times 2^47, west longitudes stored above 2^47.
    size_t comma = arg.find(',');
    double lat, lon;
    if (comma == std::string::npos || !ParseDouble(arg.substr(0, comma), &lat) ||
        !ParseDouble(arg.substr(comma + 1), &lon))
      return Fail(error, "bad action '" + action + "': want position:LAT,LON");
    double f = lon / 180.0;
    if (f < 0) f += 2.0;
    host.sim().Set(var::kLatitude, lat * 10001748.0 / 90.0);
    host.sim().Set(var::kLongitude, f * 140737488355328.0);
    return true;
  }
  if (verb == "fly") return RunFlyAction(host, arg, error);
  if (verb == "update") {
    uint32_t n = 1;
    if (!arg.empty() && !ParseId(arg, &n)) return Fail(error, "bad action '" + action + "'");
    for (uint32_t i = 0; i < n; ++i) host.Frame();
    return true;
  }
  if (verb == "click") {
    int x, y;
    char tail;
    if (std::sscanf(arg.c_str(), "%d,%d%c", &x, &y, &tail) != 2)
      return Fail(error, "bad action '" + action + "': want click:X,Y");
    host.Click(x, y);
    return true;
  }
  if (verb == "png") {
    // A snapshot of the composed picture in the middle of a run, so that one
    // start of the bench can show a gauge in several states.
    if (arg.empty()) return Fail(error, "bad action '" + action + "': want png:FILE");
    if (!WritePng(host.Compose(), arg)) return Fail(error, "cannot write " + arg);
    SnapshotList().push_back({arg, host.events().size()});
    return true;
  }
  if (verb == "kill" && arg.empty()) {
    host.Kill();
    return true;
  }
  if (verb == "install" && arg.empty()) {
    host.Install();
    host.Initialize();
    return true;
  }
  return Fail(error, "unknown action '" + action + "'");
}

bool RunActions(Host& host, const std::vector<std::string>& actions, std::string* error) {
  for (const std::string& a : actions)
    if (!RunAction(host, a, error)) return false;
  return true;
}

}  // namespace bench
