// What the perf tool checks for every module: ordinary updates allocate
// nothing and create no GDI object, and the figures come out with every
// field a reader of the JSON relies on. No wall-clock threshold is asserted
// here: machines differ, and docs/performance.md holds the figures.
#include "perf.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bench_fixture.h"
#include "companion_dir.h"

namespace {

using nlohmann::json;

const char* const kModules[] = {"Tandem",   "Lumaris.LIGHTS", "Orrin",   "Brakewell1",
                                "Greenrow", "Flaps",          "CORVANE", "Kestrel41"};

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The GPS's clicks make its companion library rewrite its settings file, so
// each test gets a private copy of the library and of the shipped settings.
std::unique_ptr<testing_support::CompanionDir> PrivateCompanion() {
  std::ifstream in(std::string(SOURCE_DIR) + "/companion/KestrelDlg.ini");
  std::stringstream ini;
  ini << in.rdbuf();
  auto dir = std::make_unique<testing_support::CompanionDir>(ini.str());
  EXPECT_TRUE(dir->ok()) << "cannot make a private companion folder";
  return dir;
}

class PerfTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    companion_ = PrivateCompanion();
    path_ = testing_support::GaugePath(GetParam());
    if (!Exists(path_)) GTEST_SKIP() << path_ << " is not built";
  }
  std::unique_ptr<testing_support::CompanionDir> companion_;
  std::string path_;
};

TEST_P(PerfTest, OrdinaryUpdatesAllocateNothingAndCreateNoGdiObject) {
  bench::perf::AllocationCheck c;
  std::string error;
  ASSERT_TRUE(bench::perf::CheckOrdinaryUpdates(path_, 400, &c, &error)) << error;
  EXPECT_GE(c.updates, 400);
  std::string culprits;
  for (const std::string& s : c.culprits) culprits += s + " ";
  EXPECT_EQ(c.allocation_calls, 0) << culprits;
  EXPECT_EQ(c.gdi_creations, 0) << culprits;
  EXPECT_LE(c.heap_block_growth, 0) << "heap bytes grew by " << c.heap_byte_growth;
  EXPECT_LE(c.gdi_object_growth, 0);
  EXPECT_TRUE(c.culprits.empty()) << culprits;
}

TEST_P(PerfTest, FiguresCarryEveryFieldWithSaneValues) {
  bench::perf::Settings settings;
  settings.samples = 15;  // the fields matter here, not the precision
  bench::perf::ModuleFigures f;
  std::string error;
  ASSERT_TRUE(bench::perf::MeasureModule(path_, settings, &f, &error)) << error;
  json j = json::parse(bench::perf::ToJson(f));
  for (const char* field :
       {"module", "size_bytes", "private_bytes", "update_ns_median", "update_ns_spread",
        "eval_ns_median", "eval_ns_spread", "baseline_eval_ns_median", "baseline_ratio",
        "callbacks_ns_median", "click_ns_median", "click_areas", "update_budget_ns",
        "ordinary_update_allocations", "ordinary_update_gdi_creations", "refresh_period",
        "update_imports", "click_imports", "violations"})
    EXPECT_TRUE(j.contains(field)) << field;
  EXPECT_EQ(j["module"], std::string(GetParam()) + ".gau");
  EXPECT_GT(j["size_bytes"].get<double>(), 0);
  EXPECT_GE(j["update_ns_median"].get<double>(), 0);
  EXPECT_GE(j["update_ns_spread"].get<double>(), 0);
  EXPECT_GT(j["eval_ns_median"].get<double>(), 0);
  EXPECT_GT(j["baseline_ratio"].get<double>(), 0);
  EXPECT_EQ(j["violations"].size(), 0u) << j["violations"].dump();
  if (j["refresh_period"].get<int>() > 0) {
    for (const char* field : {"refresh_ns_median", "refresh_ns_spread", "drawscreen_ns_median",
                              "drawscreen_ns_spread", "drawscreen_parts"})
      EXPECT_TRUE(j.contains(field)) << field;
    EXPECT_GT(j["drawscreen_ns_median"].get<double>(), 0);
    // The redraw lies inside the refresh block it belongs to.
    EXPECT_LE(j["drawscreen_ns_median"].get<double>(), j["refresh_ns_median"].get<double>());
    EXPECT_GT(j["drawscreen_parts"]["copy_ns"].get<double>(), 0);
  }
  // The table names the module and never the whole JSON.
  std::string table = bench::perf::ToTable({f});
  EXPECT_NE(table.find(std::string(GetParam()) + ".gau"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EveryModule, PerfTest, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name;
                           for (const char* p = info.param; *p; ++p)
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           return name;
                         });

// The GPS is the one gauge with a refresh block: the tool must find its
// rhythm (every 13th update) rather than treat every update alike.
TEST(PerfRhythm, GpsRefreshBlockIsFoundEveryThirteenthUpdate) {
  auto companion = PrivateCompanion();
  std::string path = testing_support::GaugePath("Kestrel41");
  if (!Exists(path)) GTEST_SKIP() << path << " is not built";
  bench::perf::Settings settings;
  settings.samples = 15;
  bench::perf::ModuleFigures f;
  std::string error;
  ASSERT_TRUE(bench::perf::MeasureModule(path, settings, &f, &error)) << error;
  EXPECT_EQ(f.refresh_period, 13);
  EXPECT_EQ(f.update_budget_ns, 5000);
  EXPECT_GT(f.redraw_parts.imports.count("GetDIBits"), 0u);
  EXPECT_GT(f.redraw_parts.imports.count("CreateFontA"), 0u);
}

// The detector itself: the GPS refresh block makes its font, brushes, pens
// and regions anew every time, so counting refresh blocks too must find them.
TEST(PerfRhythm, RefreshBlockCreationsAreSeenWhenCounted) {
  auto companion = PrivateCompanion();
  std::string path = testing_support::GaugePath("Kestrel41");
  if (!Exists(path)) GTEST_SKIP() << path << " is not built";
  bench::perf::AllocationCheck c;
  std::string error;
  ASSERT_TRUE(bench::perf::CheckOrdinaryUpdates(path, 48, &c, &error, true)) << error;
  EXPECT_GT(c.gdi_creations, 0);
  bool font = false;
  for (const std::string& s : c.culprits) font = font || s == "gdi32.dll!CreateFontA";
  EXPECT_TRUE(font);
}

// A gauge whose update asks for the element update every time has no
// refresh block, and its own update is timed without the host's share.
TEST(PerfRhythm, StandardGaugeHasNoRefreshBlock) {
  std::string path = testing_support::GaugePath("Tandem");
  ASSERT_TRUE(Exists(path));
  bench::perf::Settings settings;
  settings.samples = 15;
  bench::perf::ModuleFigures f;
  std::string error;
  ASSERT_TRUE(bench::perf::MeasureModule(path, settings, &f, &error)) << error;
  EXPECT_EQ(f.refresh_period, 0);
  EXPECT_EQ(f.update_budget_ns, 2000);
  EXPECT_EQ(f.redraw.samples, 0);
  EXPECT_EQ(f.click_areas, 1);
}

TEST(PerfErrors, MissingModuleIsReportedNotMeasured) {
  bench::perf::ModuleFigures f;
  bench::perf::AllocationCheck c;
  std::string error;
  EXPECT_FALSE(bench::perf::MeasureModule("no_such_module.gau", {}, &f, &error));
  EXPECT_NE(error.find("no_such_module.gau"), std::string::npos);
  error.clear();
  EXPECT_FALSE(bench::perf::CheckOrdinaryUpdates("no_such_module.gau", 10, &c, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
