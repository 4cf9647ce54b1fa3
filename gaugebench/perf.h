// `gaugebench perf`: what each gauge costs the simulator's frame, measured in
// process with the high-resolution counter over many repetitions.
//
//   gaugebench perf MODULE.gau [--json] [--samples N] [--companion-dir DIR]
//   gaugebench perf --all [DIR] [--json] [--samples N]
//   gaugebench perf --calibrate
//
// This header stays free of Windows and JSON types, so that the calibration
// loop below can also be built natively (see docs/performance.md).
#ifndef GAUGE_PERF_NATIVE_CALIBRATION
#pragma once
#endif

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench::perf {

// A distribution of per-call times, in nanoseconds.
struct Figure {
  double median = 0, p10 = 0, p90 = 0;
  int samples = 0;
  double spread() const { return p90 - p10; }
};

// Time and calls spent in one imported function during one redraw.
struct ImportShare {
  double calls = 0;  // per redraw
  double ns = 0;     // per redraw, hook overhead taken out
};

// The redraw of a self-drawn screen split by the library calls it makes.
struct RedrawParts {
  double objects_ns = 0;  // font, brush, pen and region creation, selection, deletion
  double drawing_ns = 0;  // fills, lines, text, colour state, formatting
  double copy_ns = 0;     // pixels copied out of the drawing surface
  double own_ns = 0;      // the module's own code: the rest of the redraw
  double other_ns = 0;    // any other library call
  std::map<std::string, ImportShare> imports;
};

// What ordinary updates did to memory and GDI, over `updates` calls.
struct AllocationCheck {
  int updates = 0;
  int64_t allocation_calls =
      0;                      // heap/global/local/virtual/C runtime allocations made by the module
  int64_t gdi_creations = 0;  // GDI or user objects created or loaded by the module
  int64_t heap_block_growth = 0;  // busy blocks, all process heaps
  int64_t heap_byte_growth = 0;
  int64_t gdi_object_growth = 0;      // GetGuiResources(GR_GDIOBJECTS)
  std::vector<std::string> culprits;  // imports that allocated or created
};

struct ModuleFigures {
  std::string module;  // file name without folder
  std::string path;
  int64_t size_bytes = 0;
  int64_t private_before_bytes = 0;
  int64_t private_bytes = 0;  // private memory growth from before load to after install

  int refresh_period = 0;          // every how many updates the refresh block runs; 0: none
  Figure update;                   // ordinary update, host element evaluation taken out
  Figure update_with_eval;         // ordinary update with the host's evaluation it asks for
  double lookups_per_update = 0;   // LookupVar calls in an ordinary update
  double lookup_ns = 0;            // what the bench's LookupVar costs per call
  Figure refresh;                  // refresh-block update, everything included
  Figure refresh_update_elements;  // the host's element update inside the refresh block
  Figure redraw;                   // the screen redraw inside the refresh block
  RedrawParts redraw_parts;

  Figure eval;           // host's per-frame element evaluation, callbacks included
  Figure baseline_eval;  // the same tree, callbacks left out
  double baseline_ratio = 0;
  Figure callbacks;  // the gauge's value and text callbacks alone, per frame
  int callback_count = 0;
  int element_count = 0;
  Figure click;  // host click delivery and the gauge's mouse callback
  int click_areas = 0;
  // Library calls the module makes, per ordinary update, per click and per
  // evaluation (its callbacks).
  std::map<std::string, ImportShare> update_imports;
  std::map<std::string, ImportShare> click_imports;
  std::map<std::string, ImportShare> eval_imports;  // per evaluation of the tree

  double update_budget_ns = 0;
  AllocationCheck ordinary;
  std::vector<std::string> violations;
};

struct Settings {
  int samples = 201;  // samples per figure
  std::string companion_dir;
};

// Measures one module. False with a message when it cannot be loaded.
bool MeasureModule(const std::string& path, const Settings& settings, ModuleFigures* out,
                   std::string* error);

// Loads the module, runs `updates` ordinary updates (refresh-block updates
// run between them, counted only when `with_refresh_blocks`) and reports
// what they allocated and created.
bool CheckOrdinaryUpdates(const std::string& path, int updates, AllocationCheck* out,
                          std::string* error, bool with_refresh_blocks = false);

// JSON text of one module's figures (one object) and of several (an array).
std::string ToJson(const ModuleFigures& f);
std::string ToJson(const std::vector<ModuleFigures>& all);
// The table that `perf` prints.
std::string ToTable(const std::vector<ModuleFigures>& all);

// The command: argv as main() received it, argv[1] == "perf".
int Main(int argc, char** argv);

// Fixed loops of integer, floating-point and trigonometric work, the same in
// every build, for comparing this machine's emulated 32-bit code with native
// code (floating point suffers most under emulation).
enum class CalibrationKind { kInteger, kFloating, kTrigonometric };

inline uint32_t CalibrationLoop(uint32_t iterations, CalibrationKind kind) {
  uint32_t h = 2166136261u;
  double x = 0.5;
  for (uint32_t i = 0; i < iterations; ++i) {
    switch (kind) {
      case CalibrationKind::kInteger:
        h = (h ^ i) * 16777619u;
        break;
      case CalibrationKind::kFloating:
        x = x * 0.999 + static_cast<double>(i & 1023) * 1e-3;
        break;
      case CalibrationKind::kTrigonometric:
        x = std::sin(x + 1e-3) * 0.5 + std::cos(x) * 0.25;
        break;
    }
  }
  return h ^ static_cast<uint32_t>(x * 1000);
}
inline uint32_t CalibrationIterations(CalibrationKind kind) {
  return kind == CalibrationKind::kTrigonometric ? 200000 : 2000000;
}

}  // namespace bench::perf

#ifdef GAUGE_PERF_NATIVE_CALIBRATION
// Built natively: g++ -O2 -std=c++20 -x c++ -DGAUGE_PERF_NATIVE_CALIBRATION
//                 gaugebench/perf.h -o /tmp/calibrate
#include <chrono>
#include <cstdio>
int main() {
  using clock = std::chrono::steady_clock;
  using bench::perf::CalibrationKind;
  uint32_t sink = 0;
  const char* names[] = {"integer", "floating-point", "trigonometric"};
  for (CalibrationKind kind :
       {CalibrationKind::kInteger, CalibrationKind::kFloating, CalibrationKind::kTrigonometric}) {
    const uint32_t n = bench::perf::CalibrationIterations(kind);
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
      auto t0 = clock::now();
      sink ^= bench::perf::CalibrationLoop(n, kind);
      double ns = std::chrono::duration<double, std::nano>(clock::now() - t0).count();
      if (ns < best) best = ns;
    }
    std::printf("%s loop: %.3f ns per iteration\n", names[static_cast<int>(kind)], best / n);
  }
  return sink == 0x12345678u;
}
#endif
