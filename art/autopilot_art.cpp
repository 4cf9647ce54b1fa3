// CORVANE: the autopilot mode control panel. A dark grey strip with white
// engraved labels, recessed black windows under the five readouts, knurled
// knobs under the knob click areas, the V/S thumb wheel, toggle levers on
// collars, the LVL housing and the L/R channel switches. Every control sits
// where the gauge's icon positions and click boxes put it.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "canvas.h"

namespace {
using namespace art;

constexpr double kPi = 3.14159265358979323846;

// ---- colours ----
const Rgb kLabel{238, 238, 232};
const Rgb kPanelTop{72, 75, 80};
const Rgb kPanelBottom{50, 52, 56};
const Rgb kGroove{30, 31, 34};        // engraved division lines: dark line ...
const Rgb kGrooveLight{94, 97, 103};  // ... with a light lower edge
const Rgb kWindow{8, 8, 10};          // window glass, under the readout's black box
const Rgb kPointer{250, 250, 245};

// Colours as the bitmap stores them: at most 256, and pure black only where a
// drawing meant the transparent surround. Dark colours are kept off pure
// black; if a drawing's shading gives too many colours, the channels are
// rounded ever coarser until the colour table fits.
void FitPalette(Canvas& c, const std::vector<bool>& surround) {
  for (int step = 1; step <= 32; step *= 2) {
    std::map<uint32_t, int> seen;
    Canvas out(c.width(), c.height());
    for (int y = 0; y < c.height(); ++y)
      for (int x = 0; x < c.width(); ++x) {
        if (surround[static_cast<size_t>(y) * c.width() + x]) continue;
        Rgb p = c.Get(x, y);
        auto q = [step](int v) {
          int r = static_cast<int>(std::lround(static_cast<double>(v) / step)) * step;
          return static_cast<uint8_t>(std::clamp(r, 4, 255));
        };
        Rgb s{q(p.r), q(p.g), q(p.b)};
        out.Set(x, y, s);
        seen[(s.r << 16) | (s.g << 8) | s.b] = 1;
      }
    if (seen.size() <= 255) {
      c = out;
      return;
    }
  }
}

// Saves with black kept only where `keep_black` says the surround is.
void SaveFitted(Canvas c, const std::string& res, const std::string& name,
                const std::function<bool(int x, int y)>& is_surround) {
  std::vector<bool> surround(static_cast<size_t>(c.width()) * c.height());
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      surround[static_cast<size_t>(y) * c.width() + x] = is_surround(x, y);
  FitPalette(c, surround);
  Save(c, res, name);
}

// Pixels that no drawing touched are the surround.
void SaveWithSurround(const Canvas& c, const std::string& res, const std::string& name) {
  SaveFitted(c, res, name, [&c](int x, int y) { return c.Get(x, y) == kBlack; });
}

double Clamp01(double t) { return std::clamp(t, 0.0, 1.0); }

// ---- shared parts ----

// A knurled rotary knob seen from above: dark body, light from the top left,
// fine ridges round the rim and a polished cap.
void Knob(Canvas& c, double cx, double cy, double r) {
  c.FillCircle(cx + 1.0, cy + 1.5, r + 0.5, Grey(22));  // shadow on the panel
  c.FillCircleShaded(cx, cy, r, [r](double dx, double dy) {
    double d = std::sqrt(dx * dx + dy * dy) / r;
    double light = Clamp01(0.5 - (dx + dy) / (2.8 * r));
    double ridge = d > 0.72 ? 0.5 + 0.5 * std::cos(std::atan2(dy, dx) * 22.0) : 0.5;
    int level = static_cast<int>(40 + 70 * light + (d > 0.72 ? 36 * (ridge - 0.5) : 0));
    return Grey(level);
  });
  c.Ring(cx, cy, r * 0.72, r * 0.64, Grey(28));
  c.FillCircleShaded(cx, cy, r * 0.64, [r](double dx, double dy) {
    double light = Clamp01(0.55 - (dx + dy) / (2.0 * r));
    return Mix(Grey(48), Grey(150), light);
  });
  c.FillCircle(cx - r * 0.22, cy - r * 0.22, r * 0.14, Grey(190));  // glint
}

// Round collar and nut a toggle lever pivots in.
void ToggleCollar(Canvas& c, double cx, double cy) {
  c.FillCircle(cx + 0.8, cy + 1.2, 7.6, Grey(24));
  c.FillCircleShaded(cx, cy, 7.5, [](double dx, double dy) {
    return Mix(Grey(200), Grey(80), Clamp01(0.5 + (dx + dy) / 15.0));
  });
  c.Ring(cx, cy, 7.5, 6.5, Grey(70));
  c.FillCircleShaded(cx, cy, 4.8, [](double dx, double dy) {
    return Mix(Grey(70), Grey(170), Clamp01(0.5 + (dx + dy) / 10.0));
  });
  c.FillCircle(cx, cy, 2.4, Grey(30));
}

// A recessed black window with a bevelled frame around the text box.
void TextWindow(Canvas& c, int x, int y, int w, int h) {
  c.FillRoundRect(x - 4, y - 4, x + w + 3, y + h + 3, 2.0, Grey(34));
  c.FillRect(x - 3, y - 3, x + w + 2, y - 2, Grey(22));  // top edge in shadow
  c.FillRect(x - 3, y - 3, x - 2, y + h + 2, Grey(22));
  c.FillRect(x - 3, y + h + 2, x + w + 2, y + h + 2, Grey(108));  // lit lower lip
  c.FillRect(x + w + 2, y - 3, x + w + 2, y + h + 2, Grey(92));
  c.FillRect(x - 1, y - 1, x + w, y + h, Grey(14));
  c.FillRect(x, y, x + w - 1, y + h - 1, kWindow);
}

// An engraved division line.
void GrooveH(Canvas& c, int x0, int x1, int y) {
  c.FillRect(x0, y, x1, y, kGroove);
  c.FillRect(x0, y + 1, x1, y + 1, kGrooveLight);
}
void GrooveV(Canvas& c, int x, int y0, int y1) {
  c.FillRect(x, y0, x, y1, kGroove);
  c.FillRect(x + 1, y0, x + 1, y1, kGrooveLight);
}

// A screw head in a panel corner.
void Screw(Canvas& c, double cx, double cy) {
  c.FillCircleShaded(cx, cy, 3.2, [](double dx, double dy) {
    return Mix(Grey(170), Grey(60), Clamp01(0.5 + (dx + dy) / 6.4));
  });
  c.Line(cx - 2.2, cy + 2.2, cx + 2.2, cy - 2.2, Grey(36), 1.0);
}

// Channel switch (L or R): grey frame, dark slot, ridged slider at the top
// (CMD) or the bottom (OFF). Fills its whole 28 x 68 box.
void ChannelSwitch(Canvas& c, int x0, int y0, bool slider_top) {
  const int w = 28, h = 68;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double t = (x + y * 0.4) / (w + h * 0.4);
      c.Set(x0 + x, y0 + y, Mix(Grey(168), Grey(96), t));
    }
  c.FrameRect(x0, y0, x0 + w - 1, y0 + h - 1, Grey(60));
  c.FillRect(x0 + 1, y0 + 1, x0 + w - 2, y0 + 1, Grey(205));
  c.FillRect(x0 + 1, y0 + 1, x0 + 1, y0 + h - 2, Grey(190));
  // The slot the slider runs in.
  c.FillRect(x0 + 5, y0 + 5, x0 + w - 6, y0 + h - 6, Grey(18));
  c.FillRect(x0 + 5, y0 + h - 6, x0 + w - 6, y0 + h - 6, Grey(120));
  c.FillRect(x0 + w - 6, y0 + 5, x0 + w - 6, y0 + h - 6, Grey(110));
  c.FillRect(x0 + 13, y0 + 9, x0 + 14, y0 + h - 10, Grey(40));  // guide rail
  // The slider.
  int sy = slider_top ? y0 + 7 : y0 + h - 7 - 18;
  c.FillRect(x0 + 7, sy + 1, x0 + w - 7, sy + 18, Grey(26));  // its shadow
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 14; ++x)
      c.Set(x0 + 7 + x, sy + y, Mix(Grey(236), Grey(150), (x + y) / 32.0));
  for (int y = 3; y < 16; y += 3) c.FillRect(x0 + 8, sy + y, x0 + 19, sy + y, Grey(110));
  c.FrameRect(x0 + 7, sy, x0 + 20, sy + 17, Grey(70));
}

