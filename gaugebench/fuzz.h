// The hostile-host sweep: random but reproducible sequences of set, update,
// click, kill and install against one real module, stopping at the first
// finding (a module fault, a contract violation, a text or pixel overflow,
// image flags changed outside bit 30) with a command that replays it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct FuzzOptions {
  std::string module;  // path of the .gau
  uint64_t seed = 1;
  uint64_t steps = 1000;
};

struct FuzzResult {
  bool loaded = false;
  std::string error;   // why the module could not be started
  bool found = false;  // anything wrong at all
  uint64_t steps_run = 0;
  uint64_t failing_step = 0;  // 1-based index of the step that caused the finding
  std::vector<std::string> findings;
  std::vector<std::string> actions;  // the `play` actions of steps 1..failing_step
  std::string replay;                // a command that replays the failing sequence
};

// Runs the sweep in this process. Actions are recorded for replay only while
// `keep_actions` (runs far longer than that replay by seed and step count).
FuzzResult RunFuzz(const FuzzOptions& options, uint64_t keep_actions = 2000);

// The `fuzz` command: gaugebench fuzz (MODULE.gau | --all [--gauge-dir DIR])
// [--seed S] [--steps N]. Returns the process exit code.
int FuzzMain(int argc, char** argv);

}  // namespace bench
