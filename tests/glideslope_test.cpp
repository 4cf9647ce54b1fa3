// The glideslope indicator through the real Orrin.gau.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "bench_fixture.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pre-order: background, then its children scale, pointer, cover.
constexpr size_t kScale = 1, kPointer = 2, kCover = 3;
constexpr int kPointerRestY = 21;

constexpr bench::Rgb8 kScaleColour{255, 251, 240};
constexpr bench::Rgb8 kMagenta{255, 0, 255};

bool Same(bench::Rgb8 a, bench::Rgb8 b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
bool IsBlack(bench::Rgb8 c) { return Same(c, {0, 0, 0}); }

int CountColour(const bench::Picture& pic, bench::Rgb8 colour) {
  int n = 0;
  for (const bench::Rgb8& c : pic.pixels) n += Same(c, colour);
  return n;
}

class GlideslopeTest : public GaugeTest {
 protected:
  void SetUp() override { Start("Orrin"); }

  void Show(double status, double deviation) {
    Set(var::kGlideslopeStatus, status);
    Set(var::kGlideslopeDeviation, deviation);
    Frames();
  }
};

// ---- visibility by status ----

struct StatusCase {
  const char* name;
  double status;
  bool scale_and_pointer_hidden;
  std::optional<int> cover_picture;  // 0 drawn, -1 not drawn
};

// Zero (either sign) hides scale and pointer; only exactly 1.0 lifts the
// cover; anything else, the values that are no number included, shows
// scale and pointer under the cover.
const StatusCase kStatusCases[] = {
    {"0", 0.0, true, 0},
    {"-0", -0.0, true, 0},
    {"1", 1.0, false, -1},
    {"0.5", 0.5, false, 0},
    {"2", 2.0, false, 0},
    {"-1", -1.0, false, 0},
    {"one ulp above 1", std::nextafter(1.0, 2.0), false, 0},
    {"one ulp below 1", std::nextafter(1.0, 0.0), false, 0},
    {"smallest denormal", std::numeric_limits<double>::denorm_min(), false, 0},
    {"NaN", kNaN, false, 0},
    {"+inf", kInf, false, 0},
    {"-inf", -kInf, false, 0},
    {"1e300", 1e300, false, 0},
};

TEST_F(GlideslopeTest, StatusDecidesWhatIsShownAndWhetherTheCoverIsDrawn) {
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.name);
    Show(c.status, 0.0);
    EXPECT_EQ(Hidden(kScale), c.scale_and_pointer_hidden);
    EXPECT_EQ(Hidden(kPointer), c.scale_and_pointer_hidden);
    EXPECT_FALSE(Hidden(kCover));
    EXPECT_EQ(Picture(kCover), c.cover_picture);
    // The pointer's value is the deviation, handed back unchanged.
    EXPECT_EQ(Element(kPointer).axis_y, 0.0);
  }
  EXPECT_TRUE(host().events().empty());
}

// Status 0: only black remains. Exactly 1 with deviation 0: the pointer
// frames the centre bar and nothing covers it. Any other status: the
// opaque black cover lies over scale and pointer.
TEST_F(GlideslopeTest, ComposedPictureForEachKindOfStatus) {
  Show(0.0, 0.0);
  bench::Picture off = host().Compose();
  ASSERT_EQ(off.width, 7);
  ASSERT_EQ(off.height, 50);
  EXPECT_EQ(CountColour(off, {0, 0, 0}), 7 * 50);

  Show(1.0, 0.0);
  bench::Picture on = host().Compose();
  for (int x = 1; x <= 5; ++x) {
    EXPECT_TRUE(Same(on.At(x, 23), kMagenta)) << x;  // frame top
    EXPECT_TRUE(Same(on.At(x, 28), kMagenta)) << x;  // frame bottom
  }
  for (int y = 23; y <= 28; ++y) {
    EXPECT_TRUE(Same(on.At(1, y), kMagenta)) << y;
    EXPECT_TRUE(Same(on.At(5, y), kMagenta)) << y;
  }
  for (int x = 2; x <= 4; ++x) {
    EXPECT_TRUE(Same(on.At(x, 24), kScaleColour)) << x;  // the bar, inside the frame
    EXPECT_TRUE(Same(on.At(x, 25), kScaleColour)) << x;
  }
  EXPECT_TRUE(Same(on.At(3, 0), kScaleColour));   // top dot
  EXPECT_TRUE(Same(on.At(3, 49), kScaleColour));  // bottom dot

  Show(0.5, 0.0);
  EXPECT_EQ(CountColour(host().Compose(), {0, 0, 0}), 7 * 50);
}

