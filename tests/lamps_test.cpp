// The set-value lamp annunciator through the real Greenrow.gau.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bench_fixture.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pre-order: the tree is one chain.
constexpr size_t kBackground = 0, kLeft = 1, kMiddle = 2, kRight = 3, kReadout = 4;
constexpr size_t kLamps[] = {kLeft, kMiddle, kRight};

constexpr uint32_t kBackgroundBmp = 0x1000;
constexpr uint32_t kLampBmps[] = {0x2000, 0x2003, 0x2006};
constexpr bench::Rgb8 kLitColours[] = {{0, 200, 0}, {0, 220, 0}, {0, 255, 0}};
constexpr bench::Rgb8 kUnlitLens{0, 96, 0};
constexpr bench::Rgb8 kWindow{5, 5, 5};
constexpr bench::Rgb8 kReadoutInk{239, 239, 239};
constexpr int kLensFirstColumn[] = {14, 35, 56};  // each lens is 17 x 17 from row 5
constexpr int kLensCentreRow = 13;

// Points inside the two click halves (decrease: columns 9 to 42, increase:
// 43 to 76, rows 25 to 62 for both).
constexpr std::pair<int, int> kDecreasePoint{20, 40};
constexpr std::pair<int, int> kIncreasePoint{60, 40};

bool Same(bench::Rgb8 a, bench::Rgb8 b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

class LampsTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Greenrow"); }

  void SetAirspeed(double v) { Set(var::kAirspeed, v); }
  void ClickTimes(std::pair<int, int> at, int n) {
    for (int i = 0; i < n; ++i) Click(at.first, at.second);
  }
  // Moves the set value from its load value of 70 to c.
  void SetValueTo(int c) {
    if (c < 70) ClickTimes(kDecreasePoint, 70 - c);
    if (c > 70) ClickTimes(kIncreasePoint, c - 70);
  }
  // Which lamps show lit after one update: picture 0 lit, -1 dark.
  std::vector<bool> LitLamps() {
    Frames();
    std::vector<bool> lit;
    for (size_t lamp : kLamps) {
      std::optional<int> picture = Picture(lamp);
      EXPECT_TRUE(picture == 0 || picture == -1)
          << "lamp " << lamp << " picture " << (picture ? *picture : 999);
      lit.push_back(picture == 0);
    }
    return lit;
  }
  StringElement* Readout() { return reinterpret_cast<StringElement*>(Element(kReadout).element); }
};

// ---- the set value and the lamp bands ----

