// The GPS screen through the real Kestrel41.gau: the pixels GDI drew, as the
// host's image record of the screen element holds them after a refresh block
// (every 13th update), at 8 and 16 bits per pixel; the texts the gauge hands
// to DrawTextExA; and the GDI objects it makes and frees.
//
// Texts and GDI objects are observed by pointing the module's own import
// slots (DrawTextExA, CreateFontA, CreateSolidBrush, ...) at recorders that
// call the real function: the module runs unchanged.
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <set>

#include "../gauges/gps/panel_palette.h"
#include "bench_fixture.h"
#include "companion_dir.h"
#include "flight.h"
#include "sim_ids.h"

namespace {

using testing_support::CompanionDir;
using testing_support::GaugeTest;

// ---- import recorders ----

struct DrawnText {
  std::string text;
  RECT rect;
  UINT format;
  COLORREF colour;
};

struct Recorder {
  std::vector<DrawnText> texts;
  std::vector<std::vector<int>> fonts;  // height, weight, charset, out precision
  std::vector<std::string> font_faces;
  std::set<HGDIOBJ> live;  // objects the module made and has not deleted
  std::set<HGLOBAL> live_memory;
  long created = 0;
};
Recorder g_rec;

decltype(&DrawTextExA) real_DrawTextExA;
decltype(&CreateFontA) real_CreateFontA;
decltype(&CreateSolidBrush) real_CreateSolidBrush;
decltype(&CreatePen) real_CreatePen;
decltype(&CreateRectRgn) real_CreateRectRgn;
decltype(&CreateRoundRectRgn) real_CreateRoundRectRgn;
decltype(&CreateCompatibleDC) real_CreateCompatibleDC;
decltype(&CreateDIBSection) real_CreateDIBSection;
decltype(&CreatePalette) real_CreatePalette;
decltype(&DeleteObject) real_DeleteObject;
decltype(&DeleteDC) real_DeleteDC;
decltype(&GlobalAlloc) real_GlobalAlloc;
decltype(&GlobalFree) real_GlobalFree;

template <typename H>
H Made(H h) {
  if (h) {
    g_rec.live.insert(h);
    ++g_rec.created;
  }
  return h;
}

int WINAPI RecDrawTextExA(HDC dc, LPSTR text, int count, LPRECT rect, UINT format,
                          LPDRAWTEXTPARAMS params) {
  size_t n = count >= 0 ? static_cast<size_t>(count) : std::strlen(text);
  g_rec.texts.push_back({std::string(text, n), *rect, format, GetTextColor(dc)});
  return real_DrawTextExA(dc, text, count, rect, format, params);
}
HFONT WINAPI RecCreateFontA(int h, int w, int esc, int orient, int weight, DWORD italic,
                            DWORD underline, DWORD strike, DWORD charset, DWORD out, DWORD clip,
                            DWORD quality, DWORD pitch, LPCSTR face) {
  g_rec.fonts.push_back({h, w, esc, orient, weight, static_cast<int>(italic),
                         static_cast<int>(underline), static_cast<int>(strike),
                         static_cast<int>(charset), static_cast<int>(out), static_cast<int>(clip),
                         static_cast<int>(quality), static_cast<int>(pitch)});
  g_rec.font_faces.push_back(face ? face : "");
  return Made(real_CreateFontA(h, w, esc, orient, weight, italic, underline, strike, charset, out,
                               clip, quality, pitch, face));
}
HBRUSH WINAPI RecCreateSolidBrush(COLORREF c) { return Made(real_CreateSolidBrush(c)); }
HPEN WINAPI RecCreatePen(int style, int width, COLORREF c) {
  return Made(real_CreatePen(style, width, c));
}
HRGN WINAPI RecCreateRectRgn(int l, int t, int r, int b) {
  return Made(real_CreateRectRgn(l, t, r, b));
}
HRGN WINAPI RecCreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
  return Made(real_CreateRoundRectRgn(l, t, r, b, w, h));
}
HDC WINAPI RecCreateCompatibleDC(HDC dc) { return Made(real_CreateCompatibleDC(dc)); }
HBITMAP WINAPI RecCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                   HANDLE section, DWORD offset) {
  return Made(real_CreateDIBSection(dc, info, usage, bits, section, offset));
}
HPALETTE WINAPI RecCreatePalette(const LOGPALETTE* p) { return Made(real_CreatePalette(p)); }
BOOL WINAPI RecDeleteObject(HGDIOBJ h) {
  g_rec.live.erase(h);
  return real_DeleteObject(h);
}
BOOL WINAPI RecDeleteDC(HDC dc) {
  g_rec.live.erase(dc);
  return real_DeleteDC(dc);
}
HGLOBAL WINAPI RecGlobalAlloc(UINT flags, SIZE_T bytes) {
  HGLOBAL h = real_GlobalAlloc(flags, bytes);
  if (h) g_rec.live_memory.insert(h);
  return h;
}
HGLOBAL WINAPI RecGlobalFree(HGLOBAL h) {
  g_rec.live_memory.erase(h);
  return real_GlobalFree(h);
}

