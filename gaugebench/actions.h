// The actions of `gaugebench play`, shared by the command line, the tests
// and every other driver of the bench.
#pragma once

#include <string>
#include <vector>

#include "host.h"

namespace bench {

// Loads the module and runs install and initialize, as the simulator does
// before a gauge is first shown.
bool StartGauge(Host& host, const std::string& module_path, std::string* error);

// Runs one action: set:ID=VALUE, update:N, click:X,Y, kill, install,
// png:FILE (writes the composed picture now).
// Returns false with a message for an action it cannot parse.
bool RunAction(Host& host, const std::string& action, std::string* error);
bool RunActions(Host& host, const std::vector<std::string>& actions, std::string* error);

// The pictures written by png:FILE actions, in order, each with the number
// of events sent before it, so that a report can tell which events led to it.
struct Snapshot {
  std::string file;
  size_t event_count;
};
const std::vector<Snapshot>& Snapshots();

// Parses a number as the command line writes it: decimal, 0x hex, nan, inf.
bool ParseDouble(const std::string& text, double* out);
bool ParseId(const std::string& text, uint32_t* out);

}  // namespace bench