// The pointer's callback runs while it is hidden, so the scale and pointer
// come back at the first update that finds the status non-zero.
TEST_F(GlideslopeTest, ScaleAndPointerReturnAsSoonAsTheStatusTurnsNonZero) {
  Show(0.0, 10.0);
  ASSERT_TRUE(Hidden(kScale));
  ASSERT_TRUE(Hidden(kPointer));
  Show(1.0, 10.0);
  EXPECT_FALSE(Hidden(kScale));
  EXPECT_FALSE(Hidden(kPointer));
  Show(0.0, 10.0);
  EXPECT_TRUE(Hidden(kScale));
  EXPECT_TRUE(Hidden(kPointer));
}

// The status is the gauge's own record, refreshed by the update routine: a
// change between updates shows only after the next one.
TEST_F(GlideslopeTest, TheStatusIsReadAtEachUpdate) {
  Show(1.0, 0.0);
  Set(var::kGlideslopeStatus, 0.0);
  EXPECT_EQ(Picture(kCover), -1);
  EXPECT_FALSE(Hidden(kPointer));
  Frames();
  EXPECT_EQ(Picture(kCover), 0);
  EXPECT_TRUE(Hidden(kPointer));
}

// ---- pointer travel ----

struct TravelCase {
  double deviation;
  int y;  // drawn row of the pointer picture's top
};

TEST_F(GlideslopeTest, NinetySixUnitsOfDeviationMoveThePointerNineteenPixels) {
  for (TravelCase c : {TravelCase{0.0, kPointerRestY},
                       {96.0, kPointerRestY + 19},
                       {-96.0, kPointerRestY - 19},
                       {192.0, kPointerRestY + 38}}) {
    SCOPED_TRACE(c.deviation);
    Show(1.0, c.deviation);
    EXPECT_EQ(Element(kPointer).draw_x, 1);
    EXPECT_EQ(Element(kPointer).draw_y, c.y);
    EXPECT_EQ(Element(kPointer).axis_y, c.deviation);
  }
  // At +-96 the frame's top row is 19 rows from its rest row 23.
  Show(1.0, -96.0);
  bench::Picture up = host().Compose();
  EXPECT_TRUE(Same(up.At(3, 4), kMagenta));
  EXPECT_FALSE(Same(up.At(3, 23), kMagenta));
  Show(1.0, 96.0);
  EXPECT_TRUE(Same(host().Compose().At(3, 42), kMagenta));
}

TEST_F(GlideslopeTest, PointerScaleIsExactlyNineteenNinetySixths) {
  auto* pointer = reinterpret_cast<SliderElement*>(Element(kPointer).element);
  uint64_t bits;
  std::memcpy(&bits, &pointer->y_axis.scale, sizeof bits);
  EXPECT_EQ(bits, 0x3FC9555555555555ull);
  EXPECT_EQ(pointer->y_axis.source.id, var::kGlideslopeDeviation);
  // The x axis is unused: no variable, no callback, scale 0.
  EXPECT_EQ(pointer->x_axis.source.id, 0u);
  EXPECT_EQ(pointer->x_axis.callback, nullptr);
  EXPECT_EQ(pointer->x_axis.scale, 0.0);
}

// Deviations that are no number, or absurdly large, draw no pointer on the
// gauge and disturb nothing else: the scale stays and the flags keep their
// drawing bits (the fixture fails on any violation).
TEST_F(GlideslopeTest, DeviationsThatAreNoNumberOrHugeDrawNoPointerOnTheGauge) {
  for (double bad : {kNaN, kInf, -kInf, 1e300, -1e300}) {
    SCOPED_TRACE(bad);
    Show(1.0, bad);
    EXPECT_FALSE(Hidden(kScale));
    EXPECT_FALSE(Hidden(kPointer));
    EXPECT_EQ(Picture(kCover), -1);
    bench::Picture pic = host().Compose();
    EXPECT_EQ(CountColour(pic, kMagenta), 0);
    EXPECT_TRUE(Same(pic.At(3, 24), kScaleColour));
  }
  Show(1.0, 0.0);
  EXPECT_EQ(CountColour(host().Compose(), kMagenta), 2 * 5 + 2 * 4);
}

