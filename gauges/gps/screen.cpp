// The GPS screen: drawn with GDI into a DIB section of the host image's size
// and pixel format, then copied into the screen element's host pixels. Every
// dimension is a fraction of the image size, so the layout follows whatever
// size the host gives the image. Everything is drawn anew on each refresh
// block: the font, brushes, pens and regions live for one DrawScreen only.
#include <math.h>
#include <string.h>

#include "gauge_math.h"
#include "gauge_text.h"
#include "gps_state.h"
#include "panel_palette.h"

namespace gps {

namespace {

// Palette indices of the screen's colours.
constexpr int kBackground = 16;
constexpr int kPanel = 34;
constexpr int kButtonFace = 7;
constexpr int kButtonLabel = 0;
constexpr int kInactiveLabel = 3;
constexpr int kCaption = 255;
constexpr int kDataText = 249;
constexpr int kMarker = 250;

constexpr UINT kLabelFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
constexpr UINT kLineFormat = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;

// GDI makes no DIB this large; a bigger host image gets no surface.
constexpr uint32_t kMaxSide = 0x7FFF;

constexpr size_t kHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr size_t kColourBytes = 256 * sizeof(RGBQUAD);

// Logical palette with room for all 256 entries.
struct PanelLogPalette {
  WORD version;
  WORD count;
  PALETTEENTRY entries[256];
};

int Trunc(double v) { return gauge::TruncateToInt32(v); }
COLORREF Index(int n) { return PALETTEINDEX(n); }

uint32_t BytesPerPixel(const ScreenSurface& s) { return s.bitsPerPixel / 8; }

// GDI pads every DIB row to a multiple of four bytes.
uint32_t PaddedRowBytes(const ScreenSurface& s) {
  return ((s.width * s.bitsPerPixel + 31) / 32) * 4;
}

// The description block carries, after the header and the colour entries, a
// scratch image in GDI's padded row layout: GetDIBits writes there, and the
// rows are then copied to the host at the host's own bytes per line.
uint8_t* ScratchPixels(const ScreenSurface& s) {
  return reinterpret_cast<uint8_t*>(s.info) + kHeaderBytes + kColourBytes;
}

// 8 bits per pixel: the panel palette as blue, green, red with the fourth
// byte 2. Entries 32 and 158 to 165 are white in the palette but black here,
// so that drawing in white never lands on those entries.
void FillColourTable(RGBQUAD* table) {
  for (int i = 0; i < kPanelPaletteSize; ++i) {
    const bool blackened = i == 32 || (i >= 158 && i <= 165);
    table[i].rgbRed = blackened ? 0 : PaletteRed(i);
    table[i].rgbGreen = blackened ? 0 : PaletteGreen(i);
    table[i].rgbBlue = blackened ? 0 : PaletteBlue(i);
    table[i].rgbReserved = 2;
  }
}

void FillMasks(BITMAPINFO* info) {
  DWORD* masks = reinterpret_cast<DWORD*>(info->bmiColors);
  masks[0] = 0x7C00;  // red
  masks[1] = 0x03E0;  // green
  masks[2] = 0x001F;  // blue
}

void FillHeader(ScreenSurface& s) {
  BITMAPINFOHEADER& h = s.info->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = static_cast<LONG>(s.width);
  h.biHeight = -static_cast<LONG>(s.height);  // rows top down
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(s.bitsPerPixel);
  h.biCompression = s.bitsPerPixel == 16 ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = s.byteSize;
  h.biXPelsPerMeter = 0;
  h.biYPelsPerMeter = 0;
  h.biClrUsed = 256;
  h.biClrImportant = 0;
}

HPALETTE CreatePanelPalette() {
  PanelLogPalette p;
  p.version = 0x300;
  p.count = 256;
  for (int i = 0; i < kPanelPaletteSize; ++i) {
    p.entries[i].peRed = PaletteRed(i);
    p.entries[i].peGreen = PaletteGreen(i);
    p.entries[i].peBlue = PaletteBlue(i);
    p.entries[i].peFlags = PC_RESERVED;
  }
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&p));
}

// Dimensions from the host image record; false when it describes no image.
bool TakeDimensions(const ImageRecord& image, ScreenSurface& s) {
  if (image.bytes_per_line == 0 || image.byte_size == 0) return false;
  s.bitsPerPixel = (image.format == 2 || image.format == 3) ? 16 : 8;
  s.width = image.bytes_per_line / BytesPerPixel(s);
  s.height = image.byte_size / image.bytes_per_line;
  s.byteSize = image.byte_size;
  s.lineHeight = s.height / 8;
  return s.width <= kMaxSide && s.height <= kMaxSide;
}