// ---- the background ----

// A label block centred on x, rows y to y + 6.
void Label(Canvas& c, int centre_x, int y, const std::string& text) {
  c.TextCentred(centre_x, y, text, kLabel);
}

// White tick marks round a selector knob, one per position.
void SelectorTicks(Canvas& c, double cx, double cy, const std::vector<double>& angles_deg) {
  for (double a : angles_deg) {
    double rad = a * kPi / 180.0;
    double dx = std::cos(rad), dy = -std::sin(rad);
    c.Line(cx + dx * 19.0, cy + dy * 19.0, cx + dx * 22.5, cy + dy * 22.5, kLabel, 1.6);
  }
}

void Panel(Canvas& c) {
  for (int y = 0; y < c.height(); ++y) {
    Rgb row = Mix(kPanelTop, kPanelBottom, y / (c.height() - 1.0));
    c.FillRect(0, y, c.width() - 1, y, row);
  }
  // Bevelled edge of the whole plate.
  c.FillRect(0, 0, c.width() - 1, 0, Grey(120));
  c.FillRect(0, 0, 0, c.height() - 1, Grey(110));
  c.FillRect(0, c.height() - 1, c.width() - 1, c.height() - 1, Grey(24));
  c.FillRect(c.width() - 1, 0, c.width() - 1, c.height() - 1, Grey(28));
  Screw(c, 5, 5);
  Screw(c, 584, 5);
  Screw(c, 5, 117);
  Screw(c, 584, 117);
  // Section divisions: speed | altitude | heading and course | yaw and
  // lateral modes | vertical speed | wing leveler | channel engage.
  GrooveV(c, 88, 6, 52);
  GrooveV(c, 200, 4, 118);
  GrooveV(c, 283, 4, 50);
  GrooveV(c, 446, 4, 118);
  GrooveH(c, 88, 198, 55);
}