// Points the module's import slot for `name` at `hook`; returns the function
// it called before (null when the module does not import it).
void* PatchImport(HMODULE module, const char* name, void* hook) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name;
       ++imp) {
    DWORD names_rva = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + names_rva);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG32) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), name) != 0) continue;
      DWORD old;
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), PAGE_READWRITE, &old);
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<DWORD>(hook);
      VirtualProtect(&slots->u1.Function, sizeof(DWORD), old, &old);
      return previous;
    }
  }
  return nullptr;
}

template <typename F>
void Patch(HMODULE m, const char* name, F* real, F hook) {
  void* previous = PatchImport(m, name, reinterpret_cast<void*>(hook));
  ASSERT_NE(previous, nullptr) << "the module does not import " << name;
  *real = reinterpret_cast<F>(previous);
}

// ---- the fixture ----

constexpr int kW = 173, kH = 103;
constexpr size_t kScreenElement = 1;  // pre-order: root, screen

// Palette indices the screen draws in.
constexpr int kBackground = 16, kPanel = 34, kFace = 7, kLabel = 0, kInactive = 3, kCaption = 255,
              kText = 249, kMarker = 250;

uint16_t To555(uint32_t rgb) {
  return static_cast<uint16_t>((((rgb >> 16) & 0xFF) >> 3) << 10 | (((rgb >> 8) & 0xFF) >> 3) << 5 |
                               ((rgb & 0xFF) >> 3));
}

class GpsScreenTest : public GaugeTest {
 protected:
  // Loads the gauge (at `format`), then kills and reinstalls it with the
  // recorders in place, so the screen surface is made under observation.
  void StartScreen(uint32_t format = 0) {
    format_ = format;
    Start("Kestrel41", bench::HostOptions{format, 0});
    if (HasFatalFailure()) return;
    HMODULE m = host().module();
    Patch(m, "DrawTextExA", &real_DrawTextExA, &RecDrawTextExA);
    Patch(m, "CreateFontA", &real_CreateFontA, &RecCreateFontA);
    Patch(m, "CreateSolidBrush", &real_CreateSolidBrush, &RecCreateSolidBrush);
    Patch(m, "CreatePen", &real_CreatePen, &RecCreatePen);
    Patch(m, "CreateRectRgn", &real_CreateRectRgn, &RecCreateRectRgn);
    Patch(m, "CreateRoundRectRgn", &real_CreateRoundRectRgn, &RecCreateRoundRectRgn);
    Patch(m, "CreateCompatibleDC", &real_CreateCompatibleDC, &RecCreateCompatibleDC);
    Patch(m, "CreateDIBSection", &real_CreateDIBSection, &RecCreateDIBSection);
    Patch(m, "CreatePalette", &real_CreatePalette, &RecCreatePalette);
    Patch(m, "DeleteObject", &real_DeleteObject, &RecDeleteObject);
    Patch(m, "DeleteDC", &real_DeleteDC, &RecDeleteDC);
    Patch(m, "GlobalAlloc", &real_GlobalAlloc, &RecGlobalAlloc);
    Patch(m, "GlobalFree", &real_GlobalFree, &RecGlobalFree);
    g_rec = Recorder{};
    Play({"kill", "install"});
  }

