// The spoiler auto-arm switch through the real Brakewell1.gau.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "bench_fixture.h"
#include "pixel_extent.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pre-order: background, lever, lamp.
constexpr size_t kLever = 1, kLamp = 2;
constexpr std::pair<int, int> kOnTheSwitch{27, 32};

bool IsBlack(bench::Rgb8 c) { return c.r == 0 && c.g == 0 && c.b == 0; }
bool IsGrey(bench::Rgb8 c) { return c.r == c.g && c.g == c.b; }
bool IsRed(bench::Rgb8 c) { return c.r >= 120 && c.r > 2 * c.g && c.r > 2 * c.b; }

using Events = std::vector<std::pair<uint32_t, int32_t>>;

class SpoilersTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Brakewell1"); }

  void Toggle() { ASSERT_TRUE(host().Click(kOnTheSwitch.first, kOnTheSwitch.second)); }
  void SetCondition(double v) { Set(var::kSpoilerDeployCondition, v); }
  bool ShowsArmed() {
    EXPECT_EQ(Hidden(kLever), Hidden(kLamp)) << "lever and lamp must show together";
    return !Hidden(kLever);
  }
  size_t Deployments() { return ModuleEvents().size(); }
};

// ---- arming ----

TEST_F(SpoilersTest, AtLoadNothingIsArmedShownOrSentEvenAtOne) {
  EXPECT_FALSE(ShowsArmed());
  SetCondition(1.0);
  Frames(5);
  EXPECT_FALSE(ShowsArmed());
  EXPECT_TRUE(host().events().empty());
}

TEST_F(SpoilersTest, ClicksArmAndDisarmShowingAndHidingLeverAndLamp) {
  Toggle();
  EXPECT_TRUE(ShowsArmed());
  Frames();
  EXPECT_EQ(Picture(kLever), 0);
  EXPECT_EQ(Picture(kLamp), 0);
  Toggle();
  EXPECT_FALSE(ShowsArmed());
  Toggle();
  EXPECT_TRUE(ShowsArmed());
  EXPECT_TRUE(host().events().empty());  // arming alone sends nothing
}

// The toggle is the area's callback; it returns 0 and sends nothing.
TEST_F(SpoilersTest, TheArmToggleReturnsZero) {
  MouseRect* area = host().mouse_list() + 1;
  ASSERT_EQ(area->kind, RectChild);
  ASSERT_NE(area->callback, nullptr);
  for (bool armed_after : {true, false}) {
    uint32_t eax = 0xDEADBEEF;
    host().CallModule("arm toggle", reinterpret_cast<void*>(area->callback), {0, LeftClick}, false,
                      &eax);
    EXPECT_EQ(eax, 0u);
    EXPECT_EQ(ShowsArmed(), armed_after);
  }
  EXPECT_TRUE(host().events().empty());
}

TEST_F(SpoilersTest, OnlyTheSwitchStripTakesClicks) {
  // Inside: columns 12 to 41, rows 0 to 65.
  for (auto [x, y] : {std::pair{12, 0}, {41, 0}, {12, 65}, {41, 65}}) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    const bool before = ShowsArmed();
    EXPECT_TRUE(host().Click(x, y));
    EXPECT_NE(ShowsArmed(), before);
  }
  // Outside: either side of the strip, the lamp, the title's right half,
  // below the strip.
  for (auto [x, y] : {std::pair{11, 30}, {42, 30}, {71, 32}, {60, 5}, {27, 66}, {99, 66}}) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    EXPECT_FALSE(host().Click(x, y));
  }
  EXPECT_FALSE(ShowsArmed());
  SetCondition(1.0);
  Frames(3);
  EXPECT_TRUE(host().events().empty());
}

// ---- the deploy rule ----

TEST_F(SpoilersTest, ArmedAtExactlyOneDeploysOnEveryUpdate) {
  Toggle();
  SetCondition(1.0);
  int total = 0;
  for (int n : {1, 2, 7, 13}) {
    SCOPED_TRACE(n);
    host().ClearEvents();
    Frames(n);
    EXPECT_EQ(ModuleEvents(), Events(n, {event::kDeploySpoilers, 0}));
    total += n;
  }
  EXPECT_EQ(host().sim().spoiler_deployments, total);
  EXPECT_TRUE(ShowsArmed());  // deploying does not disarm
}