TEST_F(LampsTest, AtLoadTheReadoutShows70AndAllLampsAreDark) {
  EXPECT_EQ(LitLamps(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(Text(kReadout), " 70");
  EXPECT_TRUE(ModuleEvents().empty());
}

struct BandCase {
  int set_value;
  double airspeed;
  std::vector<bool> lit;  // left, middle, right
};

TEST_F(LampsTest, LampsLightInInclusiveBandsAroundTheSetValue) {
  const std::vector<BandCase> cases = {
      // Around the load value 70.
      {70, 59.9, {false, false, false}},
      {70, 60.0, {true, false, false}},
      {70, 64.99, {true, false, false}},
      {70, 65.0, {true, true, false}},
      {70, 69.99, {true, true, false}},
      {70, 70.0, {true, true, true}},
      {70, 80.0, {true, true, true}},
      {70, 80.01, {false, false, false}},
      {70, 0.0, {false, false, false}},
      {70, -70.0, {false, false, false}},
      // At the bottom of the range the bands reach below zero.
      {0, -10.01, {false, false, false}},
      {0, -10.0, {true, false, false}},
      {0, -5.0, {true, true, false}},
      {0, -0.01, {true, true, false}},
      {0, 0.0, {true, true, true}},
      {0, 10.0, {true, true, true}},
      {0, 10.01, {false, false, false}},
      // And at the top they reach above the range.
      {190, 179.99, {false, false, false}},
      {190, 185.0, {true, true, false}},
      {190, 200.0, {true, true, true}},
      {190, 200.5, {false, false, false}},
  };
  int c = 70;
  for (const BandCase& k : cases) {
    if (k.set_value != c) {
      ClickTimes(k.set_value < c ? kDecreasePoint : kIncreasePoint, std::abs(k.set_value - c));
      c = k.set_value;
    }
    SetAirspeed(k.airspeed);
    EXPECT_EQ(LitLamps(), k.lit) << "set value " << k.set_value << ", airspeed " << k.airspeed;
  }
}

TEST_F(LampsTest, LampsFollowTheAirspeedAndNotTheirOwnSource) {
  Set(var::kLampSource, 70.0);  // would light all three if it were read
  Set(var::kSetValueSource, 70.0);
  SetAirspeed(0.0);
  EXPECT_EQ(LitLamps(), (std::vector<bool>{false, false, false}));
  SetAirspeed(70.0);
  Set(var::kLampSource, 0.0);
  EXPECT_EQ(LitLamps(), (std::vector<bool>{true, true, true}));
}

TEST_F(LampsTest, EachLampRefreshesTheAirspeedItselfAndNothingBindsIt) {
  SetAirspeed(65.0);
  host().ClearServiceLog();
  Frames(2);
  int lookups = 0, binds = 0;
  for (int slot : host().service_log()) {
    lookups += slot == 40;
    binds += slot == 38;
  }
  EXPECT_EQ(lookups, 6);  // three lamps, two updates
  EXPECT_EQ(binds, 0);
  // A change between two updates shows at the next one: nothing is cached.
  SetAirspeed(80.01);
  EXPECT_EQ(LitLamps(), (std::vector<bool>{false, false, false}));
}

// ---- stepping the set value ----

TEST_F(LampsTest, ClicksStepTheSetValueAndStopAtTheEndsOfTheRange) {
  struct Step {
    std::pair<int, int> at;
    int times;
    const char* shown;
  };
  const std::vector<Step> steps = {
      {kDecreasePoint, 1, " 69"}, {kIncreasePoint, 2, " 71"}, {kDecreasePoint, 66, "  5"},
      {kDecreasePoint, 5, "  0"}, {kDecreasePoint, 1, "  0"}, {kDecreasePoint, 10, "  0"},
      {kIncreasePoint, 1, "  1"}, {kIncreasePoint, 9, " 10"}, {kIncreasePoint, 180, "190"},
      {kIncreasePoint, 1, "190"}, {kIncreasePoint, 5, "190"}, {kDecreasePoint, 1, "189"},
  };
  for (const Step& s : steps) {
    ClickTimes(s.at, s.times);
    Frames();
    EXPECT_EQ(Text(kReadout), s.shown);
  }
  EXPECT_TRUE(ModuleEvents().empty());  // the set value is the gauge's alone
}

TEST_F(LampsTest, EveryCornerOfBothHalvesStepsAndEveryPointOutsideDoesNothing) {
  struct Case {
    int x, y;
    int step;  // -1 decrease, +1 increase, 0 nothing
  };
  const std::vector<Case> cases = {
      {9, 25, -1}, {42, 25, -1}, {9, 62, -1},   {42, 62, -1},  // decrease corners
      {43, 25, 1}, {76, 25, 1},  {43, 62, 1},   {76, 62, 1},   // increase corners
      {8, 40, 0},  {77, 40, 0},  {30, 24, 0},   {60, 24, 0},     {30, 63, 0}, {60, 63, 0},
      {22, 13, 0}, {43, 13, 0},  {64, 13, 0},   {0, 0, 0},       {86, 63, 0}, {-1, -1, 0},
      {87, 40, 0}, {40, 64, 0},  {-100, 30, 0}, {1000, 1000, 0},
  };
  int c = 70;
  for (const Case& k : cases) {
    EXPECT_EQ(host().Click(k.x, k.y), k.step != 0) << k.x << "," << k.y;
    c += k.step;
    Frames();
    char shown[8];
    std::snprintf(shown, sizeof shown, "%3d", c);
    EXPECT_EQ(Text(kReadout), shown) << "after a click at " << k.x << "," << k.y;
  }
  EXPECT_TRUE(ModuleEvents().empty());
}

TEST_F(LampsTest, TheSetValueSurvivesKillAndAFreshInstall) {
  SetValueTo(75);
  Play({"kill"});
  // While killed the areas are withdrawn: a click reaches nothing.
  EXPECT_FALSE(host().Click(kIncreasePoint.first, kIncreasePoint.second));
  Play({"install", "update:1"});
  EXPECT_EQ(Text(kReadout), " 75");
  // The bands follow the kept value, and the areas work again.
  SetAirspeed(70.0);
  EXPECT_EQ(LitLamps(), (std::vector<bool>{true, true, false}));
  Click(kIncreasePoint.first, kIncreasePoint.second);
  Frames();
  EXPECT_EQ(Text(kReadout), " 76");
}

// ---- bad values ----

TEST_F(LampsTest, BadValuesInEveryVariableLeaveTheLampsDarkAndTheReadoutIntact) {
  const double bad[] = {kNaN, -kNaN, kInf, -kInf, 1e300, -1e300};
  for (double v : bad) {
    SetAirspeed(v);
    Set(var::kLampSource, v);
    Set(var::kSetValueSource, v);
    EXPECT_EQ(LitLamps(), (std::vector<bool>{false, false, false})) << v;
    EXPECT_EQ(Text(kReadout), " 70") << v;
  }
  // A bad value in the lamps' own source or the readout's changes nothing.
  SetAirspeed(70.0);
  Set(var::kLampSource, kNaN);
  Set(var::kSetValueSource, kInf);
  EXPECT_EQ(LitLamps(), (std::vector<bool>{true, true, true}));
  // TearDown checks that no text went past the buffer and nothing else broke.
}

TEST_F(LampsTest, TheReadoutHandsItsArgumentBackUnchanged) {
  Frames();
  StringElement* readout = Readout();
  ASSERT_NE(readout->text_callback, nullptr);
  for (double v : {0.0, 123.5, -7.25, kInf, -kInf, 1e300}) {
    uint32_t words[2];
    std::memcpy(words, &v, sizeof v);
    double back = host().CallModule("readout", reinterpret_cast<void*>(readout->text_callback),
                                    {words[0], words[1]}, true);
    EXPECT_EQ(back, v);
    EXPECT_EQ(Text(kReadout), " 70");
  }
  uint32_t nan_words[2];
  std::memcpy(nan_words, &kNaN, sizeof kNaN);
  double back = host().CallModule("readout", reinterpret_cast<void*>(readout->text_callback),
                                  {nan_words[0], nan_words[1]}, true);
  EXPECT_TRUE(std::isnan(back));
}

// ---- records the simulator reads ----

TEST_F(LampsTest, TheTreeIsAChainOfBackgroundThreeLampsAndReadout) {
  std::vector<bench::ElementView> all = host().Elements();
  ASSERT_EQ(all.size(), 5u);
  const uint32_t kinds[] = {kStaticImage, kIcon, kIcon, kIcon, kString};
  for (size_t i = 0; i < all.size(); ++i) {
    ElementHeader* e = all[i].element;
    EXPECT_EQ(all[i].depth, static_cast<int>(i));
    EXPECT_EQ(e->kind, kinds[i]);
    if (i + 1 < all.size()) {
      ASSERT_NE(e->children, nullptr);
      EXPECT_EQ(e->children[0], all[i + 1].element);
      EXPECT_EQ(e->children[1], nullptr);
    } else {
      EXPECT_TRUE(e->children == nullptr || e->children[0] == nullptr);
    }
  }
  // Three pictures declared per lamp, one bitmap shipped per lamp: the
  // right lamp's pictures 1 and 2 do not exist.
  for (size_t i = 0; i < 3; ++i) {
    auto* icon = reinterpret_cast<IconElement*>(all[kLamps[i]].element);
    EXPECT_EQ(icon->header.resource_id, kLampBmps[i]);
    EXPECT_EQ(icon->picture_count, 3u);
    EXPECT_EQ(icon->header.failures, all[kLeft].element->failures);
  }
  EXPECT_EQ(host().BitmapResource(0x2009), nullptr);
  EXPECT_EQ(host().BitmapResource(0x200C), nullptr);
  FailureRecord* f = all[kLeft].element->failures;
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f[0].key, 2u);
  EXPECT_EQ(f[0].action, 0u);
  EXPECT_EQ(f[1].key, 0u);
  EXPECT_EQ(all[kBackground].element->failures, nullptr);
  EXPECT_EQ(all[kReadout].element->failures, nullptr);
  GaugeHeader* g = host().gauge();
  EXPECT_STREQ(g->name, "GREENROW");
  EXPECT_EQ(g->default_size, 33u);
}

// ---- bitmaps and the composed picture ----

// The lens pixels of one lens in the background: everything dark green in its
// column range.
std::set<std::pair<int, int>> LensPixels(const bench::Bitmap& bg, int first_column) {
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < bg.height; ++y)
    for (int x = first_column - 2; x <= first_column + 18; ++x)
      if (Same(bg.At(x, y), kUnlitLens)) out.insert({x, y});
  return out;
}

