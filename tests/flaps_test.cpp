// The flaps tape indicator through the real Flaps.gau.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "bench_fixture.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pre-order: background, then its children readout and tape.
constexpr size_t kBackground = 0, kReadout = 1, kTape = 2;

constexpr bench::Rgb8 kBlack{0, 0, 0};
constexpr bench::Rgb8 kCyan{0, 255, 255};
constexpr bench::Rgb8 kLineBlue{0, 128, 255};
constexpr bench::Rgb8 kStrip{8, 8, 8};

bool Same(bench::Rgb8 a, bench::Rgb8 b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::string Show(bench::Rgb8 c) {
  char text[24];
  std::snprintf(text, sizeof text, "(%d,%d,%d)", c.r, c.g, c.b);
  return text;
}

class FlapsTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Flaps"); }

  StringElement* Readout() { return reinterpret_cast<StringElement*>(Element(kReadout).element); }

  // Calls the readout's text callback as the simulator does, with `argument`
  // on the stack; returns what it hands back.
  double CallReadout(double argument) {
    uint32_t words[2];
    std::memcpy(words, &argument, sizeof argument);
    return host().CallModule("readout", reinterpret_cast<void*>(Readout()->text_callback),
                             {words[0], words[1]}, true);
  }
};

// ---- the detent readout ----

struct DetentCase {
  double position;
  const char* shown;
  double detent;
};

TEST_F(FlapsTest, TheReadoutShowsTheDetentByTheThresholdTable) {
  const std::vector<DetentCase> cases = {
      // Each row: lower bound exclusive, upper bound inclusive.
      {0.0, " 0", 0},
      {2000.0, " 0", 0},
      {2000.5, " 1", 1},
      {4000.0, " 1", 1},
      {4000.01, " 2", 2},
      {6100.0, " 2", 2},
      {6100.5, " 5", 5},
      {8100.0, " 5", 5},
      {8100.5, "10", 10},
      {10200.0, "10", 10},
      {10200.5, "15", 15},
      {12200.0, "15", 15},
      {12200.5, "20", 20},
      {14300.0, "20", 20},
      {14300.5, "25", 25},
      {16300.0, "25", 25},
      {16300.01, "30", 30},
      {16383.0, "30", 30},
      {17000.0, "30", 30},
      // Negative, tiny and bad positions: defined, never past two characters.
      {-0.0, " 0", 0},
      {-1.0, " 0", 0},
      {4.9e-324, " 0", 0},
      {-1e300, " 0", 0},
      {1e300, "30", 30},
      {kNaN, " 0", 0},
      {-kNaN, " 0", 0},
      {kInf, "30", 30},
      {-kInf, " 0", 0},
  };
  for (const DetentCase& k : cases) {
    Set(var::kFlapPosition, k.position);
    Frames();
    EXPECT_EQ(Text(kReadout), k.shown) << "position " << k.position;
    // The callback reads its own record, not its argument, and returns the
    // detent it showed.
    for (double argument : {0.0, 16383.0, kNaN}) {
      EXPECT_EQ(CallReadout(argument), k.detent)
          << "position " << k.position << ", argument " << argument;
      EXPECT_EQ(Text(kReadout), k.shown) << "position " << k.position;
    }
  }
}

// ---- the tape ----

// Where the tape's blue line lands in the composed picture, if it shows.
std::optional<int> LineRow(const bench::Picture& pic) {
  std::optional<int> row;
  for (int y = 0; y < pic.height; ++y)
    if (Same(pic.At(10, y), kLineBlue)) {
      EXPECT_FALSE(row) << "a second line row at " << y;
      row = y;
    }
  return row;
}

// Checks the bar around a line at `line` (or no line): solid cyan above it,
// the line across the tape, a dark row under it, then only the bar's two
// outer columns beside the dark strip.
void ExpectBarAroundLine(const bench::Picture& pic, std::optional<int> line, double position) {
  for (int y = 0; y < pic.height; ++y) {
    const bool in_window = y >= 1 && y <= 33;
    for (int x = 0; x <= 12; ++x) {
      const bool bar = x >= 3 && x <= 8;
      bench::Rgb8 want = bar ? kCyan : kBlack;
      if (in_window && line) {
        if (y == *line) {
          want = kLineBlue;
        } else if (y == *line + 1) {
          want = kStrip;
        } else if (y > *line + 1 && x >= 4 && x <= 7) {
          want = kStrip;
        }
      }
      ASSERT_TRUE(Same(pic.At(x, y), want))
          << "position " << position << ": pixel " << x << "," << y << " is " << Show(pic.At(x, y))
          << ", want " << Show(want);
    }
  }
}

TEST_F(FlapsTest, TheTapeLineMovesDownTheBarAsTheFlapsExtend) {
  struct Case {
    double position;
    std::optional<int> line;  // gauge row of the blue line
  };
  // The tape's 66 rows pass a 33-row window at rows 1 to 33 between the
  // limits 17000 (line just below the window) and 400 (line at its top).
  const std::vector<Case> cases = {
      {-1e300, 1},
      {0.0, 1},
      {400.0, 1},
      {4550.0, 9},
      {8700.0, 17},
      {12850.0, 26},
      {16383.0, 33},
      {17000.0, std::nullopt},
      {20000.0, std::nullopt},
      {kInf, std::nullopt},
      {-kInf, 1},
      {kNaN, std::nullopt},
      {1e300, std::nullopt},
  };
  for (const Case& k : cases) {
    Set(var::kFlapPosition, k.position);
    Frames();
    // The tape's callback hands the flap position through unchanged.
    double axis = Element(kTape).axis_y;
    if (std::isnan(k.position)) {
      EXPECT_TRUE(std::isnan(axis));
    } else {
      EXPECT_EQ(axis, k.position);
    }
    bench::Picture pic = host().last_drawn();
    ASSERT_EQ(pic.width, 32);
    ASSERT_EQ(pic.height, 35);
    EXPECT_EQ(LineRow(pic), k.line) << "position " << k.position;
    ExpectBarAroundLine(pic, k.line, k.position);
  }
}

