// Shared test fixture: one bench host with one real module loaded, plus
// small helpers to read the run as the report shows it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions.h"
#include "host.h"

namespace testing_support {

std::string GaugePath(const std::string& module_name);
// Paths of every .gau the build made, sorted by name.
std::vector<std::string> BuiltGauges();

class GaugeTest : public ::testing::Test {
 protected:
  // Loads dist-built module `name` (e.g. "Tandem") and runs install and
  // initialize; fails the test if that does not work.
  void Start(const std::string& name, bench::HostOptions options = {});
  // Runs actions as `gaugebench play` would; fails the test on a bad one.
  void Play(const std::vector<std::string>& actions);
  void Set(uint32_t id, double value) { host().sim().Set(id, value); }
  void Frames(int n = 1);
  void Click(int x, int y) { host().Click(x, y); }

  bench::Host& host() { return *host_; }
  // The element at pre-order index i of the tree, as the host sees it.
  bench::ElementView Element(size_t index);
  std::optional<int> Picture(size_t index) { return Element(index).picture; }
  bool Hidden(size_t index) { return host().IsHidden(Element(index).element); }
  std::optional<std::string> Text(size_t index) { return host().TextOf(Element(index).element); }
  std::vector<std::pair<uint32_t, int32_t>> ModuleEvents();
  void ExpectNoViolations();

  void TearDown() override;

 private:
  std::unique_ptr<bench::Host> host_;
};

}  // namespace testing_support