struct ConditionCase {
  const char* name;
  double value;
};
const ConditionCase kNotExactlyOne[] = {
    {"0", 0.0},
    {"-0", -0.0},
    {"0.999", 0.999},
    {"one ulp above 1", std::nextafter(1.0, 2.0)},
    {"one ulp below 1", std::nextafter(1.0, 0.0)},
    {"2", 2.0},
    {"-1", -1.0},
    {"NaN", kNaN},
    {"+inf", kInf},
    {"-inf", -kInf},
    {"1e300", 1e300},
};

TEST_F(SpoilersTest, ArmedButNotExactlyOneSendsNothing) {
  Toggle();
  for (const ConditionCase& c : kNotExactlyOne) {
    SCOPED_TRACE(c.name);
    SetCondition(c.value);
    Frames(3);
    EXPECT_TRUE(host().events().empty());
    EXPECT_TRUE(ShowsArmed());
  }
}

// Arming while the condition already reads 1.0 deploys from the next update
// on; disarming stops it from the next update on.
TEST_F(SpoilersTest, ArmingAndDisarmingTakeEffectAtTheNextUpdate) {
  SetCondition(1.0);
  Frames(2);
  Toggle();
  EXPECT_TRUE(host().events().empty());
  Frames();
  EXPECT_EQ(Deployments(), 1u);
  Toggle();
  Frames(4);
  EXPECT_EQ(Deployments(), 1u);
}

// The deploy condition is the gauge's own record, refreshed at each update:
// a condition that lasted only between updates is never seen.
TEST_F(SpoilersTest, TheConditionIsReadAtEachUpdate) {
  Toggle();
  SetCondition(1.0);
  SetCondition(0.0);
  Frames();
  SetCondition(1.0);
  EXPECT_EQ(Deployments(), 0u);
  Frames();
  EXPECT_EQ(Deployments(), 1u);
}

// ---- lifecycle ----

// The armed state belongs to the loaded module: kill withdraws the strip,
// a new install brings it back, and the gauge is still armed.
TEST_F(SpoilersTest, KillAndInstallKeepTheArmedState) {
  Toggle();
  Play({"kill"});
  EXPECT_FALSE(host().Click(kOnTheSwitch.first, kOnTheSwitch.second));
  SetCondition(1.0);
  Play({"install", "update:2"});
  EXPECT_TRUE(ShowsArmed());
  EXPECT_EQ(ModuleEvents(), Events(2, {event::kDeploySpoilers, 0}));
  Toggle();
  Play({"kill", "install", "update:2"});
  EXPECT_FALSE(ShowsArmed());
  EXPECT_EQ(Deployments(), 2u);
}

// ---- pictures ----

TEST_F(SpoilersTest, ComposedPictureShowsTheEmptySocketOrTheLeverAndLitLamp) {
  Frames();
  bench::Picture off = host().Compose();
  EXPECT_TRUE(IsGrey(off.At(71, 32)) && !IsBlack(off.At(71, 32)));  // unlit lens
  EXPECT_TRUE(IsGrey(off.At(27, 32)));                              // empty dark centre
  EXPECT_LT(off.At(27, 32).r, 60);
  // A stroke of DEPLOY's P, where the shaft will lie once armed.
  EXPECT_TRUE(IsGrey(off.At(27, 54)));
  EXPECT_GT(off.At(27, 54).r, 60);
  EXPECT_LT(off.At(27, 54).r, 160);

  Toggle();
  Frames();
  bench::Picture on = host().Compose();
  EXPECT_TRUE(IsRed(on.At(71, 32))) << int(on.At(71, 32).r) << "," << int(on.At(71, 32).g);
  EXPECT_TRUE(IsRed(on.At(80, 45)));
  EXPECT_GT(on.At(27, 32).r, 150);  // the knob in the socket's centre
  EXPECT_GT(on.At(27, 54).r, 160);  // the shaft over DEPLOY
  // Lever and lamp cover only what they draw: HOOK and the socket's collar stay.
  EXPECT_EQ(on.At(13, 32).r, off.At(13, 32).r);
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 13; ++y) ASSERT_EQ(on.At(x, y).r, off.At(x, y).r) << x << "," << y;
}

