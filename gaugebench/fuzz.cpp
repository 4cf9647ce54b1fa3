#include "fuzz.h"

#include <windows.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>

#include "actions.h"
#include "host.h"
#include "sim_ids.h"

namespace bench {

namespace {

// A number written so that ParseDouble reads back exactly the same bits.
std::string Number(double v) {
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

struct Area {
  int x, y, w, h;
};

// What the sweep knows about the module it drives: the variables it reads,
// the values worth trying on them and the places worth clicking.
class Sweep {
 public:
  Sweep(Host& host, uint64_t seed) : host_(host), rng_(seed) {}

  void Learn() {
    std::set<uint32_t> element_vars;
    std::set<double> thresholds = {0,   1,   2,   3,    4,    5,     10,    13,
                                   100, 180, 360, 1000, 9999, 32767, 65536, 2147483647.0};
    for (const ElementView& v : host_.Elements()) {
      ElementHeader* e = v.element;
      auto add = [&](const ModuleVar& m) {
        if (m.id) element_vars.insert(m.id);
      };
      switch (e->kind) {
        case kIcon:
          add(reinterpret_cast<IconElement*>(e)->source);
          thresholds.insert(reinterpret_cast<IconElement*>(e)->picture_count);
          break;
        case kSlider: {
          auto* s = reinterpret_cast<SliderElement*>(e);
          add(s->x_axis.source);
          add(s->y_axis.source);
          break;
        }
        case kMovingImage: {
          auto* m = reinterpret_cast<MovingImageElement*>(e);
          for (auto* axis : {&m->x_axis, &m->y_axis}) {
            add(axis->source);
            if (std::isfinite(axis->limit1)) thresholds.insert(axis->limit1);
            if (std::isfinite(axis->limit2)) thresholds.insert(axis->limit2);
          }
          break;
        }
        case kString:
          for (const ModuleVar& m : reinterpret_cast<StringElement*>(e)->sources) add(m);
          break;
        default:
          break;
      }
    }
    element_vars_.assign(element_vars.begin(), element_vars.end());
    all_vars_.assign(std::begin(catalogue::kVariables), std::end(catalogue::kVariables));
    // Each variable's starting value is a threshold of the simulated aircraft.
    for (uint32_t id : all_vars_)
      if (std::isfinite(host_.sim().Get(id))) thresholds.insert(std::trunc(host_.sim().Get(id)));
    for (double t : thresholds)
      for (double n : {t, -t})
        for (double v : {n, n - 1, n + 1, n - 0.5, n + 0.5, std::nextafter(n, -INFINITY),
                         std::nextafter(n, INFINITY)})
          near_thresholds_.push_back(v);
    LearnAreas();
  }

  void LearnAreas() {
    areas_.clear();
    if (MouseRect* r = host_.mouse_list())
      for (int n = 0; n < 1024 && r->kind != RectListEnd; ++n, ++r)
        areas_.push_back({r->box.x, r->box.y, r->box.width, r->box.height});
    size_ = {0, 0, 1, 1};
    if (ElementHeader* root = host_.root())
      if (const Bitmap* bg = host_.BitmapResource(root->resource_id))
        size_ = {0, 0, bg->width, bg->height};
  }

  // The next action in `play` syntax.
  std::string Next(bool alive) {
    int roll = Pick(1000);
    if (!alive) return roll < 300 ? Set() : "install";
    if (roll < 400) return Set();
    if (roll < 750) return "update:" + std::to_string(Pick(8) == 0 ? 13 : 1 + Pick(3));
    if (roll < 975) return Click();
    return "kill";
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }

  std::string Set() {
    uint32_t id;
    if (!element_vars_.empty() && Pick(2) == 0)
      id = element_vars_[Pick(static_cast<int>(element_vars_.size()))];
    else
      id = all_vars_[Pick(static_cast<int>(all_vars_.size()))];
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", id);
    return std::string("set:") + buf + "=" + Number(Value(host_.sim().Get(id)));
  }

  double Value(double current) {
    static const double specials[] = {NAN,         -NAN,         INFINITY,      -INFINITY,
                                      0.0,         -0.0,         DBL_TRUE_MIN,  -DBL_TRUE_MIN,
                                      DBL_MIN / 3, 1e300,        -1e300,        DBL_MAX,
                                      -DBL_MAX,    2147483648.0, -2147483649.0, 4294967296.0};
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    switch (Pick(5)) {
      case 0:
        return specials[Pick(sizeof specials / sizeof specials[0])];
      case 1:
      case 2:
        return near_thresholds_[Pick(static_cast<int>(near_thresholds_.size()))];
      case 3:  // a small step from where the variable is
        return std::isfinite(current) ? current + std::round(unit(rng_) * 20) / 4 : unit(rng_);
      default:  // a random double of any scale
        return std::ldexp(unit(rng_), Pick(140) - 70);
    }
  }

  std::string Click() {
    int x, y;
    if (areas_.empty() || Pick(10) == 0) {
      x = Pick(size_.w + 20) - 10;
      y = Pick(size_.h + 20) - 10;
    } else {
      const Area& a = areas_[Pick(static_cast<int>(areas_.size()))];
      int w = std::clamp(a.w, 1, 4096), h = std::clamp(a.h, 1, 4096);
      switch (Pick(4)) {
        case 0:  // inside
          x = a.x + Pick(w);
          y = a.y + Pick(h);
          break;
        case 1:  // on an edge or a corner
          x = a.x + Pick(w);
          y = a.y + Pick(h);
          if (Pick(2))
            x = a.x + (Pick(2) ? 0 : w - 1);
          else
            y = a.y + (Pick(2) ? 0 : h - 1);
          break;
        case 2:  // just outside
          x = Pick(2) ? a.x - 1 : a.x + w;
          y = a.y + Pick(h);
          break;
        default:
          x = a.x + Pick(w);
          y = Pick(2) ? a.y - 1 : a.y + h;
          break;
      }
    }
    return "click:" + std::to_string(x) + "," + std::to_string(y);
  }

  Host& host_;
  std::mt19937_64 rng_;
  std::vector<uint32_t> element_vars_, all_vars_;
  std::vector<double> near_thresholds_;
  std::vector<Area> areas_;
  Area size_{0, 0, 1, 1};
};

constexpr uint64_t kStepsPerLoad = 20000;

std::string Quote(const std::string& s) {
  return s.find_first_of(" \t") == std::string::npos ? s : "\"" + s + "\"";
}

}  // namespace

FuzzResult RunFuzz(const FuzzOptions& o, uint64_t keep_actions) {
  FuzzResult r;
  // The GPS companion library must not open its dialogs during a sweep.
  SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");
  Host host;
  if (!StartGauge(host, o.module, &r.error)) return r;
  r.loaded = true;
  Sweep sweep(host, o.seed);
  sweep.Learn();
  bool alive = true;
  size_t seen = 0;
  auto check = [&](uint64_t step) {
    if (host.violations().size() == seen && host.faults() == 0) return false;
    r.found = true;
    r.failing_step = step;
    r.findings.assign(host.violations().begin() + static_cast<long>(seen), host.violations().end());
    return true;
  };
  if (!check(0)) {
    for (uint64_t step = 1; step <= o.steps; ++step) {
      // The host keeps every record a killed gauge had until the module is
      // unloaded, and logs every event and service call: a long run starts
      // the module afresh at fixed steps so that memory stays bounded (the
      // same steps on every replay).
      if (step % kStepsPerLoad == 0) {
        host.Unload();
        if (!StartGauge(host, o.module, &r.error)) break;
        sweep.Learn();
        alive = true;
        seen = host.violations().size();
      }
      if (step % 1000 == 0) {
        host.ClearEvents();
        host.ClearServiceLog();
      }
      std::string action = sweep.Next(alive);
      if (step <= keep_actions) r.actions.push_back(action);
      std::string error;
      RunAction(host, action, &error);
      r.steps_run = step;
      if (action == "kill") alive = false;
      if (action == "install") {
        alive = true;
        sweep.LearnAreas();
      }
      if (check(step)) break;
      seen = host.violations().size();
    }
  }
  if (r.found) {
    r.replay = "./bench fuzz " + Quote(o.module) + " --seed " + std::to_string(o.seed) +
               " --steps " + std::to_string(r.failing_step);
    if (r.failing_step <= r.actions.size()) {
      r.actions.resize(r.failing_step);
      if (r.failing_step <= 300) {
        r.replay += "\n  or: ./bench play " + Quote(o.module);
        for (const std::string& a : r.actions) r.replay += " " + a;
      }
    }
  } else {
    r.actions.clear();
  }
  return r;
}

namespace {

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p(path, n);
  size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? "." : p.substr(0, slash);
}

std::vector<std::string> ModulesIn(const std::string& folder) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*.gau").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(folder + "\\" + found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

int FuzzUsage() {
  std::fprintf(stderr,
               "usage: gaugebench fuzz (MODULE.gau | --all [--gauge-dir DIR]) [--seed S]\n"
               "                       [--steps N] [--companion-dir DIR]\n");
  return 2;
}

}  // namespace

int FuzzMain(int argc, char** argv) {
  FuzzOptions o;
  std::vector<std::string> modules;
  bool all = false;
  std::string gauge_dir = ExeFolder() + "\\..\\gauges";
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto number = [&](uint64_t* out) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      *out = std::strtoull(argv[++i], &end, 0);
      return *end == '\0';
    };
    if (a == "--seed") {
      if (!number(&o.seed)) return FuzzUsage();
    } else if (a == "--steps") {
      if (!number(&o.steps)) return FuzzUsage();
    } else if (a == "--all") {
      all = true;
    } else if (a == "--gauge-dir" && i + 1 < argc) {
      gauge_dir = argv[++i];
    } else if (a == "--companion-dir" && i + 1 < argc) {
      SetDllDirectoryA(argv[++i]);
    } else if (a.rfind("--", 0) == 0) {
      return FuzzUsage();
    } else {
      modules.push_back(a);
    }
  }
  if (all) {
    std::vector<std::string> more = ModulesIn(gauge_dir);
    modules.insert(modules.end(), more.begin(), more.end());
  }
  if (modules.empty()) return FuzzUsage();
  int failed = 0, passed = 0;
  for (const std::string& m : modules) {
    o.module = m;
    auto start = std::chrono::steady_clock::now();
    FuzzResult r = RunFuzz(o);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!r.loaded) {
      std::printf("%s: cannot start: %s\n", m.c_str(), r.error.c_str());
      ++failed;
    } else if (r.found) {
      std::printf("%s: seed %llu: finding at step %llu:\n", m.c_str(),
                  static_cast<unsigned long long>(o.seed),
                  static_cast<unsigned long long>(r.failing_step));
      for (const std::string& f : r.findings) std::printf("  %s\n", f.c_str());
      std::printf("  replay: %s\n", r.replay.c_str());
      ++failed;
    } else {
      std::printf("%s: seed %llu: %llu steps, no findings (%.0f s)\n", m.c_str(),
                  static_cast<unsigned long long>(o.seed),
                  static_cast<unsigned long long>(r.steps_run), seconds);
      ++passed;
    }
    std::fflush(stdout);
  }
  std::printf("fuzz: %d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}

}  // namespace bench
