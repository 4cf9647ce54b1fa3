// Brakewell1: the HOOK title, an empty switch socket, an unlit lamp lens and
// the DEPLOY label on black; the lever thrown down and the lit red lamp.
#include <algorithm>
#include <cmath>
#include <string>

#include "canvas.h"

namespace {
using namespace art;

// Socket and lens are 36 pixels across: columns 10 to 45 and 54 to 89,
// rows 15 to 50, so their centres lie at (27.5, 32.5) and (71.5, 32.5).
constexpr double kSocketX = 27.5, kLensX = 71.5, kRoundY = 32.5, kRoundR = 18.0;

// A grey disc, lit from the top left, with a darker rim.
void GreyRound(Canvas& c, double cx, double cy, Rgb light, Rgb dark, Rgb rim) {
  c.FillCircleShaded(cx, cy, kRoundR, [=](double dx, double dy) {
    double t = std::clamp((dx + dy) / (2 * kRoundR) + 0.5, 0.0, 1.0);
    return Mix(light, dark, t);
  });
  c.Ring(cx, cy, kRoundR, kRoundR - 1.5, rim);
}

void DrawBackground(const std::string& res) {
  Canvas c(100, 67);
  // HOOK: glyphs 8 x 10 (thick outer and middle columns, thick top, middle
  // and bottom rows) spread over columns 32 to 67, rows 3 to 12.
  c.TextStretched(32, 3, 36, "HOOK", kWhite, {2, 1, 2, 1, 2}, {2, 1, 1, 2, 1, 1, 2});
  // The socket: a grey collar around an empty dark centre.
  GreyRound(c, kSocketX, kRoundY, Grey(190), Grey(95), Grey(70));
  c.FillCircle(kSocketX, kRoundY, 9.0, Grey(22));
  c.Ring(kSocketX, kRoundY, 9.0, 8.0, Grey(55));
  // The unlit lens: grey glass with a faint reflection.
  GreyRound(c, kLensX, kRoundY, Grey(150), Grey(70), Grey(60));
  c.FillCircle(kLensX - 6.0, kRoundY - 6.0, 3.0, Grey(175));
  // DEPLOY: glyphs 6 x 8 in dim grey, columns 6 to 51, rows 53 to 60.
  c.TextStretched(6, 53, 46, "DEPLOY", Grey(120), {1, 1, 2, 1, 1}, {1, 1, 1, 2, 1, 1, 1});
  Save(c, res, "background.bmp");
}

// 18 x 56, drawn at (17, 8): rows 0 to 17 stay black and the knob begins at
// row 18. Its centre (10.5, 24.5) lands on the socket's centre, and the
// shaft runs down to the last row, over the DEPLOY label.
void DrawLever(const std::string& res) {
  Canvas c(18, 56);
  const double kx = 10.5, ky = 24.5;
  c.FillPolygon({{kx - 1.5, ky}, {kx + 1.5, ky}, {kx + 2.5, 55.5}, {kx - 2.5, 55.5}}, Grey(200));
  c.Line(kx + 1.8, ky + 6.0, kx + 2.3, 55.0, Grey(120));  // shaded edge of the shaft
  c.FillCircleShaded(kx, ky, 6.6, [](double dx, double dy) {
    double t = std::clamp((dx + dy) / 13.2 + 0.5, 0.0, 1.0);
    return Mix(Grey(250), Grey(110), t);
  });
  Save(c, res, "lever.bmp");
}

// 36 x 36, drawn at (55, 16): a lit red lens centred on the unlit one
// (picture point (16.5, 16.5)), with an orange glow and a yellow highlight.
void DrawLamp(const std::string& res) {
  Canvas c(36, 36);
  const double cx = 16.5, cy = 16.5, hx = cx - 5.0, hy = cy - 5.0;
  c.FillCircleShaded(cx, cy, kRoundR, [=](double dx, double dy) {
    double edge = std::sqrt(dx * dx + dy * dy) / kRoundR;  // 0 centre, 1 rim
    double hl = std::sqrt((dx + cx - hx) * (dx + cx - hx) + (dy + cy - hy) * (dy + cy - hy));
    Rgb red = Mix(Rgb{210, 50, 50}, Rgb{140, 25, 25}, std::clamp(edge * edge, 0.0, 1.0));
    if (hl < 9.0) red = Mix(Rgb{240, 140, 40}, red, std::clamp(hl / 9.0, 0.0, 1.0));
    return red;
  });
  c.FillCircle(hx, hy, 2.5, Rgb{255, 230, 90});  // yellow highlight
  Save(c, res, "lamp.bmp");
}

Register spoilers("spoilers", [](const std::string& res) {
  DrawBackground(res);
  DrawLever(res);
  DrawLamp(res);
});
}  // namespace