  // Runs updates up to and including the next refresh block, with a fresh
  // record of the texts drawn in it.
  void Refresh() {
    g_rec.texts.clear();
    Frames(13);
  }

  const ImageRecord& Screen() {
    auto* e = reinterpret_cast<StaticImageElement*>(Element(kScreenElement).element);
    return *e->image;
  }

  // Whether pixel (x, y) of the host image shows palette colour `index`, at
  // the precision of the host's pixel format.
  bool Shows(int x, int y, int index) {
    const ImageRecord& img = Screen();
    const uint8_t* p = img.pixels + y * img.bytes_per_line;
    if (format_ == 2) {
      uint16_t v;
      std::memcpy(&v, p + 2 * x, 2);
      return v == To555(gps::kPanelPalette[index]);
    }
    return gps::kPanelPalette[p[x]] == gps::kPanelPalette[index];
  }
  int Count(int left, int top, int right, int bottom, int index) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) n += Shows(x, y, index);
    return n;
  }

  const DrawnText* TextAt(int left, int top) {
    for (const DrawnText& t : g_rec.texts)
      if (t.rect.left == left && t.rect.top == top) return &t;
    return nullptr;
  }
  std::string TextOfLine(int left, int top) {
    const DrawnText* t = TextAt(left, top);
    return t ? t->text
             : "<nothing drawn at " + std::to_string(left) + "," + std::to_string(top) + ">";
  }

  uint32_t format_ = 0;
};