// ---- clicks and lifecycle ----

TEST_F(GlideslopeTest, NoPixelOfTheGaugeTakesAClick) {
  Show(1.0, 0.0);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_FALSE(host().Click(x, y)) << x << "," << y;
  Frames();
  EXPECT_TRUE(host().events().empty());
  EXPECT_EQ(Element(kPointer).draw_y, kPointerRestY);
}

// After kill and a new install the gauge binds its status again and shows
// whatever the simulator reports now.
TEST_F(GlideslopeTest, KillAndInstallAgainFollowTheCurrentStatus) {
  Show(0.0, 0.0);
  Play({"kill"});
  Set(var::kGlideslopeStatus, 1.0);
  Set(var::kGlideslopeDeviation, -96.0);
  Play({"install", "update:1"});
  EXPECT_FALSE(Hidden(kScale));
  EXPECT_FALSE(Hidden(kPointer));
  EXPECT_EQ(Picture(kCover), -1);
  EXPECT_EQ(Element(kPointer).draw_y, kPointerRestY - 19);
}

// ---- the bitmaps ----

TEST_F(GlideslopeTest, BackgroundIsSolidBlack) {
  const bench::Bitmap* bg = host().BitmapResource(0x1000);
  ASSERT_NE(bg, nullptr);
  ASSERT_EQ(bg->width, 7);
  ASSERT_EQ(bg->height, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_TRUE(IsBlack(bg->At(x, y))) << x << "," << y;
}

// Four hollow dots five pixels across in columns 1 to 5 and a solid bar
// five wide and two high at rows 24 and 25; near-white on black.
TEST_F(GlideslopeTest, ScaleHasFourHollowDotsAndTheCentreBar) {
  const bench::Bitmap* scale = host().BitmapResource(0x2000);
  ASSERT_NE(scale, nullptr);
  ASSERT_EQ(scale->width, 7);
  ASSERT_EQ(scale->height, 50);
  auto row_lit = [&](int y) {
    int n = 0;
    for (int x = 0; x < 7; ++x) {
      bench::Rgb8 c = scale->At(x, y);
      EXPECT_TRUE(IsBlack(c) || Same(c, kScaleColour)) << x << "," << y;
      n += !IsBlack(c);
    }
    return n;
  };
  for (int y = 0; y < 50; ++y) {
    EXPECT_TRUE(IsBlack(scale->At(0, y))) << y;
    EXPECT_TRUE(IsBlack(scale->At(6, y))) << y;
  }
  for (int top : {0, 12, 33, 45}) {
    SCOPED_TRACE(top);
    for (int y = top; y < top + 5; ++y) EXPECT_GT(row_lit(y), 0) << y;
    if (top > 0) {
      EXPECT_EQ(row_lit(top - 1), 0);
    }
    if (top + 5 < 50) {
      EXPECT_EQ(row_lit(top + 5), 0);
    }
    EXPECT_TRUE(IsBlack(scale->At(3, top + 2)));  // hollow
    EXPECT_TRUE(Same(scale->At(1, top + 2), kScaleColour));
    EXPECT_TRUE(Same(scale->At(5, top + 2), kScaleColour));
    EXPECT_TRUE(Same(scale->At(3, top), kScaleColour));
    EXPECT_TRUE(Same(scale->At(3, top + 4), kScaleColour));
  }
  for (int y : {24, 25}) {
    EXPECT_EQ(row_lit(y), 5);
    for (int x = 1; x <= 5; ++x) EXPECT_TRUE(Same(scale->At(x, y), kScaleColour));
  }
  for (int y : {18, 19, 20, 21, 22, 23, 26, 27, 28, 29, 30, 31, 32}) EXPECT_EQ(row_lit(y), 0) << y;
}

TEST_F(GlideslopeTest, PointerIsAHollowMagentaRectangleInRowsTwoToSeven) {
  const bench::Bitmap* p = host().BitmapResource(0x2001);
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->width, 5);
  ASSERT_EQ(p->height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool edge = y >= 2 && y <= 7 && (x == 0 || x == 4 || y == 2 || y == 7);
      EXPECT_TRUE(Same(p->At(x, y), edge ? kMagenta : bench::Rgb8{0, 0, 0})) << x << "," << y;
    }
}

}  // namespace