void SpeedSection(Canvas& c) {
  Label(c, 55, 5, "ATS");
  TextWindow(c, 35, 16, 40, 18);
  Knob(c, 54.0, 47.5, 12.0);
  // A/T ARM toggle (lever icon at 43, 62; pivot row 40).
  Label(c, 52, 65, "A/T ARM");
  ToggleCollar(c, 52.0, 102.5);
  c.TextCentred(27, 110, "OFF", kLabel);
  // OFF / IAS / MACH selector (knob icon at 104, 18).
  Label(c, 107, 4, "OFF");
  Label(c, 150, 6, "IAS");
  Label(c, 164, 33, "MACH");
  SelectorTicks(c, 121.5, 35.5, {125.0, 45.0, 0.0});
  c.FillCircle(122.0, 36.5, 18.5, Grey(26));
}

void AltitudeSection(Canvas& c) {
  Label(c, 159, 62, "ALT SEL");
  TextWindow(c, 121, 73, 76, 18);
  Knob(c, 160.0, 104.5, 12.0);
  // ALT SEL ON/OFF toggle (lever icon at 94, 45; pivot row 40).
  ToggleCollar(c, 103.0, 85.5);
  Label(c, 103, 58, "ON");
  Label(c, 103, 108, "OFF");
}

void HeadingSection(Canvas& c) {
  Label(c, 255, 5, "HDG");
  TextWindow(c, 235, 16, 40, 18);
  Knob(c, 255.0, 47.0, 11.0);
  // HDG ON/OFF toggle (lever icon at 207, -11; pivot row 40).
  ToggleCollar(c, 216.0, 29.5);
  Label(c, 216, 2, "ON");
  Label(c, 216, 51, "OFF");
  Label(c, 255, 60, "COURSE");
  TextWindow(c, 235, 72, 40, 18);
  Knob(c, 264.0, 103.5, 12.0);
}

void YawAndModeSection(Canvas& c) {
  Label(c, 298, 4, "OFF");
  Label(c, 340, 4, "ON");
  SelectorTicks(c, 317.5, 36.5, {125.0, 55.0});
  c.FillCircle(318.0, 37.5, 18.5, Grey(26));
  c.TextCentred(317, 57, "YAW DAMPER", kLabel);
  // NAV / APR / LOC / BC selector (knob icon at 303, 82) and its OFF.
  Label(c, 285, 108, "OFF");
  Label(c, 293, 81, "NAV");
  Label(c, 318, 67, "APR");
  Label(c, 351, 83, "LOC");
  Label(c, 356, 114, "BC");
  SelectorTicks(c, 320.5, 99.5, {180.0, 135.0, 90.0, 0.0, -45.0});
  c.FillCircle(321.0, 100.5, 18.5, Grey(26));
}

