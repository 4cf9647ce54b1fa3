#include "canvas.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace art {

Rgb Grey(int level) {
  uint8_t v = static_cast<uint8_t>(std::clamp(level, 0, 255));
  return {v, v, v};
}

Rgb Mix(Rgb a, Rgb b, double t) {
  auto m = [t](int x, int y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Set(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * width_ + x] = c;
}

Rgb Canvas::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kBlack;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, Rgb c) {
  for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
    for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) Set(x, y, c);
}

void Canvas::FrameRect(int x0, int y0, int x1, int y1, Rgb c) {
  FillRect(x0, y0, x1, y0, c);
  FillRect(x0, y1, x1, y1, c);
  FillRect(x0, y0, x0, y1, c);
  FillRect(x1, y0, x1, y1, c);
}

void Canvas::Line(double x0, double y0, double x1, double y1, Rgb c, double thickness) {
  // Every pixel whose centre lies within thickness/2 of the segment.
  double half = thickness / 2.0;
  int minx = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
  int maxx = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
  int miny = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
  int maxy = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
  double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
  for (int y = miny; y <= maxy; ++y) {
    for (int x = minx; x <= maxx; ++x) {
      double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0;
      t = std::clamp(t, 0.0, 1.0);
      double px = x0 + t * dx - x, py = y0 + t * dy - y;
      if (px * px + py * py <= half * half + 0.25) Set(x, y, c);
    }
  }
}

void Canvas::FillCircleShaded(double cx, double cy, double r,
                              const std::function<Rgb(double, double)>& shade) {
  for (int y = static_cast<int>(std::floor(cy - r)); y <= static_cast<int>(std::ceil(cy + r)); ++y)
    for (int x = static_cast<int>(std::floor(cx - r)); x <= static_cast<int>(std::ceil(cx + r));
         ++x) {
      double dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy <= r * r) Set(x, y, shade(dx, dy));
    }
}

void Canvas::FillCircle(double cx, double cy, double r, Rgb c) {
  FillCircleShaded(cx, cy, r, [c](double, double) { return c; });
}

void Canvas::Ring(double cx, double cy, double r_outer, double r_inner, Rgb c) {
  for (int y = static_cast<int>(std::floor(cy - r_outer));
       y <= static_cast<int>(std::ceil(cy + r_outer)); ++y)
    for (int x = static_cast<int>(std::floor(cx - r_outer));
         x <= static_cast<int>(std::ceil(cx + r_outer)); ++x) {
      double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 <= r_outer * r_outer && d2 >= r_inner * r_inner) Set(x, y, c);
    }
}

void Canvas::FillPolygon(const std::vector<PointF>& pts, Rgb c) {
  if (pts.size() < 3) return;
  double miny = pts[0].y, maxy = pts[0].y;
  for (auto& p : pts) {
    miny = std::min(miny, p.y);
    maxy = std::max(maxy, p.y);
  }
  for (int y = static_cast<int>(std::floor(miny)); y <= static_cast<int>(std::ceil(maxy)); ++y) {
    std::vector<double> xs;
    double sy = y;  // sample at pixel centre
    for (size_t i = 0; i < pts.size(); ++i) {
      const PointF& a = pts[i];
      const PointF& b = pts[(i + 1) % pts.size()];
      if ((a.y <= sy && b.y > sy) || (b.y <= sy && a.y > sy))
        xs.push_back(a.x + (sy - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2)
      for (int x = static_cast<int>(std::ceil(xs[i])); x <= static_cast<int>(std::floor(xs[i + 1]));
           ++x)
        Set(x, y, c);
  }
}

void Canvas::FillRoundRect(int x0, int y0, int x1, int y1, double radius, Rgb c) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      double cx = std::clamp<double>(x, x0 + radius, x1 - radius);
      double cy = std::clamp<double>(y, y0 + radius, y1 - radius);
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius + 0.25) Set(x, y, c);
    }
}

