// The lights switch panel through the real Lumaris.LIGHTS.gau.
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
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

constexpr uint32_t kBackgroundBmp = 0x1000;
constexpr uint32_t kLeverUpBmp = 0x2000;    // picture 0, OFF
constexpr uint32_t kLeverDownBmp = 0x2003;  // picture 1, ON

// One switch: where it sits, what it shows and what a click on it sends.
struct Switch {
  const char* name;
  size_t index;  // pre-order: background, PANEL, STROB, LAND
  int x, y;      // top-left of the 26 x 54 picture and of its click area
  uint32_t variable;
  uint32_t event;
};
constexpr Switch kSwitches[] = {
    {"PANEL", 1, 4, 22, var::kPanelLights, event::kTogglePanelLights},
    {"STROB", 2, 62, 22, var::kStrobeLights, event::kToggleStrobeLights},
    {"LAND", 3, 120, 22, var::kLandingLights, event::kToggleLandingLights},
};
constexpr int kSwitchW = 26, kSwitchH = 54;

bool IsBlack(bench::Rgb8 c) { return c.r == 0 && c.g == 0 && c.b == 0; }
bool IsWhite(bench::Rgb8 c) { return c.r == 255 && c.g == 255 && c.b == 255; }

// The three switches' picture numbers, PANEL, STROB, LAND.
using Levers = std::vector<std::optional<int>>;

class LightsTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Lumaris.LIGHTS"); }

  Levers Pictures() {
    Levers out;
    for (const Switch& s : kSwitches) out.push_back(Picture(s.index));
    return out;
  }
  std::vector<bench::SentEvent> HostEvents() {
    std::vector<bench::SentEvent> out;
    for (const bench::SentEvent& e : host().events())
      if (e.from_host) out.push_back(e);
    return out;
  }
};

// ---- switches and clicks ----

TEST_F(LightsTest, WithAllLightsOffEveryLeverIsUp) {
  Frames();
  EXPECT_EQ(Pictures(), (Levers{0, 0, 0}));
  EXPECT_TRUE(host().events().empty());
}

// The road of one click, for each switch: the host sends the area's event,
// the simulated aircraft toggles the light, and only the next update moves
// that one lever; a second click brings it back.
TEST_F(LightsTest, AClickSendsTheTogglingEventAndOnlyThatLeverFollowsTheLight) {
  for (const Switch& s : kSwitches) {
    SCOPED_TRACE(s.name);
    host().ClearEvents();
    Frames();
    ASSERT_TRUE(host().Click(s.x + 13, s.y + 27));
    ASSERT_EQ(HostEvents().size(), 1u);
    EXPECT_EQ(HostEvents()[0].id, s.event);
    EXPECT_TRUE(ModuleEvents().empty());  // the gauge itself sends nothing
    EXPECT_EQ(host().sim().Get(s.variable), 1.0);
    EXPECT_EQ(Picture(s.index), 0) << "the click alone must not move the lever";

    Frames();
    Levers expected{0, 0, 0};
    expected[s.index - 1] = 1;
    EXPECT_EQ(Pictures(), expected);

    host().Click(s.x + 13, s.y + 27);
    Frames();
    EXPECT_EQ(Pictures(), (Levers{0, 0, 0}));
  }
}

TEST_F(LightsTest, TheStrobeClickComposesTheStrobeLeverDown) {
  Click(75, 40);
  ASSERT_EQ(HostEvents().size(), 1u);
  EXPECT_EQ(HostEvents()[0].id, 0x10018u);
  Frames();
  EXPECT_EQ(Pictures(), (Levers{0, 1, 0}));
  bench::Picture pic = host().Compose();
  // Knob tips: up at row 30, down at row 64, on each switch's centre column.
  EXPECT_FALSE(IsBlack(pic.At(16, 30)));  // PANEL up
  EXPECT_TRUE(IsBlack(pic.At(16, 64)));
  EXPECT_TRUE(IsBlack(pic.At(74, 30)));  // STROB down
  EXPECT_FALSE(IsBlack(pic.At(74, 64)));
  EXPECT_FALSE(IsBlack(pic.At(132, 30)));  // LAND up
  // The switch pictures let the bezel through where they are black: the
  // bottom of the PANEL ring lies inside its picture, below the nut.
  EXPECT_TRUE(IsWhite(pic.At(16, 62)));
}