// The thumb wheel rolls in a slot between two guide lines; a pointer
// triangle on each side marks the reading line.
void VerticalSpeedSection(Canvas& c) {
  c.TextCentred(397, 4, "VERTICAL SPEED", kLabel);
  TextWindow(c, 355, 16, 75, 18);
  const int x0 = 373, x1 = 398, y0 = 47, y1 = 114;
  c.FillRect(x0 - 2, y0 - 3, x1 + 2, y1 + 3, Grey(20));  // the slot
  c.FillRect(x0 - 2, y1 + 3, x1 + 2, y1 + 3, Grey(110));
  for (int y = y0; y <= y1; ++y) {
    // The wheel's curve: bright where it faces the pilot, dark at its ends.
    double t = (y - y0) / static_cast<double>(y1 - y0) * 2.0 - 1.0;
    double face = std::sqrt(std::max(0.0, 1.0 - t * t));
    bool ridge = (y - y0) % 4 == 0;
    for (int x = x0; x <= x1; ++x) {
      double side = 1.0 - 0.35 * std::fabs((x - (x0 + x1) / 2.0) / ((x1 - x0) / 2.0));
      int level = static_cast<int>((30 + 120 * face) * side);
      if (ridge) level = level * 55 / 100;
      c.Set(x, y, Grey(std::max(level, 10)));
    }
  }
  // Guide lines and pointer triangles.
  c.FillRect(x0 - 5, y0 - 2, x0 - 5, y1 + 2, kLabel);
  c.FillRect(x1 + 5, y0 - 2, x1 + 5, y1 + 2, kLabel);
  c.FillPolygon({{x0 - 11.0, 76.5}, {x0 - 5.0, 80.5}, {x0 - 11.0, 84.5}}, kLabel);
  c.FillPolygon({{x1 + 11.0, 76.5}, {x1 + 5.0, 80.5}, {x1 + 11.0, 84.5}}, kLabel);
}

// The wing leveler toggle in its housing (lever icon at 422, 60; pivot row 40).
void LevelerSection(Canvas& c) {
  Label(c, 431, 42, "LVL");
  c.FillRoundRect(418, 52, 444, 121, 3.0, Grey(30));
  c.FillRoundRect(419, 53, 443, 120, 3.0, Grey(84));
  c.FillRoundRect(421, 55, 442, 119, 2.0, Grey(58));
  c.FillRect(421, 119, 442, 119, Grey(118));
  ToggleCollar(c, 431.0, 100.5);
  c.TextCentred(431, 58, "ON", kLabel);
}

// L and R channel switches with CMD / CWS / OFF between them.
void ChannelSection(Canvas& c) {
  c.TextCentred(495, 5, "A/P ENGAGE", kLabel);
  Label(c, 466, 28, "L");
  Label(c, 525, 28, "R");
  c.FillRect(450, 37, 483, 110, Grey(26));  // housings' shadowed recess
  c.FillRect(508, 37, 541, 110, Grey(26));
  ChannelSwitch(c, 452, 40, false);  // L: fixed in OFF
  ChannelSwitch(c, 511, 40, false);  // R housing; the icon draws its slider
  Label(c, 496, 45, "CMD");
  Label(c, 496, 71, "CWS");
  Label(c, 496, 97, "OFF");
  for (int y : {48, 74, 100}) {
    c.FillRect(485, y, 486, y, kLabel);
    c.FillRect(505, y, 506, y, kLabel);
  }
  // Right of the switches: the unit's plate.
  c.FillRoundRect(548, 40, 580, 108, 3.0, Grey(44));
  c.FillRoundRect(549, 41, 579, 107, 3.0, Grey(62));
  c.TextCentred(564, 48, "A/P", kLabel);
  c.TextCentred(564, 60, "A/T", kLabel);
  c.FillRect(556, 73, 572, 73, Grey(120));
  c.TextCentred(564, 80, "MCP", kLabel);
}

void Background(const std::string& res) {
  Canvas c(590, 123);
  Panel(c);
  SpeedSection(c);
  AltitudeSection(c);
  HeadingSection(c);
  YawAndModeSection(c);
  VerticalSpeedSection(c);
  LevelerSection(c);
  ChannelSection(c);
  // The background covers the whole gauge: nothing in it is see-through.
  SaveFitted(c, res, "background.bmp", [](int, int) { return false; });
}

// ---- icon pictures ----

