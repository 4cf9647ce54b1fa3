// Flaps: a cyan bar on black, and the tape that slides over it: black above
// a blue line, a dark strip below it that covers the bar's middle columns.
#include "canvas.h"

namespace {
using namespace art;

constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kLineBlue{0, 128, 255};
constexpr Rgb kStrip{8, 8, 8};

void DrawBackground(const std::string& res) {
  Canvas c(32, 35);
  c.FillRect(3, 0, 8, 34, kCyan);
  Save(c, res, "background.bmp");
}

// Rows 0 to 32 stay black, so above the line the bar shows whole; the tape
// sits one column left of the gauge, so its strip (columns 5 to 8) covers
// bar columns 4 to 7 and leaves the bar's two outer columns showing.
void DrawTape(const std::string& res) {
  Canvas c(14, 66);
  c.FillRect(0, 33, 13, 33, kLineBlue);
  c.FillRect(0, 34, 13, 34, kStrip);
  c.FillRect(5, 35, 8, 65, kStrip);
  Save(c, res, "tape.bmp");
}

void DrawWindow(const std::string& res) {
  Save(Canvas(14, 33, Rgb{1, 1, 1}), res, "tape_window.bmp");
}

Register flaps("flaps", [](const std::string& res) {
  DrawBackground(res);
  DrawTape(res);
  DrawWindow(res);
});
}  // namespace