// Both pixel formats run every pixel test.
class GpsScreenPixels : public GpsScreenTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override { StartScreen(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Formats, GpsScreenPixels, ::testing::Values(0u, 2u),
                         [](const auto& info) { return info.param == 2 ? "Bits16" : "Bits8"; });

TEST_P(GpsScreenPixels, HostImageIsUnpaddedAndBlackUntilTheFirstRefresh) {
  const ImageRecord& img = Screen();
  const uint32_t bytes = GetParam() == 2 ? 2 : 1;
  EXPECT_EQ(img.bytes_per_line, kW * bytes);  // not a multiple of 4: GDI's rows are wider
  EXPECT_EQ(img.byte_size, kW * bytes * kH);
  Frames(12);
  EXPECT_EQ(Count(0, 0, kW, kH, 0), kW * kH);
  Frames(1);  // the 13th update draws the whole screen
  EXPECT_TRUE(Shows(0, 0, kBackground));
  EXPECT_TRUE(Shows(kW - 1, kH - 1, kBackground));
  EXPECT_LT(Count(0, 0, kW, kH, 0), 200) << "black is left only in button labels";
}

TEST_P(GpsScreenPixels, PanelAndBackgroundEdgesStayStraightOnEveryRow) {
  Refresh();
  // The panel region (3, 3, 169, 99). GDI's round-cornered regions end one
  // pixel inside their right and bottom coordinates: the panel covers x 3 to
  // 167 and y 3 to 97. A copy at GDI's padded row length would shift each
  // row three pixels further, so the edges are checked down the image.
  for (int y : {8, 30, 50, 70, 82, 92}) {
    SCOPED_TRACE("row " + std::to_string(y));
    EXPECT_TRUE(Shows(2, y, kBackground));
    EXPECT_TRUE(Shows(3, y, kPanel));
    EXPECT_TRUE(Shows(167, y, kPanel));
    EXPECT_TRUE(Shows(168, y, kBackground));
    EXPECT_TRUE(Shows(kW - 1, y, kBackground));
  }
  for (int x : {20, 86, 150}) {
    SCOPED_TRACE("column " + std::to_string(x));
    EXPECT_TRUE(Shows(x, 2, kBackground));
    EXPECT_TRUE(Shows(x, 3, kPanel));
    EXPECT_TRUE(Shows(x, 97, kPanel));
    EXPECT_TRUE(Shows(x, 98, kBackground));
    EXPECT_TRUE(Shows(x, kH - 1, kBackground));
  }
  EXPECT_TRUE(Shows(3, 3, kBackground)) << "the corners are rounded";
  EXPECT_TRUE(Shows(167, 97, kBackground));
}

TEST_P(GpsScreenPixels, FiveButtonsWithRoundedFaces) {
  Refresh();
  const int lefts[] = {6, 38, 70, 102, 134};
  for (int left : lefts) {
    const int right = left + 29;
    SCOPED_TRACE("button at " + std::to_string(left));
    // Region (left, 85, right, 95): the face covers x left to right - 2 and
    // y 85 to 93, as GDI fills a round-cornered region.
    EXPECT_TRUE(Shows(left, 90, kFace));
    EXPECT_TRUE(Shows(right - 2, 90, kFace));
    EXPECT_TRUE(Shows(left - 1, 90, kPanel));
    EXPECT_TRUE(Shows(right - 1, 90, kPanel));
    EXPECT_TRUE(Shows(left + 2, 85, kFace));  // left of the centred label
    EXPECT_TRUE(Shows(left + 2, 84, kPanel));
    EXPECT_TRUE(Shows(left + 2, 93, kFace));
    EXPECT_TRUE(Shows(left + 2, 94, kPanel));
    EXPECT_TRUE(Shows(left, 85, kPanel)) << "rounded corner";
    EXPECT_GT(Count(left, 85, right, 95, kLabel) + Count(left, 85, right, 95, kInactive), 5)
        << "a label";
  }
}

TEST_P(GpsScreenPixels, TextRowsCaptionAndDataColours) {
  Set(var::kAirspeed, 120);
  Refresh();
  const int tops[] = {6, 18, 30, 42, 54, 66};
  // Data text on lines 1 (time to go), 2, 3 (altitude), 5 and 6.
  for (int r : {0, 1, 2, 4, 5}) {
    SCOPED_TRACE("line " + std::to_string(r + 1));
    EXPECT_GT(Count(5, tops[r], 163, tops[r] + 12, kText), 20);
  }
  // The caption, in white, on line 1 left of the time to go, and nowhere else.
  EXPECT_GT(Count(5, 6, 103, 18, kCaption), 20);
  EXPECT_EQ(Count(0, 18, kW, kH, kCaption), 0);
  EXPECT_EQ(Count(103, 0, kW, kH, kCaption), 0);
  // No text colour above the first line, right of x 163 or between line 6
  // and the buttons.
  EXPECT_EQ(Count(0, 0, kW, 6, kText), 0);
  EXPECT_EQ(Count(163, 0, kW, kH, kText), 0);
  EXPECT_EQ(Count(0, 78, kW, kH, kText), 0);
}

TEST_P(GpsScreenPixels, DeviationScaleLineAndTicks) {
  Set(var::kHeading, 90);  // far off the steering heading: no marker
  Refresh();
  for (int x = 51; x <= 86; ++x) EXPECT_TRUE(Shows(x, 73, kText)) << "scale at x " << x;
  EXPECT_FALSE(Shows(50, 73, kText));
  EXPECT_FALSE(Shows(87, 73, kText));
  // Ticks run from y 73 toward 75 (76 for the middle one); GDI stops a line
  // one pixel short of its end.
  for (int x : {51, 60, 69, 77, 86}) {
    SCOPED_TRACE("tick at x " + std::to_string(x));
    EXPECT_TRUE(Shows(x, 74, kText));
    EXPECT_EQ(Shows(x, 75, kText), x == 69);
    EXPECT_FALSE(Shows(x, 76, kText));
  }
  for (int x : {55, 65, 73, 82}) EXPECT_FALSE(Shows(x, 74, kText)) << "between ticks at " << x;
  EXPECT_EQ(Count(0, 0, kW, kH, kMarker), 0);
}

// With no companion library the selected item has no position, so the
// steering heading is exactly 0 (no wind) and the aircraft heading alone
// sets the deviation d = 0 - heading, wrapped with 361.
TEST_P(GpsScreenPixels, DeviationMarkerFollowsTheHeading) {
  struct Case {
    double heading;
    int x;  // -1: no marker
  } cases[] = {
      {0, 69},      // n = 0, on the middle tick
      {7.5, 61},    // n = -7
      {-7.5, 77},   // n = 7
      {14.9, 53},   // n = -14
      {-14.9, 85},  // n = 14
      {15, -1},     // exactly 15 degrees: none
      {-15, -1},    //
      {40, -1},     //
      {355, 76},    // d = -355 + 361 = 6 (with 360 it would be 5: x 74)
      {350, 81},    // d = 11 (with 360, 10: x 80)
      {346, -1},    // d = 15: none (with 360, 14: x 85)
      {340, -1},    // d = 21
      {NAN, -1},    // a heading that is no number shows nothing
      {INFINITY, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("heading " + std::to_string(c.heading));
    Set(var::kHeading, c.heading);
    Refresh();
    EXPECT_EQ(Count(0, 0, kW, kH, kMarker), c.x < 0 ? 0 : 5);
    if (c.x < 0) continue;
    // From y 72 up to, not including, y 67, standing on the scale line.
    for (int y = 68; y <= 72; ++y) EXPECT_TRUE(Shows(c.x, y, kMarker)) << "y " << y;
    EXPECT_FALSE(Shows(c.x, 67, kMarker));
    EXPECT_TRUE(Shows(c.x, 73, kText));
  }
}

TEST_P(GpsScreenPixels, LabelsOfInactiveButtons) {
  Refresh();
  // No companion: direct mode, not coupled. DLG and INF are always active;
  // AP is inactive until coupled; Prev and Next while the mode is 0.
  struct Button {
    int left;
    bool active;
  } before[] = {{6, true}, {38, true}, {70, false}, {102, false}, {134, false}};
  for (const Button& b : before) {
    SCOPED_TRACE("button at " + std::to_string(b.left));
    EXPECT_EQ(Count(b.left, 85, b.left + 29, 95, kLabel) > 0, b.active);
    EXPECT_EQ(Count(b.left, 85, b.left + 29, 95, kInactive) > 0, !b.active);
  }
  Click(80, 88);  // AP: coupled
  Refresh();
  EXPECT_GT(Count(70, 85, 99, 95, kLabel), 0);
  EXPECT_EQ(Count(70, 85, 99, 95, kInactive), 0);
  EXPECT_GT(Count(102, 85, 131, 95, kInactive), 0) << "Prev stays inactive in direct mode";
}

// ---- texts, fonts and layout, as handed to GDI ----

class GpsScreenTexts : public GpsScreenTest {
 protected:
  void SetUp() override { StartScreen(); }
};

TEST_F(GpsScreenTexts, LayoutOfTheLinesAndButtonsWithNoCompanion) {
  Set(var::kAirspeed, 0);
  Refresh();
  struct Line {
    const char* text;
    RECT rect;
    UINT format;
    COLORREF colour;
  };
  const COLORREF black = PALETTEINDEX(kLabel), grey = PALETTEINDEX(kInactive),
                 data = PALETTEINDEX(kText);
  const char* to = "To  : N  0\xB0 0' 0\" E  0\xB0 0' 0\"";
  const Line expected[] = {
      {"DLG", {6, 85, 35, 95}, 0x8025, black},
      {"INF", {38, 85, 67, 95}, 0x8025, black},
      {"AP", {70, 85, 99, 95}, 0x8025, grey},
      {"Prev", {102, 85, 131, 95}, 0x8025, grey},
      {"Next", {134, 85, 163, 95}, 0x8025, grey},
      {"ETA:None", {103, 6, 163, 18}, 0x8024, data},
      {"ApAlt :None", {86, 30, 163, 42}, 0x8024, data},
      {to, {5, 54, 163, 66}, 0x8024, data},
      {"HD :000", {5, 66, 51, 78}, 0x8024, data},
      {" WT:    0.0nm", {89, 66, 163, 78}, 0x8024, data},
  };
  for (const Line& e : expected) {
    SCOPED_TRACE(e.text);
    const DrawnText* t = TextAt(e.rect.left, e.rect.top);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->text, e.text);
    EXPECT_EQ(t->rect.right, e.rect.right);
    EXPECT_EQ(t->rect.bottom, e.rect.bottom);
    EXPECT_EQ(t->format, e.format);
    EXPECT_EQ(t->colour, e.colour);
  }
  // Caption in white, then the aircraft position line.
  const DrawnText* caption = TextAt(5, 6);
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->rect.right, 103);
  EXPECT_EQ(caption->colour, static_cast<COLORREF>(PALETTEINDEX(kCaption)));
  EXPECT_FALSE(caption->text.empty());
  EXPECT_EQ(TextOfLine(5, 18).rfind("Cur : N", 0), 0u) << TextOfLine(5, 18);
  // The font of the screen: the line height, Arial, normal weight.
  ASSERT_FALSE(g_rec.fonts.empty());
  EXPECT_EQ(g_rec.fonts.back(), (std::vector<int>{12, 0, 0, 0, 400, 0, 0, 0, 1, 2, 0, 0, 0}));
  EXPECT_EQ(g_rec.font_faces.back(), "Arial");
}