// Toggle lever, 18 x 72: a chrome bat handle from the pivot (row 40) to a
// ball tip, filling rows 39 to 59 (down) or 22 to 42 (up); black elsewhere.
void Lever(const std::string& res, bool up, const std::string& name) {
  Canvas c(18, 72);
  const int first = up ? 22 : 39, last = up ? 42 : 59;
  const double pivot = up ? 42.0 : 39.0, tip = up ? 22.0 : 59.0;
  const double cx = 8.5;
  for (int y = first; y <= last; ++y) {
    double t = std::fabs(y - pivot) / std::fabs(tip - pivot);  // 0 at the pivot
    double half = 3.2 - 1.6 * t;                               // the handle tapers ...
    double dt = std::fabs(y - (tip + (up ? 3.5 : -3.5)));
    if (dt < 3.5) half = std::max(half, std::sqrt(3.5 * 3.5 - dt * dt) + 0.2);  // ... to a ball
    for (int x = 0; x < 18; ++x) {
      double u = (x - cx) / half;
      if (std::fabs(u) > 1.0) continue;
      // Chrome: bright streak left of the axis, dark flanks.
      double level = 120 + 120 * std::exp(-std::pow((u + 0.3) * 2.2, 2)) - 60 * std::fabs(u);
      if (up) level -= 20 * t;  // the raised tip is farther from the light
      c.Set(x, y, Grey(std::clamp(static_cast<int>(level), 40, 250)));
    }
  }
  SaveWithSurround(c, res, name);
}

// Selector knob, 35 x 35, round on black corners: a fluted skirt and a bar
// handle along the pointer, with a white index line to its tip.
void SelectorKnob(const std::string& res, double angle_deg, const std::string& name) {
  Canvas c(35, 35);
  const double cx = 17.0, cy = 17.0;
  c.FillCircleShaded(cx, cy, 17.0, [](double dx, double dy) {
    double a = std::atan2(dy, dx);
    double light = Clamp01(0.5 - (dx + dy) / 40.0);
    int level = static_cast<int>(34 + 60 * light + 10 * std::cos(a * 16.0));
    return Grey(level);
  });
  c.Ring(cx, cy, 17.0, 16.0, Grey(20));
  c.FillCircleShaded(cx, cy, 12.5, [](double dx, double dy) {
    return Mix(Grey(110), Grey(40), Clamp01(0.5 + (dx + dy) / 25.0));
  });
  double rad = angle_deg * kPi / 180.0;
  double ux = std::cos(rad), uy = -std::sin(rad);
  // The bar handle across the knob, its pointing end rounded.
  c.Line(cx - ux * 12.0, cy - uy * 12.0, cx + ux * 12.0, cy + uy * 12.0, Grey(22), 9.0);
  c.Line(cx - ux * 11.0, cy - uy * 11.0, cx + ux * 11.0, cy + uy * 11.0, Grey(72), 7.0);
  c.Line(cx - ux * 10.0 - 1, cy - uy * 10.0 - 1, cx + ux * 10.0 - 1, cy + uy * 10.0 - 1, Grey(120),
         2.0);
  c.Line(cx, cy, cx + ux * 16.0, cy + uy * 16.0, kPointer, 2.2);
  SaveWithSurround(c, res, name);
}

Register autopilot("autopilot", [](const std::string& res) {
  Background(res);
  Canvas off(28, 68), cmd(28, 68);
  ChannelSwitch(off, 0, 0, false);
  ChannelSwitch(cmd, 0, 0, true);
  SaveFitted(off, res, "r_switch_off.bmp", [](int, int) { return false; });
  SaveFitted(cmd, res, "r_switch_cmd.bmp", [](int, int) { return false; });
  Lever(res, false, "lever_down.bmp");
  Lever(res, true, "lever_up.bmp");
  SelectorKnob(res, 180.0, "mode_off.bmp");
  SelectorKnob(res, 135.0, "mode_nav.bmp");
  SelectorKnob(res, 90.0, "mode_apr.bmp");
  SelectorKnob(res, 0.0, "mode_loc.bmp");
  SelectorKnob(res, -45.0, "mode_bc.bmp");
  SelectorKnob(res, 135.0, "knob_up_left.bmp");
  SelectorKnob(res, 45.0, "knob_up_right.bmp");
  SelectorKnob(res, 0.0, "knob_right.bmp");
});

}  // namespace
