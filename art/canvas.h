// A small drawing surface for the gauge bitmaps: true-colour while drawing,
// written out as an uncompressed 8-bit Windows bitmap with a colour table.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
Rgb Grey(int level);
Rgb Mix(Rgb a, Rgb b, double t);  // t = 0 gives a, 1 gives b

struct PointF {
  double x, y;
};

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill = kBlack);

  int width() const { return width_; }
  int height() const { return height_; }
  void Set(int x, int y, Rgb c);
  Rgb Get(int x, int y) const;

  // Rectangles are inclusive of both corners.
  void FillRect(int x0, int y0, int x1, int y1, Rgb c);
  void FrameRect(int x0, int y0, int x1, int y1, Rgb c);
  void Line(double x0, double y0, double x1, double y1, Rgb c, double thickness = 1.0);
  // Circles take a centre and radius in pixel units; a pixel is inside when
  // its centre is.
  void FillCircle(double cx, double cy, double r, Rgb c);
  void Ring(double cx, double cy, double r_outer, double r_inner, Rgb c);
  // Fills with a colour chosen per pixel (gradients, shading).
  void FillCircleShaded(double cx, double cy, double r,
                        const std::function<Rgb(double dx, double dy)>& shade);
  void FillPolygon(const std::vector<PointF>& points, Rgb c);
  void FillRoundRect(int x0, int y0, int x1, int y1, double radius, Rgb c);

  // 5 x 7 capitals, digits and a few signs; each glyph advances 6 * scale.
  void Text(int x, int y, const std::string& text, Rgb c, int scale = 1);
  static int TextWidth(const std::string& text, int scale = 1);
  void TextCentred(int centre_x, int y, const std::string& text, Rgb c, int scale = 1);
  // The same glyphs drawn larger cell by cell: glyph column i is
  // col_widths[i] pixels wide and glyph row j row_heights[j] pixels tall.
  // The glyphs are spread evenly so the text spans exactly `span` pixels
  // from x (a single glyph starts at x).
  void TextStretched(int x, int y, int span, const std::string& text, Rgb c,
                     const std::array<int, 5>& col_widths, const std::array<int, 7>& row_heights);

  // Uses this colour table instead of one built from the pixels' colours.
  void UsePalette(const std::vector<Rgb>& palette) { fixed_palette_ = palette; }
  bool WriteBmp(const std::string& path) const;

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
  std::vector<Rgb> fixed_palette_;
};

// Each gauge's drawing registers itself under its folder name.
struct ArtSet {
  std::string folder;  // gauges/<folder>/res
  std::function<void(const std::string& res_dir)> draw;
};
std::vector<ArtSet>& Registry();
struct Register {
  Register(const std::string& folder, std::function<void(const std::string&)> draw) {
    Registry().push_back({folder, std::move(draw)});
  }
};

// Writes canvas to res_dir/name, stopping the generator on failure.
void Save(const Canvas& canvas, const std::string& res_dir, const std::string& name);

}  // namespace art
