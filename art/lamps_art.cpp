// Greenrow: a grey bezel with rounded upper corners, three unlit lenses along
// the top and a near-black display window below; one bitmap per lit lamp.
#include "canvas.h"

namespace {
using namespace art;

// Lens centres: each lens covers columns centre - 8 to centre + 8 and rows
// 5 to 21, and a lit lamp's disc covers exactly the same pixels.
constexpr double kLensCentresX[] = {22.0, 43.0, 64.0};
constexpr double kLensCentreY = 13.0;
constexpr double kLensRadius = 8.45;  // 17 pixels across, round edges
constexpr double kRimRadius = 9.6;

constexpr Rgb kUnlitLens{0, 96, 0};
constexpr Rgb kWindow{5, 5, 5};

// The bezel outline: rounded at the top, square at the bottom.
void BezelShape(Canvas& c, int x0, int y0, int x1, int y1, double radius, Rgb colour) {
  c.FillRoundRect(x0, y0, x1, y1, radius, colour);
  c.FillRect(x0, (y0 + y1) / 2, x1, y1, colour);
}

void DrawBackground(const std::string& res) {
  Canvas c(87, 64);
  // Two-pixel bevel: light from the top left, shadow to the bottom right.
  BezelShape(c, 0, 0, 86, 63, 9.0, Grey(58));
  BezelShape(c, 0, 0, 85, 62, 9.0, Grey(205));
  BezelShape(c, 1, 1, 85, 62, 8.0, Grey(84));
  BezelShape(c, 2, 2, 84, 61, 7.0, Grey(120));

  for (double cx : kLensCentresX) {
    c.FillCircle(cx, kLensCentreY, kRimRadius, Grey(200));
    c.FillCircle(cx, kLensCentreY, kLensRadius, kUnlitLens);
  }

  // Display window, sunk into the face behind a light grey border.
  c.FrameRect(10, 25, 76, 54, Grey(70));
  c.FrameRect(11, 26, 75, 53, Grey(195));
  c.FillRect(12, 27, 74, 52, kWindow);

  // Marks for the two click halves: lower on the left, raise on the right.
  c.TextCentred(26, 55, "-", Grey(225));
  c.TextCentred(60, 55, "+", Grey(225));
  Save(c, res, "background.bmp");
}

void DrawLamp(const std::string& res, int lens, Rgb lit, const char* name) {
  Canvas c(74, 23);
  c.FillCircle(kLensCentresX[lens], kLensCentreY, kLensRadius, lit);
  Save(c, res, name);
}

Register lamps("lamps", [](const std::string& res) {
  DrawBackground(res);
  DrawLamp(res, 0, Rgb{0, 200, 0}, "lamp_left.bmp");
  DrawLamp(res, 1, Rgb{0, 220, 0}, "lamp_middle.bmp");
  DrawLamp(res, 2, Rgb{0, 255, 0}, "lamp_right.bmp");
});
}  // namespace