TEST_F(GpsScreenTexts, HeadingToSteerIsRoundedUp) {
  // With no companion the steering heading comes from the wind correction
  // alone: a wind from 90 at 0.45 of the speed gives asin(0.45) = 26.74.
  Set(var::kAirspeed, 100);
  Set(var::kWindSpeed, 45);
  Set(var::kWindDirection, 90);
  Refresh();
  EXPECT_EQ(TextOfLine(5, 66), "HD :027");
  Set(var::kWindSpeed, 10);  // asin(0.1) = 5.74
  Refresh();
  EXPECT_EQ(TextOfLine(5, 66), "HD :006");
}

// Texts that need a selected item: a direct destination from the companion.
struct DirectCase {
  const char* name;
  double to_lat, to_lon;  // degrees; the aircraft is at 10 N 10 E
  double airspeed;
  int altitude_hold;
  const char* hd;
  const char* wt;
  const char* eta;
  const char* ap_alt;
};

class GpsScreenDirect : public GpsScreenTest, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(GpsScreenDirect, TextsOfTheSelectedDestination) {
  const DirectCase& c = GetParam();
  char ini[512];
  std::snprintf(ini, sizeof ini,
                "[Settings]\nMode=0\nCoupleDirect=1\nAltHoldDirect=%d\nAltitudeDirect=5000\n"
                "CoupleTour=0\nAltHoldTour=0\nAltitudeTour=0\n[Direct]\nIdent=ABCDEFGH\n"
                "Name=A NAME LONGER THAN ITS TWENTY-FIVE BYTES\nLatitude=%.6f\nLongitude=%.6f\n"
                "[Tour]\nCount=0\n",
                c.altitude_hold, c.to_lat, c.to_lon);
  CompanionDir dir(ini);
  ASSERT_TRUE(dir.ok()) << "companion library not found in " << COMPANION_DIR;
  StartScreen();
  Set(var::kLatitude, bench::LatitudeToSim(10));
  Set(var::kLongitude, bench::LongitudeToSim(10));
  Set(var::kAirspeed, c.airspeed);
  Refresh();
  EXPECT_EQ(TextOfLine(5, 66), c.hd);
  EXPECT_EQ(TextOfLine(89, 66), c.wt);
  EXPECT_EQ(TextOfLine(103, 6), c.eta);
  EXPECT_EQ(TextOfLine(86, 30), c.ap_alt);
  // Ident and name are drawn within their fields, whatever the companion
  // wrote into them.
  EXPECT_LE(TextOfLine(5, 30).size(), 6u);
  EXPECT_EQ(TextOfLine(5, 30).rfind("ABCDE", 0), 0u) << TextOfLine(5, 30);
  EXPECT_LE(TextOfLine(5, 42).size(), 26u);
  EXPECT_EQ(TextOfLine(5, 42).rfind("A NAME LONGER", 0), 0u) << TextOfLine(5, 42);
  EXPECT_EQ(TextOfLine(5, 54).rfind("To  : N ", 0), 0u) << TextOfLine(5, 54);
  host().Kill();
}