namespace {
// 5 x 7 glyphs, one byte per row, bit 4 the leftmost column.
const std::map<char, std::array<uint8_t, 7>>& Font() {
  static const std::map<char, std::array<uint8_t, 7>> font = {
      {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
      {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
      {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
      {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
      {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
      {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
      {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
      {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
      {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
      {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
      {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
      {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
      {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
      {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
      {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
      {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
      {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
      {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
      {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
      {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
      {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
      {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
      {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
      {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
      {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
      {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
      {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
      {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
      {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
      {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
      {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
      {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
      {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
      {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
      {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
      {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
      {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
      {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
      {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
      {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
      {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
      {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
      {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
      {' ', {0, 0, 0, 0, 0, 0, 0}},
  };
  return font;
}
}  // namespace

int Canvas::TextWidth(const std::string& text, int scale) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
}

void Canvas::Text(int x, int y, const std::string& text, Rgb c, int scale) {
  for (char ch : text) {
    auto it = Font().find(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    if (it != Font().end()) {
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (it->second[row] & (0x10 >> col))
            FillRect(x + col * scale, y + row * scale, x + col * scale + scale - 1,
                     y + row * scale + scale - 1, c);
    }
    x += 6 * scale;
  }
}

void Canvas::TextCentred(int centre_x, int y, const std::string& text, Rgb c, int scale) {
  Text(centre_x - TextWidth(text, scale) / 2, y, text, c, scale);
}

void Canvas::TextStretched(int x, int y, int span, const std::string& text, Rgb c,
                           const std::array<int, 5>& col_widths,
                           const std::array<int, 7>& row_heights) {
  int glyph_width = 0;
  for (int w : col_widths) glyph_width += w;
  const int n = static_cast<int>(text.size());
  for (int i = 0; i < n; ++i) {
    auto it = Font().find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[i]))));
    if (it == Font().end()) continue;
    // Glyph i starts at its share of the free space, rounded to a pixel.
    const double share = n > 1 ? double(i) * (span - glyph_width) / (n - 1) : 0.0;
    const int gx = x + static_cast<int>(std::lround(share));
    for (int row = 0, py = y; row < 7; py += row_heights[row], ++row)
      for (int col = 0, px = gx; col < 5; px += col_widths[col], ++col)
        if ((it->second[row] & (0x10 >> col)) && col_widths[col] > 0 && row_heights[row] > 0)
          FillRect(px, py, px + col_widths[col] - 1, py + row_heights[row] - 1, c);
  }
}

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint32_t Key(Rgb c) { return (c.r << 16) | (c.g << 8) | c.b; }
}  // namespace

bool Canvas::WriteBmp(const std::string& path) const {
  // Colour table: pure black first (index 0), then colours in order of use.
  std::vector<Rgb> palette = fixed_palette_;
  std::map<uint32_t, int> index;
  if (palette.empty()) {
    palette.push_back(kBlack);
    index[Key(kBlack)] = 0;
    for (const Rgb& c : pixels_) {
      if (index.count(Key(c))) continue;
      if (palette.size() == 256) {
        std::fprintf(stderr, "%s: more than 256 colours\n", path.c_str());
        return false;
      }
      index[Key(c)] = static_cast<int>(palette.size());
      palette.push_back(c);
    }
  } else {
    for (size_t i = palette.size(); i-- > 0;) index[Key(palette[i])] = static_cast<int>(i);
  }
  while (palette.size() < 256) palette.push_back(kBlack);
  const uint32_t stride = (width_ + 3) & ~3u;
  const uint32_t bits_offset = 14 + 40 + 256 * 4;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, bits_offset + stride * height_);
  Put32(out, 0);
  Put32(out, bits_offset);
  Put32(out, 40);
  Put32(out, width_);
  Put32(out, height_);
  Put16(out, 1);
  Put16(out, 8);
  Put32(out, 0);  // BI_RGB: uncompressed
  Put32(out, stride * height_);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 256);
  Put32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = height_ - 1; y >= 0; --y) {  // bottom-up rows
    for (int x = 0; x < width_; ++x) {
      auto it = index.find(Key(Get(x, y)));
      if (it == index.end()) {
        std::fprintf(stderr, "%s: colour not in the fixed palette\n", path.c_str());
        return false;
      }
      out.push_back(static_cast<uint8_t>(it->second));
    }
    for (uint32_t pad = width_; pad < stride; ++pad) out.push_back(0);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<ArtSet>& Registry() {
  static std::vector<ArtSet> registry;
  return registry;
}

void Save(const Canvas& canvas, const std::string& res_dir, const std::string& name) {
  std::string path = res_dir + "/" + name;
  if (!canvas.WriteBmp(path)) {
    std::fprintf(stderr, "failed to write %s\n", path.c_str());
    std::exit(1);
  }
  std::printf("wrote %s (%d x %d)\n", path.c_str(), canvas.width(), canvas.height());
}

}  // namespace art