TEST_F(FlapsTest, TheReadoutInkStaysInItsBoxBesideTheBar) {
  for (double position : {0.0, 6100.5, 16383.0}) {
    Set(var::kFlapPosition, position);
    Frames();
    bench::Picture pic = host().last_drawn();
    int ink = 0;
    for (int y = 0; y < pic.height; ++y)
      for (int x = 13; x < pic.width; ++x) {
        bench::Rgb8 c = pic.At(x, y);
        const bool in_box = x >= 13 && x <= 20 && y >= 13 && y <= 20;
        if (!in_box) {
          EXPECT_TRUE(Same(c, kBlack)) << x << "," << y;
        } else if (Same(c, kLineBlue)) {
          ++ink;
        }
      }
    EXPECT_GT(ink, 0) << "position " << position;
  }
}

// ---- clicks, kill and install, bad values ----

TEST_F(FlapsTest, ClicksAnywhereDoNothing) {
  Set(var::kFlapPosition, 6100.5);
  Frames();
  for (int y = -2; y <= 36; ++y)
    for (int x = -2; x <= 33; ++x) EXPECT_FALSE(host().Click(x, y)) << x << "," << y;
  Frames();
  EXPECT_EQ(Text(kReadout), " 5");
  EXPECT_TRUE(host().events().empty());
  EXPECT_EQ(host().sim().Get(var::kFlapPosition), 6100.5);
}

TEST_F(FlapsTest, KillAndAFreshInstallShowTheSameIndication) {
  Set(var::kFlapPosition, 12850.0);
  Frames();
  const bench::Picture before = host().last_drawn();
  Play({"kill", "install", "update:1"});
  EXPECT_EQ(Text(kReadout), "20");
  const bench::Picture after = host().last_drawn();
  ASSERT_EQ(after.pixels.size(), before.pixels.size());
  for (size_t i = 0; i < before.pixels.size(); ++i)
    ASSERT_TRUE(Same(before.pixels[i], after.pixels[i])) << "pixel " << i;
  Play({"set:0x149=2000.5", "update:1"});
  EXPECT_EQ(Text(kReadout), " 1");
}

TEST_F(FlapsTest, TheMouseListCarriesOnlyTheHelpText) {
  MouseRect* list = host().mouse_list();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0].kind, static_cast<uint32_t>(RectParent));
  EXPECT_EQ(list[0].help_id, help::kFlapsTape);
  EXPECT_EQ(list[1].kind, static_cast<uint32_t>(RectParentEnd));
  EXPECT_EQ(list[2].kind, static_cast<uint32_t>(RectListEnd));
  EXPECT_TRUE(host().mouse_registered());
  GaugeHeader* g = host().gauge();
  EXPECT_STREQ(g->name, "Stratum. by Norlo");
  EXPECT_EQ(g->default_size, 50u);
  // The background's two children, and nothing below them.
  std::vector<bench::ElementView> all = host().Elements();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[kReadout].element->kind, static_cast<uint32_t>(kString));
  EXPECT_EQ(all[kTape].element->kind, static_cast<uint32_t>(kMovingImage));
  EXPECT_EQ(all[kReadout].depth, 1);
  EXPECT_EQ(all[kTape].depth, 1);
  EXPECT_EQ(all[kBackground].element->failures, nullptr);
  EXPECT_EQ(all[kReadout].element->failures, all[kTape].element->failures);
}

// ---- bitmaps ----

TEST_F(FlapsTest, BitmapsMatchTheirDescription) {
  const bench::Bitmap* bg = host().BitmapResource(0x1000);
  ASSERT_NE(bg, nullptr);
  ASSERT_EQ(bg->width, 32);
  ASSERT_EQ(bg->height, 35);
  for (int y = 0; y < bg->height; ++y)
    for (int x = 0; x < bg->width; ++x)
      ASSERT_TRUE(Same(bg->At(x, y), x >= 3 && x <= 8 ? kCyan : kBlack)) << x << "," << y;

  const bench::Bitmap* tape = host().BitmapResource(0x2000);
  ASSERT_NE(tape, nullptr);
  ASSERT_EQ(tape->width, 14);
  ASSERT_EQ(tape->height, 66);
  for (int y = 0; y < tape->height; ++y)
    for (int x = 0; x < tape->width; ++x) {
      bench::Rgb8 want = kBlack;
      if (y == 33) want = kLineBlue;
      if (y == 34 || (y >= 35 && x >= 5 && x <= 8)) want = kStrip;
      ASSERT_TRUE(Same(tape->At(x, y), want)) << x << "," << y << " is " << Show(tape->At(x, y));
    }

  const bench::Bitmap* window = host().BitmapResource(0x2003);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->width, 14);
  ASSERT_EQ(window->height, 33);
  for (int y = 0; y < window->height; ++y)
    for (int x = 0; x < window->width; ++x)
      ASSERT_TRUE(Same(window->At(x, y), {1, 1, 1})) << x << "," << y;
}

}  // namespace