// Only the variable moves a lever: a simulator that answers nothing leaves
// it, and a light switched elsewhere shows at the next update.
TEST_F(LightsTest, LeversFollowTheVariablesNotTheClicks) {
  Click(10, 40);
  Set(var::kPanelLights, 0.0);  // as if the simulator ignored the event
  Frames();
  EXPECT_EQ(Pictures(), (Levers{0, 0, 0}));

  Set(var::kLandingLights, 1.0);
  Frames();
  EXPECT_EQ(Pictures(), (Levers{0, 0, 1}));
  EXPECT_TRUE(ModuleEvents().empty());
}

TEST_F(LightsTest, EachAreaCoversExactlyItsSwitchPicture) {
  for (const Switch& s : kSwitches) {
    SCOPED_TRACE(s.name);
    const int right = s.x + kSwitchW - 1, bottom = s.y + kSwitchH - 1;
    for (auto [x, y] : {std::pair{s.x, s.y}, {right, s.y}, {s.x, bottom}, {right, bottom}}) {
      host().ClearEvents();
      EXPECT_TRUE(host().Click(x, y)) << x << "," << y;
      ASSERT_EQ(HostEvents().size(), 1u);
      EXPECT_EQ(HostEvents()[0].id, s.event);
    }
    for (auto [x, y] : {std::pair{s.x - 1, s.y + 20},
                        {right + 1, s.y + 20},
                        {s.x + 13, s.y - 1},
                        {s.x + 13, bottom + 1}}) {
      host().ClearEvents();
      EXPECT_FALSE(host().Click(x, y)) << x << "," << y;
      EXPECT_TRUE(host().events().empty());
    }
  }
}

TEST_F(LightsTest, ClicksOnTheTitleLabelsAndMarksChangeNothing) {
  const std::pair<int, int> outside[] = {
      {75, 4},  {75, 12},  {16, 19}, {130, 19}, {45, 35}, {104, 35},
      {45, 60}, {104, 60}, {2, 47},  {147, 47}, {0, 0},   {149, 77},
  };
  Frames();
  for (auto [x, y] : outside) EXPECT_FALSE(host().Click(x, y)) << x << "," << y;
  Frames();
  EXPECT_TRUE(host().events().empty());
  EXPECT_EQ(Pictures(), (Levers{0, 0, 0}));
  for (const Switch& s : kSwitches) EXPECT_EQ(host().sim().Get(s.variable), 0.0);
}

// Kill withdraws the areas; a new install brings them back, and the levers
// still show the lights as they are (the gauge keeps nothing of its own).
TEST_F(LightsTest, KillWithdrawsTheAreasAndANewInstallRestoresThem) {
  Click(10, 40);
  Frames();
  Play({"kill"});
  EXPECT_FALSE(host().Click(75, 40));
  Play({"install", "update:1"});
  EXPECT_EQ(Pictures(), (Levers{1, 0, 0}));
  EXPECT_TRUE(host().Click(75, 40));
  Frames();
  EXPECT_EQ(Pictures(), (Levers{1, 1, 0}));
}

// Values that are no picture number reach the host as they are; it draws
// no lever for them, leaves the other switches alone, and a real value
// brings the lever back.
TEST_F(LightsTest, ValuesThatAreNoPictureDrawNoLeverAndHarmNothing) {
  for (const Switch& s : kSwitches) {
    for (double bad : {kNaN, kInf, -kInf, 1e300, -1e300}) {
      SCOPED_TRACE(std::string(s.name) + " = " + std::to_string(bad));
      Set(s.variable, bad);
      Frames();
      Levers expected{0, 0, 0};
      expected[s.index - 1] = std::nullopt;
      EXPECT_EQ(Pictures(), expected);
      // Nothing of the lever is drawn: its nut centre shows the black field.
      bench::Picture pic = host().Compose();
      EXPECT_TRUE(IsBlack(pic.At(s.x + 12, s.y + 25)));
      // A real value brings the lever back.
      Set(s.variable, 1.0);
      Frames();
      EXPECT_EQ(Picture(s.index), 1);
      Set(s.variable, 0.0);
    }
  }
  Frames();
  EXPECT_EQ(Pictures(), (Levers{0, 0, 0}));
}

// ---- the bitmaps ----