INSTANTIATE_TEST_SUITE_P(Cases, GpsScreenDirect,
                         ::testing::Values(
                             // 10 N 10 E to 10 N 11 E: 59.13 nm at 89.41 degrees.
                             DirectCase{"East", 10, 11, 120, 1, "HD :090", " WT:   59.1nm",
                                        "ETA:000:29", "ApAlt : 5000ft."},
                             // Due north: 359.5, shown as 360; 50.85 nm at 100 knots is 0.508 h.
                             DirectCase{"HalfHour", 10.847, 10, 100, 0, "HD :360", " WT:   50.8nm",
                                        "ETA:000:30", "ApAlt :None"},
                             // 12.35 nm to go; at 40 knots there is no time to go.
                             DirectCase{"Slow", 10.2057, 10, 40, 1, "HD :360", " WT:   12.3nm",
                                        "ETA:None", "ApAlt : 5000ft."}),
                         [](const auto& info) { return std::string(info.param.name); });

// A companion that fills ident and name to the last byte with no zero and
// hands over NaN, infinite and huge numbers, while every variable the screen
// reads is itself NaN, infinite or huge: the texts stay within their fields
// and nothing is written outside the host's buffers.
TEST_F(GpsScreenTexts, HostileCompanionAndVariablesDrawOnlyWithinBounds) {
  host().Kill();
  ASSERT_TRUE(SetDllDirectoryA(SAMPLES_DIR "/hostile"));
  StartScreen();
  SetDllDirectoryA(nullptr);
  const uint32_t ids[] = {var::kLatitude,          var::kLongitude,     var::kHeading,
                          var::kMagneticVariation, var::kAirspeed,      var::kMachSpeed,
                          var::kWindSpeed,         var::kWindDirection, var::kAltitude,
                          var::kClimbRateSelect};
  for (double v : {double(NAN), double(INFINITY), -double(INFINITY), 1e300, -1e300}) {
    for (uint32_t id : ids) Set(id, v);
    Refresh();
    SCOPED_TRACE("variables at " + std::to_string(v));
    const std::string ident = TextOfLine(5, 30), name = TextOfLine(5, 42);
    EXPECT_TRUE(!ident.empty() && ident.size() <= 6 &&
                ident.find_first_not_of('X') == std::string::npos)
        << ident;
    EXPECT_TRUE(!name.empty() && name.size() <= 26 &&
                name.find_first_not_of('W') == std::string::npos)
        << name;
  }
}