// ---- drawing helpers: each object made here is deleted here ----

void FillRegion(HDC dc, HRGN region, int index) {
  HBRUSH brush = CreateSolidBrush(Index(index));
  FillRgn(dc, region, brush);
  DeleteObject(brush);
  DeleteObject(region);
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// Draws `length` characters of `text` (or up to its zero, if sooner) in the
// rectangle. DrawTextExA takes a writable pointer, so the text is copied.
void DrawBounded(HDC dc, const char* text, size_t length, RECT rect, UINT format) {
  char buffer[128];
  size_t n = 0;
  while (n < length && n < sizeof buffer - 1 && text[n] != '\0') {
    buffer[n] = text[n];
    ++n;
  }
  buffer[n] = '\0';
  DrawTextExA(dc, buffer, static_cast<int>(n), &rect, format, nullptr);
}

void DrawLine(HDC dc, const char* text, int left, int top, int right, int lineHeight) {
  RECT rect;
  SetRect(&rect, left, top, right, top + lineHeight);
  DrawBounded(dc, text, strlen(text), rect, kLineFormat);
}

struct Layout {
  int w, h, lh;
  double W, H, LH;
  int LineTop(int r) const { return Trunc((r - 1) * LH + 0.5 * LH); }
  int Left() const { return Trunc(0.02 * W + 2); }
  int Right() const { return w - 10; }
};

void DrawButtons(HDC dc, const Layout& L) {
  static const char* const kLabels[5] = {"DLG", "INF", "AP", "Prev", "Next"};
  const GpsRecord& item = state.currentItem;
  const bool inactive[5] = {false, false, state.apCoupled == 0, item.mode == 0, item.mode == 0};
  const double g = Trunc(0.02 * L.W);
  const double b = Trunc((L.W - (4 * g + 2 * (0.04 * L.W))) / 5);
  HBRUSH face = CreateSolidBrush(Index(kButtonFace));
  HGDIOBJ oldBrush = SelectObject(dc, face);
  SetBkMode(dc, TRANSPARENT);
  for (int i = 0; i < 5; ++i) {
    const double x = i * (b + g);
    RECT rect;
    SetRect(&rect, Trunc(x + 0.04 * L.W), Trunc(L.H - 1.5 * L.LH), Trunc(x + 0.04 * L.W + b),
            Trunc(L.H - 0.6 * L.LH));
    HRGN region = CreateRoundRectRgn(rect.left, rect.top, rect.right, rect.bottom, 6, 6);
    FillRgn(dc, region, face);
    DeleteObject(region);
    SetTextColor(dc, Index(inactive[i] ? kInactiveLabel : kButtonLabel));
    DrawBounded(dc, kLabels[i], strlen(kLabels[i]), rect, kLabelFormat);
  }
  SelectObject(dc, oldBrush);
  DeleteObject(face);
}

// "ApAlt" shows the altitude the autopilot is coupled to, if any.
void FormatApAlt(char* out, uint32_t size) {
  const GpsRecord& c = state.currentItem;
  if (c.mode == 0 && c.coupleDirect == 1 && c.altHoldDirect == 1) {
    gauge::FormatBounded(out, size - 1, "ApAlt :%5dft.", Trunc(c.altitudeDirect));
  } else if (c.mode == 1 && c.coupleTour == 1 && c.altHoldTour == 1) {
    gauge::FormatBounded(out, size - 1, "ApAlt :%5dft.", Trunc(c.altitudeTour));
  } else {
    gauge::FormatBounded(out, size - 1, "ApAlt :%s", "None");
  }
}

void DrawTextLines(HDC dc, const Layout& L) {
  const GpsRecord& item = state.currentItem;
  const int x0 = L.Left(), right = L.Right(), lh = L.lh;
  char text[300];
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, Index(kPanel));
  SetTextColor(dc, Index(kDataText));

  // Line 1: caption, then the time to go.
  RECT rect;
  SetTextColor(dc, Index(kCaption));
  SetRect(&rect, x0, L.LineTop(1), Trunc(0.6 * L.W), L.LineTop(1) + lh);
  DrawBounded(dc, state.captionText, sizeof state.captionText, rect, kLineFormat);
  SetTextColor(dc, Index(kDataText));
  int32_t hours = 0, minutes = 0;
  if (TimeToGo(&hours, &minutes)) {
    gauge::FormatBounded(text, sizeof text - 1, "ETA:%03d:%02d", hours, minutes);
  } else {
    gauge::FormatBounded(text, sizeof text - 1, "ETA:None");
  }
  DrawLine(dc, text, Trunc(0.6 * L.W), L.LineTop(1), right, lh);

  // Line 2: where the aircraft is.
  const double lat = Read(latitudeVar);
  const double lon = Read(longitudeVar);
  gauge::FormatBounded(text, sizeof text - 1, "Cur : %s", FormatPosition(lat, lon));
  DrawLine(dc, text, x0, L.LineTop(2), right, lh);

  // Line 3: the selected item's ident (it may fill its field with no zero)
  // and the coupled altitude.
  SetRect(&rect, x0, L.LineTop(3), Trunc(0.5 * L.W), L.LineTop(3) + lh);
  DrawBounded(dc, item.ident, sizeof item.ident, rect, kLineFormat);
  FormatApAlt(text, sizeof text);
  DrawLine(dc, text, Trunc(0.5 * L.W), L.LineTop(3), right, lh);

  // Line 4: its name, bounded to its field likewise.
  SetRect(&rect, x0, L.LineTop(4), right, L.LineTop(4) + lh);
  DrawBounded(dc, item.name, sizeof item.name, rect, kLineFormat);

  // Line 5: its position.
  gauge::FormatBounded(text, sizeof text - 1, "To  : %s",
                       FormatPosition(item.latitude, item.longitude));
  DrawLine(dc, text, x0, L.LineTop(5), right, lh);

  // Line 6: heading to steer and distance to go (the scale sits between).
  gauge::FormatBounded(text, sizeof text - 1, "HD :%03d", Trunc(ceil(state.steerHeading)));
  DrawLine(dc, text, x0, L.LineTop(6), Trunc(0.3 * L.W), lh);
  const double d = state.distanceNm;
  const int32_t whole = Trunc(d);
  gauge::FormatBounded(text, sizeof text - 1, " WT:%5d.%1dnm", whole, Trunc((d - whole) * 10));
  DrawLine(dc, text, Trunc(0.52 * L.W), L.LineTop(6), right, lh);
}

