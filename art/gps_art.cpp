// Kestrel41: the frame and the screen are both plain black; the gauge draws
// the screen itself. Their colour table is the panel palette, the colours the
// screen's pixel indices refer to.
#include <vector>

#include "../gauges/gps/panel_palette.h"
#include "canvas.h"

namespace {
using namespace art;

std::vector<Rgb> PanelColours() {
  std::vector<Rgb> colours;
  for (int i = 0; i < gps::kPanelPaletteSize; ++i)
    colours.push_back(Rgb{gps::PaletteRed(i), gps::PaletteGreen(i), gps::PaletteBlue(i)});
  return colours;
}

void SaveBlack(const std::string& res, const std::string& name) {
  Canvas c(173, 103);  // every pixel black, palette index 0
  c.UsePalette(PanelColours());
  Save(c, res, name);
}

Register gps("gps", [](const std::string& res) {
  SaveBlack(res, "frame.bmp");   // 101
  SaveBlack(res, "screen.bmp");  // 130
});
}  // namespace
