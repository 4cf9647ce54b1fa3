// gaugebench: loads a real gauge module as the simulator would and drives it.
//
//   gaugebench info MODULE.gau
//   gaugebench window MODULE.gau [--zoom N] [--companion-dir DIR] [--log FILE]
//   gaugebench fuzz (MODULE.gau | --all) [--seed S] [--steps N]
//   gaugebench play MODULE.gau [ACTION...] [--png FILE] [--format 8|16]
//                               [--companion-dir DIR] [--track FILE.svg]
//   gaugebench perf MODULE.gau | --all [FOLDER]  [--json] [--samples N]
#include <cstdio>
#include <string>
#include <vector>

#include "actions.h"
#include "flight.h"
#include "fuzz.h"
#include "perf.h"
#include "report.h"
#include "window.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: gaugebench info MODULE.gau\n"
      "       gaugebench window MODULE.gau [--zoom N] [--companion-dir DIR] [--log FILE]\n"
      "       gaugebench fuzz (MODULE.gau | --all) [--seed S] [--steps N]\n"
      "       gaugebench play MODULE.gau [ACTION...] [--png FILE] [--format 8|16]\n"
      "                        [--companion-dir DIR] [--track FILE.svg]\n"
      "actions: set:ID=VALUE  update:N  click:X,Y  kill  install  png:FILE  fly:SECONDS\n");
  return 2;
}

struct Options {
  std::string command, module, png, track, companion_dir;
  uint32_t format = 0;
  std::vector<std::string> actions;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  if (argc < 3) return false;
  o->command = argv[1];
  o->module = argv[2];
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--png") {
      if (!value(&o->png)) return false;
    } else if (a == "--format") {
      if (!value(&v) || (v != "8" && v != "16")) return false;
      o->format = v == "16" ? 2 : 0;
    } else if (a == "--companion-dir") {
      if (!value(&v)) return false;
      o->companion_dir = v;
      // The module finds its companion library by name; this folder is
      // searched for it (after the folder of gaugebench.exe itself).
      SetDllDirectoryA(v.c_str());
    } else if (a == "--track") {
      // The flown track, the companion's route and the wind, as an SVG.
      if (!value(&o->track)) return false;
    } else if (a.rfind("--", 0) == 0) {
      return false;
    } else {
      o->actions.push_back(a);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "window") return bench::WindowMain(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "perf") return bench::perf::Main(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "fuzz") return bench::FuzzMain(argc, argv);
  Options o;
  if (!ParseOptions(argc, argv, &o)) return Usage();
  bench::Host host(bench::HostOptions{o.format, 0});
  std::string error;
  if (o.command == "info") {
    if (!host.Load(o.module, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    host.ModuleInit();
    host.Install();  // the mouse list is known only once installed
    nlohmann::json info = bench::DescribeModule(host);
    info["binary"] = bench::DescribeBinary(o.module);
    std::printf("%s\n", info.dump(2).c_str());
    return 0;
  }
  if (o.command != "play") return Usage();
  if (!bench::StartGauge(host, o.module, &error) || !bench::RunActions(host, o.actions, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!o.png.empty() && !bench::WritePng(host.Compose(), o.png)) {
    std::fprintf(stderr, "cannot write %s\n", o.png.c_str());
    return 1;
  }
  if (!o.track.empty() &&
      !bench::WriteTrackSvg(bench::FlownTrack(host), bench::ReadCompanionRoute(o.companion_dir),
                            o.track)) {
    std::fprintf(stderr, "cannot write %s\n", o.track.c_str());
    return 1;
  }
  nlohmann::json report = bench::RunReport(host);
  if (!bench::Snapshots().empty()) {
    report["snapshots"] = nlohmann::json::array();
    for (const bench::Snapshot& s : bench::Snapshots())
      report["snapshots"].push_back({{"file", s.file}, {"event_count", s.event_count}});
  }
  std::printf("%s\n", report.dump(2).c_str());
  return 0;
}