// The deviation scale: a line with five ticks, the middle one longer.
void DrawScale(HDC dc, const Layout& L) {
  const double y = L.LineTop(6);
  const int base = Trunc(y + 0.6 * L.LH);
  HPEN pen = CreatePen(PS_SOLID, 1, Index(kDataText));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Line(dc, Trunc(0.3 * L.W), base, Trunc(0.5 * L.W), base);
  for (int k = 0; k < 5; ++k) {
    const int x = Trunc(0.3 * L.W + 0.2 * L.W / 4 * k);
    Line(dc, x, base, x, Trunc(y + (k == 2 ? 0.9 : 0.8) * L.LH));
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// The marker stands on the middle tick when the aircraft heads for the
// steering heading and reaches the outer ticks at 15 degrees either way. The
// wrap-around uses 361, as the instrument always has. A deviation that is
// no number (a NaN heading) shows no marker rather than a centred one.
void DrawMarker(HDC dc, const Layout& L) {
  double d = state.steerHeading - Read(headingVar);
  if (d > 180) d = -(361 - d);
  if (d < -180) d = d + 361;
  if (!(d > -15 && d < 15)) return;
  const int n = Trunc(d);
  const double y = L.LineTop(6);
  const int x = Trunc(0.4 * L.W + 0.1 * L.W / 15 * n);
  HPEN pen = CreatePen(PS_SOLID, 1, Index(kMarker));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Line(dc, x, Trunc(y + 0.55 * L.LH), x, Trunc(y + 0.1 * L.LH));
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// GetDIBits writes rows padded to four bytes; the host's rows are its own
// bytes per line (173 for the 8-bit screen). The rows go through the scratch
// image and are copied one by one, never past the host's byte size.
void CopyToHost(const ScreenSurface& s, const ImageRecord& image) {
  uint8_t* scratch = ScratchPixels(s);
  const UINT usage = s.bitsPerPixel == 8 ? DIB_PAL_COLORS : DIB_RGB_COLORS;
  const int rows = GetDIBits(s.dc, s.bitmap, 0, s.height, scratch, s.info, usage);
  if (rows <= 0 || !image.pixels || image.bytes_per_line == 0) return;
  const uint32_t padded = PaddedRowBytes(s);
  uint32_t rowBytes = s.width * BytesPerPixel(s);
  if (rowBytes > image.bytes_per_line) rowBytes = image.bytes_per_line;
  const uint32_t byteSize = image.byte_size < s.byteSize ? image.byte_size : s.byteSize;
  for (uint32_t r = 0; r < static_cast<uint32_t>(rows) && r < s.height; ++r) {
    const uint64_t at = static_cast<uint64_t>(r) * image.bytes_per_line;
    if (at + rowBytes > byteSize) break;
    memcpy(image.pixels + at, scratch + static_cast<size_t>(r) * padded, rowBytes);
  }
}

}  // namespace

void CreateScreen(StaticImageElement* screen) {
  ScreenSurface& s = state.screen;
  if (s.dc || s.info) ReleaseScreen();  // a second initialize without a kill
  if (!screen || !screen->image) return;
  ScreenSurface fresh;
  if (!TakeDimensions(*screen->image, fresh)) return;
  s = fresh;

  s.dc = CreateCompatibleDC(nullptr);
  const size_t scratchBytes = static_cast<size_t>(PaddedRowBytes(s)) * s.height;
  s.infoMemory =
      GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kHeaderBytes + kColourBytes + scratchBytes);
  s.info = s.infoMemory ? static_cast<BITMAPINFO*>(GlobalLock(s.infoMemory)) : nullptr;
  if (!s.info) return;  // DrawScreen draws nothing without a bitmap
  FillHeader(s);
  if (s.bitsPerPixel == 8) {
    FillColourTable(s.info->bmiColors);
  } else {
    FillMasks(s.info);
  }

  void* bits = nullptr;  // the pixels are read back with GetDIBits
  s.bitmap = CreateDIBSection(s.dc, s.info, DIB_RGB_COLORS, &bits, nullptr, 0);
  s.oldBitmap = s.bitmap ? SelectObject(s.dc, s.bitmap) : nullptr;

  s.palette = CreatePanelPalette();
  s.oldPalette = SelectPalette(s.dc, s.palette, FALSE);
  RealizePalette(s.dc);
}

void DrawScreen(StaticImageElement* screen) {
  const ScreenSurface& s = state.screen;
  if (!s.dc || !s.bitmap || !s.info || (s.width == 0 && s.height == 0) || s.byteSize == 0) return;
  if (!screen || !screen->image) return;
  const Layout L{static_cast<int>(s.width),      static_cast<int>(s.height),
                 static_cast<int>(s.lineHeight), static_cast<double>(s.width),
                 static_cast<double>(s.height),  static_cast<double>(s.lineHeight)};
  HDC dc = s.dc;

  HFONT font = CreateFontA(L.lh, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_CHARACTER_PRECIS, 0, 0, 0, "Arial");
  HGDIOBJ oldFont = SelectObject(dc, font);

  FillRegion(dc, CreateRectRgn(0, 0, L.w, L.h), kBackground);
  FillRegion(dc,
             CreateRoundRectRgn(Trunc(0.02 * L.W), Trunc(0.3 * L.LH), Trunc(L.W - 0.02 * L.W),
                                Trunc(L.H - 0.3 * L.LH), 8, 8),
             kPanel);
  DrawButtons(dc, L);
  DrawTextLines(dc, L);
  DrawScale(dc, L);
  DrawMarker(dc, L);
  CopyToHost(s, *screen->image);

  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void ReleaseScreen() {
  ScreenSurface& s = state.screen;
  if (s.dc) {
    if (s.palette) SelectPalette(s.dc, s.oldPalette, FALSE);
    if (s.bitmap) SelectObject(s.dc, s.oldBitmap);
  }
  if (s.palette) DeleteObject(s.palette);
  if (s.bitmap) DeleteObject(s.bitmap);
  if (s.dc) DeleteDC(s.dc);
  if (s.infoMemory) {
    GlobalUnlock(s.infoMemory);
    GlobalFree(s.infoMemory);
  }
  s.infoMemory = nullptr;
  s.info = nullptr;
  s.palette = nullptr;
  s.oldPalette = nullptr;
  s.oldBitmap = nullptr;
  s.width = 0;
  s.height = 0;
  s.byteSize = 0;
  s.dc = nullptr;
  s.bitmap = nullptr;
}

}  // namespace gps