// ---- lifetime of what the screen makes ----

TEST_F(GpsScreenTexts, EveryRefreshFreesWhatItMakesAndKillFreesTheSurface) {
  Refresh();
  const std::set<HGDIOBJ> surface = g_rec.live;
  EXPECT_EQ(surface.size(), 3u) << "the DC, the DIB section and the palette";
  EXPECT_EQ(g_rec.live_memory.size(), 1u) << "the description block";

  // As many refresh blocks as fit in about a minute under emulation (set
  // GPS_REFRESH_BLOCKS to run a fixed number, e.g. 100000).
  long blocks = 0;
  char wanted[32] = {};
  const long fixed =
      GetEnvironmentVariableA("GPS_REFRESH_BLOCKS", wanted, sizeof wanted) ? std::atol(wanted) : 0;
  PROCESS_MEMORY_COUNTERS before{}, after{};
  K32GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  const DWORD gdi_before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const long made_before = g_rec.created;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    for (int i = 0; i < 13; ++i) host().Update();  // the update routine alone
    g_rec.texts.clear();                           // the test's own records must not grow either
    host().ClearServiceLog();
    g_rec.fonts.clear();
    g_rec.font_faces.clear();
    ++blocks;
    if (fixed ? blocks >= fixed
              : std::chrono::steady_clock::now() - start > std::chrono::seconds(60))
      break;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const DWORD gdi_after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  K32GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
  std::printf(
      "%ld refresh blocks in %.1f s; %ld GDI objects made and deleted; "
      "GDI object count %lu -> %lu; private memory %lu -> %lu KB\n",
      blocks, seconds, g_rec.created - made_before, gdi_before, gdi_after,
      static_cast<unsigned long>(before.PagefileUsage / 1024),
      static_cast<unsigned long>(after.PagefileUsage / 1024));
  EXPECT_GE(g_rec.created - made_before, blocks * 12) << "each block makes its objects anew";
  EXPECT_EQ(g_rec.live, surface) << "only the surface outlives a refresh block";
  EXPECT_EQ(gdi_after, gdi_before);
  EXPECT_LT(after.PagefileUsage, before.PagefileUsage + 1024 * 1024);

  host().Kill();
  EXPECT_TRUE(g_rec.live.empty()) << g_rec.live.size() << " GDI objects left after kill";
  EXPECT_TRUE(g_rec.live_memory.empty());
  Frames(13);  // updates after kill draw nothing and write nowhere
}

