// Orrin: a black 7 x 50 field (background and cover), the near-white scale
// of four hollow dots and a centre bar, and the magenta pointer frame.
#include <string>

#include "canvas.h"

namespace {
using namespace art;

constexpr Rgb kScaleWhite{255, 251, 240};
constexpr Rgb kMagenta{255, 0, 255};

// A hollow dot five pixels across with its top-left corner at (x, y):
// three-pixel edges on each side, corners left out.
void HollowDot(Canvas& c, int x, int y) {
  c.FillRect(x + 1, y, x + 3, y, kScaleWhite);
  c.FillRect(x + 1, y + 4, x + 3, y + 4, kScaleWhite);
  c.FillRect(x, y + 1, x, y + 3, kScaleWhite);
  c.FillRect(x + 4, y + 1, x + 4, y + 3, kScaleWhite);
}

void DrawScale(const std::string& res) {
  Canvas c(7, 50);
  for (int top : {0, 12, 33, 45}) HollowDot(c, 1, top);
  c.FillRect(1, 24, 5, 25, kScaleWhite);  // the centre bar
  Save(c, res, "scale.bmp");
}

// Five pixels wide, rows 2 to 7 of a 5 x 10 picture: at rest (1, 21) it
// covers gauge rows 23 to 28 around the centre bar.
void DrawPointer(const std::string& res) {
  Canvas c(5, 10);
  c.FrameRect(0, 2, 4, 7, kMagenta);
  Save(c, res, "pointer.bmp");
}

Register glideslope("glideslope", [](const std::string& res) {
  Save(Canvas(7, 50), res, "background.bmp");
  DrawScale(res);
  DrawPointer(res);
});
}  // namespace