using testing_support::Extent;
using testing_support::ExtentOf;

TEST_F(SpoilersTest, BackgroundPartsStandWhereTheDescriptionPutsThem) {
  const bench::Bitmap* bg = host().BitmapResource(0x1000);
  ASSERT_NE(bg, nullptr);
  ASSERT_EQ(bg->width, 100);
  ASSERT_EQ(bg->height, 67);
  auto lit = [](bench::Rgb8 c) { return !IsBlack(c); };
  auto white = [](bench::Rgb8 c) { return c.r == 255 && c.g == 255 && c.b == 255; };
  // HOOK in white: columns 32 to 67, rows 3 to 12, and nothing else white.
  EXPECT_EQ(ExtentOf(*bg, 0, 0, 99, 66, white), (Extent{32, 3, 67, 12}));
  EXPECT_EQ(ExtentOf(*bg, 0, 0, 99, 13, lit), (Extent{32, 3, 67, 12}));
  // Socket and lens: grey rounds 36 across, columns 10 to 45 and 54 to 89.
  EXPECT_EQ(ExtentOf(*bg, 0, 14, 49, 51, lit), (Extent{10, 15, 45, 50}));
  EXPECT_EQ(ExtentOf(*bg, 50, 14, 99, 51, lit), (Extent{54, 15, 89, 50}));
  for (int y = 15; y <= 50; ++y)
    for (int x = 10; x <= 89; ++x) ASSERT_TRUE(IsGrey(bg->At(x, y))) << x << "," << y;
  // The socket's centre is dark and empty; the lens is glass all through.
  EXPECT_LT(bg->At(27, 32).r, 60);
  EXPECT_GT(bg->At(71, 32).r, 60);
  // DEPLOY in dim grey: columns 6 to 51, rows 53 to 60.
  EXPECT_EQ(ExtentOf(*bg, 0, 51, 99, 66, lit), (Extent{6, 53, 51, 60}));
  for (int y = 53; y <= 60; ++y)
    for (int x = 6; x <= 51; ++x) {
      bench::Rgb8 c = bg->At(x, y);
      ASSERT_TRUE(IsBlack(c) || (IsGrey(c) && c.r >= 60 && c.r <= 160)) << x << "," << y;
    }
}

TEST_F(SpoilersTest, LeverAndLampPictures) {
  const bench::Bitmap* lever = host().BitmapResource(0x2000);
  ASSERT_NE(lever, nullptr);
  ASSERT_EQ(lever->width, 18);
  ASSERT_EQ(lever->height, 56);
  auto lit = [](bench::Rgb8 c) { return !IsBlack(c); };
  // The top 18 rows are pure black; the knob sits at picture point (10, 24),
  // the socket's centre once placed at (17, 8); the shaft reaches the bottom.
  Extent drawn = ExtentOf(*lever, 0, 0, 17, 55, lit);
  EXPECT_EQ(drawn.top, 18);
  EXPECT_EQ(drawn.bottom, 55);
  EXPECT_TRUE(lit(lever->At(10, 24)));
  EXPECT_TRUE(lit(lever->At(10, 50)));
  EXPECT_TRUE(IsBlack(lever->At(0, 50)));

  const bench::Bitmap* lamp = host().BitmapResource(0x2006);
  ASSERT_NE(lamp, nullptr);
  ASSERT_EQ(lamp->width, 36);
  ASSERT_EQ(lamp->height, 36);
  // Lit reds around (210, 50, 50), with an orange and yellow highlight.
  int reds = 0, warm_highlight = 0;
  for (int y = 0; y < 36; ++y)
    for (int x = 0; x < 36; ++x) {
      bench::Rgb8 c = lamp->At(x, y);
      if (IsBlack(c)) continue;
      reds += IsRed(c);
      warm_highlight += c.r >= 220 && c.g >= 110 && c.b < 120;
    }
  EXPECT_GT(reds, 600);
  EXPECT_GT(warm_highlight, 5);
  bench::Rgb8 middle = lamp->At(17, 17);
  EXPECT_NEAR(middle.r, 210, 20);
  EXPECT_NEAR(middle.g, 50, 20);
  EXPECT_NEAR(middle.b, 50, 20);
}

}  // namespace