TEST_F(LampsTest, BitmapsMatchTheirDescription) {
  const bench::Bitmap* bg = host().BitmapResource(kBackgroundBmp);
  ASSERT_NE(bg, nullptr);
  ASSERT_EQ(bg->width, 87);
  ASSERT_EQ(bg->height, 64);
  // The display window, all near-black, inside a light grey border.
  for (int y = 27; y <= 52; ++y)
    for (int x = 12; x <= 74; ++x) ASSERT_TRUE(Same(bg->At(x, y), kWindow)) << x << "," << y;
  for (auto [x, y] : {std::pair{11, 40}, {75, 40}, {40, 26}, {40, 53}}) {
    bench::Rgb8 c = bg->At(x, y);
    EXPECT_TRUE(c.r == c.g && c.g == c.b && c.r >= 160) << "border at " << x << "," << y;
  }
  // Rounded upper corners leave pure black outside; the lower ones are square.
  EXPECT_TRUE(Same(bg->At(0, 0), {0, 0, 0}));
  EXPECT_TRUE(Same(bg->At(86, 0), {0, 0, 0}));
  EXPECT_FALSE(Same(bg->At(0, 63), {0, 0, 0}));
  EXPECT_FALSE(Same(bg->At(86, 63), {0, 0, 0}));

  for (int i = 0; i < 3; ++i) {
    std::set<std::pair<int, int>> lens = LensPixels(*bg, kLensFirstColumn[i]);
    ASSERT_FALSE(lens.empty());
    int minx = 999, maxx = -1, miny = 999, maxy = -1;
    for (auto [x, y] : lens) {
      minx = std::min(minx, x), maxx = std::max(maxx, x);
      miny = std::min(miny, y), maxy = std::max(maxy, y);
    }
    EXPECT_EQ(minx, kLensFirstColumn[i]);
    EXPECT_EQ(maxx, kLensFirstColumn[i] + 16);
    EXPECT_EQ(miny, 5);
    EXPECT_EQ(maxy, 21);
    // A light grey rim just outside the lens on all four sides.
    const int cx = kLensFirstColumn[i] + 8;
    for (auto [x, y] :
         {std::pair{minx - 1, kLensCentreRow}, {maxx + 1, kLensCentreRow}, {cx, 4}, {cx, 22}}) {
      bench::Rgb8 c = bg->At(x, y);
      EXPECT_TRUE(c.r == c.g && c.g == c.b && c.r >= 160) << "rim at " << x << "," << y;
    }

    // The lit lamp: its own colour exactly over its lens, pure black elsewhere.
    const bench::Bitmap* lamp = host().BitmapResource(kLampBmps[i]);
    ASSERT_NE(lamp, nullptr);
    ASSERT_EQ(lamp->width, 74);
    ASSERT_EQ(lamp->height, 23);
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < lamp->height; ++y)
      for (int x = 0; x < lamp->width; ++x) {
        bench::Rgb8 c = lamp->At(x, y);
        if (Same(c, {0, 0, 0})) continue;
        EXPECT_TRUE(Same(c, kLitColours[i])) << "lamp " << i << " at " << x << "," << y;
        lit.insert({x, y});
      }
    EXPECT_EQ(lit, lens) << "lamp " << i;
  }
}

