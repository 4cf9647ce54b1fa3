// Tandem: a round grey switch body with a bright lever tip, up or down.
#include <algorithm>

#include "canvas.h"

namespace {
using namespace art;

void DrawBody(Canvas& c, double cy) {
  c.FillCircleShaded(10.5, cy, 10.5, [](double dx, double dy) {
    double t = std::clamp((dx + dy) / 21.0 + 0.5, 0.0, 1.0);
    return Mix(Grey(200), Grey(90), t);
  });
  c.Ring(10.5, cy, 10.5, 9.5, Grey(60));
  c.FillCircle(10.5, cy, 4.0, Grey(40));
}

void DrawSwitch(const std::string& res, bool up) {
  Canvas c(22, 33);
  if (up) {
    DrawBody(c, 16.0);  // rows 7 to 25
    c.Line(10.5, 16.0, 10.5, 4.0, Grey(170), 3.0);
    c.FillCircle(10.5, 3.5, 2.6, Grey(245));  // lever tip, rows 1 to 7
    Save(c, res, "switch_up.bmp");
  } else {
    DrawBody(c, 14.5);  // rows 5 to 24
    c.Line(10.5, 14.5, 10.5, 28.0, Grey(170), 3.0);
    c.FillCircle(10.5, 29.0, 2.6, Grey(245));  // lever tip, rows 24 to 32
    Save(c, res, "switch_down.bmp");
  }
}

Register tandem("tandem", [](const std::string& res) {
  Save(Canvas(47, 60), res, "background.bmp");
  DrawSwitch(res, false);
  DrawSwitch(res, true);
});
}  // namespace