// The extent of the white pixels of bitmap `bmp` inside a window.
using testing_support::Extent;
Extent WhiteExtent(const bench::Bitmap& bmp, int x0, int y0, int x1, int y1) {
  return testing_support::ExtentOf(bmp, x0, y0, x1, y1, IsWhite);
}

TEST_F(LightsTest, BackgroundLineArtStandsWhereTheDescriptionPutsIt) {
  const bench::Bitmap* bg = host().BitmapResource(kBackgroundBmp);
  ASSERT_NE(bg, nullptr);
  ASSERT_EQ(bg->width, 150);
  ASSERT_EQ(bg->height, 78);
  // Only black and white.
  for (int y = 0; y < 78; ++y)
    for (int x = 0; x < 150; ++x)
      ASSERT_TRUE(IsBlack(bg->At(x, y)) || IsWhite(bg->At(x, y))) << x << "," << y;

  // Title in rows 1 to 8, centred on the 150-pixel width.
  Extent title = WhiteExtent(*bg, 0, 0, 149, 11);
  EXPECT_EQ(title.top, 1);
  EXPECT_EQ(title.bottom, 8);
  EXPECT_LE(std::abs(title.left + title.right - 149), 1) << title;

  // The rule: row 12, columns 5 to 144, alone in rows 9 to 15.
  EXPECT_EQ(WhiteExtent(*bg, 0, 9, 149, 15), (Extent{5, 12, 144, 12}));
  for (int x = 5; x <= 144; ++x) EXPECT_TRUE(IsWhite(bg->At(x, 12))) << x;

  for (const Switch& s : kSwitches) {
    SCOPED_TRACE(s.name);
    const int centre_twice = 2 * s.x + kSwitchW - 1;
    // Label in rows 16 to 23, centred over the switch.
    Extent label = WhiteExtent(*bg, s.x - 4, 14, s.x + kSwitchW + 3, 24);
    EXPECT_EQ(label.top, 16);
    EXPECT_EQ(label.bottom, 23);
    EXPECT_LE(std::abs(label.left + label.right - centre_twice), 1) << label;
    // Bezel: a ring 30 pixels across on the switch's centre, rows 33 to 62,
    // with its inside empty.
    Extent ring = WhiteExtent(*bg, s.x - 4, 25, s.x + kSwitchW + 3, 77);
    EXPECT_EQ(ring, (Extent{s.x - 2, 33, s.x + kSwitchW + 1, 62}));
    EXPECT_TRUE(IsBlack(bg->At(s.x + 13, 48)));
  }
  // OFF and ON between neighbouring bezels, level with their top and bottom.
  for (int gap_left : {32, 90}) {
    SCOPED_TRACE(gap_left);
    Extent off = WhiteExtent(*bg, gap_left, 25, gap_left + 27, 47);
    Extent on = WhiteExtent(*bg, gap_left, 48, gap_left + 27, 77);
    EXPECT_EQ(off.top, 32);
    EXPECT_EQ(off.bottom, 39);
    EXPECT_EQ(on.top, 57);
    EXPECT_EQ(on.bottom, 64);
    EXPECT_GT(off.right - off.left, on.right - on.left);  // three letters over two
  }
}

// Both pictures are 26 x 54 on a black surround; the lever's knob is at the
// top for OFF and at the bottom for ON.
TEST_F(LightsTest, SwitchPicturesPointUpForOffAndDownForOn) {
  auto count_lit = [](const bench::Bitmap& b, int y0, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = 0; x < b.width; ++x) n += !IsBlack(b.At(x, y));
    return n;
  };
  const bench::Bitmap* up = host().BitmapResource(kLeverUpBmp);
  const bench::Bitmap* down = host().BitmapResource(kLeverDownBmp);
  ASSERT_NE(up, nullptr);
  ASSERT_NE(down, nullptr);
  for (const bench::Bitmap* b : {up, down}) {
    EXPECT_EQ(b->width, kSwitchW);
    EXPECT_EQ(b->height, kSwitchH);
    EXPECT_TRUE(IsBlack(b->At(0, 0)));
    EXPECT_TRUE(IsBlack(b->At(kSwitchW - 1, kSwitchH - 1)));
  }
  EXPECT_GT(count_lit(*up, 0, 14), 10);
  EXPECT_EQ(count_lit(*up, 39, 53), 0);
  EXPECT_EQ(count_lit(*down, 0, 14), 0);
  EXPECT_GT(count_lit(*down, 39, 53), 10);
}

}  // namespace