TEST_F(LampsTest, TheComposedPictureLightsTheLensesAndShowsTheReadoutInTheWindow) {
  struct Case {
    double airspeed;
    bool lit[3];
  };
  for (const Case& k : {Case{59.9, {false, false, false}}, Case{60, {true, false, false}},
                        Case{65, {true, true, false}}, Case{75, {true, true, true}}}) {
    SetAirspeed(k.airspeed);
    Frames();
    bench::Picture pic = host().last_drawn();
    ASSERT_EQ(pic.width, 87);
    ASSERT_EQ(pic.height, 64);
    for (int i = 0; i < 3; ++i) {
      for (auto [x, y] : {std::pair{kLensFirstColumn[i] + 8, kLensCentreRow},
                          {kLensFirstColumn[i], kLensCentreRow},
                          {kLensFirstColumn[i] + 16, kLensCentreRow},
                          {kLensFirstColumn[i] + 8, 5},
                          {kLensFirstColumn[i] + 8, 21}}) {
        bench::Rgb8 want = k.lit[i] ? kLitColours[i] : kUnlitLens;
        EXPECT_TRUE(Same(pic.At(x, y), want))
            << "lens " << i << " at " << x << "," << y << " airspeed " << k.airspeed;
      }
    }
    // The lamps' black surround lets the bezel show: the window stays intact
    // outside the readout box, and the readout's ink lands inside its box.
    for (int y = 27; y <= 52; ++y) {
      EXPECT_TRUE(Same(pic.At(12, y), kWindow));
      EXPECT_TRUE(Same(pic.At(74, y), kWindow));
    }
    int ink = 0, ink_outside = 0;
    for (int y = 0; y < pic.height; ++y)
      for (int x = 0; x < pic.width; ++x)
        if (Same(pic.At(x, y), kReadoutInk)) {
          bool inside = x >= 15 && x <= 73 && y >= 28 && y <= 51;
          (inside ? ink : ink_outside) += 1;
        }
    EXPECT_GT(ink, 40);  // two digits of a 24-pixel face
    EXPECT_EQ(ink_outside, 0);
  }
}

}  // namespace
