// The hostile-host sweep against every module: fixed seeds, a few thousand
// steps each, zero findings. A gauge with planted faults shows that the
// sweep finds a fault, names the step that caused it, and that both replay
// commands reproduce it.
#include "fuzz.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "actions.h"
#include "bench_fixture.h"
#include "host.h"

namespace {

std::string Faulty() { return std::string(SAMPLES_DIR) + "/faulty/Faulty.gau"; }

std::string Describe(const bench::FuzzResult& r) {
  std::string s = "step " + std::to_string(r.failing_step) + ":\n";
  for (const std::string& f : r.findings) s += "  " + f + "\n";
  return s + "  replay: " + r.replay;
}

class FuzzSweep : public ::testing::Test {
 protected:
  // The GPS finds its companion library here, and must not open its dialogs.
  void SetUp() override { SetDllDirectoryA(COMPANION_DIR); }
  void TearDown() override { SetDllDirectoryA(nullptr); }
};

TEST_F(FuzzSweep, EveryModuleSurvivesFixedSeeds) {
  std::vector<std::string> modules = testing_support::BuiltGauges();
  ASSERT_FALSE(modules.empty());
  for (const std::string& m : modules)
    for (uint64_t seed : {1u, 7u, 2026u}) {
      bench::FuzzResult r = bench::RunFuzz({m, seed, 1500});
      ASSERT_TRUE(r.loaded) << m << ": " << r.error;
      EXPECT_FALSE(r.found) << m << " seed " << seed << ": " << Describe(r);
      EXPECT_EQ(r.steps_run, r.found ? r.failing_step : 1500u);
    }
}

TEST_F(FuzzSweep, FindsAPlantedFaultAndReplaysIt) {
  bench::FuzzResult r = bench::RunFuzz({Faulty(), 3, 5000});
  ASSERT_TRUE(r.loaded) << r.error;
  ASSERT_TRUE(r.found);
  ASSERT_GT(r.failing_step, 0u);
  ASSERT_EQ(r.actions.size(), r.failing_step);
  std::string all;
  for (const std::string& f : r.findings) all += f + "\n";
  EXPECT_NE(all.find("module fault"), std::string::npos) << all;
  EXPECT_NE(r.replay.find("--seed 3 --steps " + std::to_string(r.failing_step)), std::string::npos)
      << r.replay;

  // Replayed by seed and step count, the same step fails the same way.
  bench::FuzzResult again = bench::RunFuzz({Faulty(), 3, r.failing_step});
  EXPECT_TRUE(again.found);
  EXPECT_EQ(again.failing_step, r.failing_step);
  EXPECT_EQ(again.findings, r.findings);

  // Replayed as `play` actions, the last action is the one that faults.
  bench::Host host;
  std::string error;
  ASSERT_TRUE(bench::StartGauge(host, Faulty(), &error)) << error;
  for (size_t i = 0; i + 1 < r.actions.size(); ++i)
    ASSERT_TRUE(bench::RunAction(host, r.actions[i], &error)) << error;
  EXPECT_EQ(host.faults(), 0) << "faulted before the last action";
  ASSERT_TRUE(bench::RunAction(host, r.actions.back(), &error)) << error;
  EXPECT_GT(host.faults(), 0) << r.actions.back();
}

// The bench survives each planted fault, names the routine, and keeps going.
TEST_F(FuzzSweep, ModuleFaultsAreCaughtAndNamed) {
  struct Case {
    const char* what;
    std::vector<std::string> actions;
    const char* expected;
  } cases[] = {
      {"click writes to address 16", {"click:21,21"}, "in the mouse callback"},
      {"callback writes to address 16", {"set:0x3D=-77", "update:1"}, "in the icon callback"},
  };
  for (const Case& c : cases) {
    bench::Host host;
    std::string error;
    ASSERT_TRUE(bench::StartGauge(host, Faulty(), &error)) << error;
    ASSERT_TRUE(bench::RunActions(host, c.actions, &error)) << error;
    ASSERT_EQ(host.faults(), 1) << c.what;
    ASSERT_FALSE(host.violations().empty());
    EXPECT_NE(host.violations().back().find(c.expected), std::string::npos)
        << c.what << ": " << host.violations().back();
    EXPECT_NE(host.violations().back().find("Faulty.gau+0x"), std::string::npos)
        << host.violations().back();
    // The host is still usable after the fault.
    ASSERT_TRUE(bench::RunActions(host, {"set:0x3D=3", "update:2"}, &error)) << error;
    EXPECT_EQ(host.Elements().at(0).picture, 1);
  }
}

#ifdef GAUGE_CHECKED_BUILD
// In the checked build a plain conversion of a huge or NaN double traps.
TEST_F(FuzzSweep, CheckedBuildTrapsFloatToIntegerOverflow) {
  for (const char* value : {"1e300", "nan", "-inf", "3e9"}) {
    bench::Host host;
    std::string error;
    ASSERT_TRUE(bench::StartGauge(host, Faulty(), &error)) << error;
    ASSERT_TRUE(bench::RunActions(host, {std::string("set:0x3D=") + value, "update:1"}, &error));
    ASSERT_EQ(host.faults(), 1) << value;
    EXPECT_NE(host.violations().back().find("module fault"), std::string::npos)
        << host.violations().back();
  }
}
#endif

}  // namespace
