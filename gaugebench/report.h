// What the bench tells: JSON reports of a module's records and of a run, and
// the composed picture as a PNG.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "host.h"

namespace bench {

// Linkage, header, element tree and mouse list, as the module declares them.
nlohmann::json DescribeModule(Host& host);
// The binary's PE facts and every departure from what a module must be.
nlohmann::json DescribeBinary(const std::string& path);
// Events, elements in pre-order, violations and the variables after a run.
nlohmann::json RunReport(Host& host);
bool WritePng(const Picture& picture, const std::string& path);

}  // namespace bench