// ---- host images of odd shapes ----

struct OddImage {
  const char* name;
  uint32_t format, bytes_per_line, byte_size;
};

class GpsScreenOddImage : public GpsScreenTest, public ::testing::WithParamInterface<OddImage> {};

// The host record is reshaped before the surface is made: whatever it says,
// nothing may land past its byte size (the bench's guard bytes follow the
// pixels it declares), and the picture keeps the host's line length.
TEST_P(GpsScreenOddImage, NeverWritesPastTheHostsByteSize) {
  const OddImage& c = GetParam();
  StartScreen(c.format == 2 || c.format == 3 ? 2 : 0);
  host().Kill();
  host().Install();  // a fresh record, reshaped before initialize makes the surface
  ImageRecord& img = const_cast<ImageRecord&>(Screen());
  const uint32_t capacity = img.byte_size;
  ASSERT_LE(c.byte_size, capacity);
  std::memset(img.pixels + c.byte_size, 0xA5, capacity - c.byte_size);
  img.format = c.format;
  img.bytes_per_line = c.bytes_per_line;
  img.byte_size = c.byte_size;
  host().Initialize();
  Refresh();
  for (uint32_t i = c.byte_size; i < capacity; ++i)
    ASSERT_EQ(img.pixels[i], 0xA5) << "written at byte " << i << " past " << c.byte_size;
  host().Kill();
  img.byte_size = capacity;  // as the bench made it, for its own checks
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, GpsScreenOddImage,
    ::testing::Values(OddImage{"Narrow", 0, 101, 101 * 40 + 50},  // a partial last line
                      OddImage{"OneByOne", 0, 1, 1}, OddImage{"NoFullLine", 0, 200, 150},
                      OddImage{"OddFormatCode", 7, 173, 173 * 50},
                      OddImage{"Wide16OddLine", 2, 347, 347 * 40},  // 173 pixels and a byte
                      OddImage{"Wide16OneByte", 3, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
