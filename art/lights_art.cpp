// Lumaris.LIGHTS: white line art on black (title, rule, three labels, ring
// bezels, OFF and ON marks) and one toggle switch drawn lever up and down.
#include <algorithm>
#include <string>

#include "canvas.h"

namespace {
using namespace art;

// Lettering is eight rows tall: the 5 x 7 glyphs with their sixth row doubled.
constexpr std::array<int, 5> kColumns{1, 1, 1, 1, 1};
constexpr std::array<int, 7> kTallRows{1, 1, 1, 1, 1, 2, 1};

// Eight-row lettering whose left column is the centre minus half its width;
// centre_twice is twice the centre column, so half-pixel centres are exact.
void Label(Canvas& c, int centre_twice, int top, const std::string& text) {
  int width = Canvas::TextWidth(text);
  c.TextStretched((centre_twice - width + 1) / 2, top, width, text, kWhite, kColumns, kTallRows);
}

// The switches sit at x 4, 62 and 120, 26 x 54 pixels, from row 22; their
// centres (and the bezels') lie at columns 16.5, 74.5, 132.5, row 47.5.
constexpr double kSwitchCentreX[] = {16.5, 74.5, 132.5};
constexpr double kBezelCentreY = 47.5;

void DrawBackground(const std::string& res) {
  Canvas c(150, 78);
  Label(c, 149, 1, "LIGHTS");          // rows 1 to 8, centred on column 74.5
  c.FillRect(5, 12, 144, 12, kWhite);  // the rule
  const char* labels[] = {"PANEL", "STROB", "LAND"};
  for (int i = 0; i < 3; ++i) {
    Label(c, static_cast<int>(kSwitchCentreX[i] * 2), 16, labels[i]);  // rows 16 to 23
    // A ring 30 pixels across: columns centre +-14.5, rows 33 to 62.
    c.Ring(kSwitchCentreX[i], kBezelCentreY, 15.0, 13.6, kWhite);
  }
  // The marks stand midway between neighbouring bezels.
  for (int i = 0; i < 2; ++i) {
    int between_twice = static_cast<int>(kSwitchCentreX[i] + kSwitchCentreX[i + 1]);
    Label(c, between_twice, 32, "OFF");  // level with the top of the rings
    Label(c, between_twice, 57, "ON");   // level with their bottom
  }
  Save(c, res, "background.bmp");
}

// The switch: a shaded round nut in the middle of a 26 x 54 picture with a
// tapered lever and a round knob towards the top (OFF) or bottom (ON).
void DrawSwitch(const std::string& res, bool lever_up, const char* name) {
  Canvas c(26, 54);
  const double cx = 12.5, cy = 25.5;
  c.FillCircleShaded(cx, cy, 9.0, [](double dx, double dy) {
    double t = std::clamp((dx + dy) / 18.0 + 0.5, 0.0, 1.0);
    return Mix(Grey(215), Grey(85), t);
  });
  c.Ring(cx, cy, 9.0, 8.0, Grey(60));
  c.FillCircle(cx, cy, 4.5, Grey(45));
  const double dir = lever_up ? -1.0 : 1.0;
  const double tip_y = cy + dir * 17.0;  // rows 8.5 (up) or 42.5 (down)
  c.FillPolygon({{cx - 1.6, cy}, {cx + 1.6, cy}, {cx + 2.6, tip_y}, {cx - 2.6, tip_y}}, Grey(190));
  c.FillCircleShaded(cx, tip_y, 3.6, [](double dx, double dy) {
    double t = std::clamp((dx + dy) / 7.2 + 0.5, 0.0, 1.0);
    return Mix(Grey(250), Grey(150), t);
  });
  Save(c, res, name);
}

Register lights("lights", [](const std::string& res) {
  DrawBackground(res);
  DrawSwitch(res, true, "switch_off.bmp");
  DrawSwitch(res, false, "switch_on.bmp");
});
}  // namespace
