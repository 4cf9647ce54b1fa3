// The bench window: one gauge drawn at a whole-number zoom and updated by a
// timer at the simulator's frame rate; left clicks go through the gauge's
// mouse list, the cursor follows the area under it, the areas can be
// outlined, the variables the gauge has read are listed with editable values,
// and every event sent scrolls by in a log (and, with --log, into a file).
#include "window.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "actions.h"
#include "host.h"
#include "sim_ids.h"

namespace bench {
namespace {

constexpr UINT kFrameMs = 55;  // the simulator updates gauges about 18 times a second
constexpr UINT_PTR kFrameTimer = 1;
constexpr int kMargin = 8;
constexpr int kPanelWidth = 250;
constexpr int kRowHeight = 24;
constexpr int kLogHeight = 170;
constexpr int kMinGaugeAreaWidth = 380;
constexpr int kOutlineCheckId = 100;
constexpr int kFirstEditId = 1000;

// Names of the variables, for the side panel (the numbers live in sim_ids.h).
const std::map<uint32_t, const char*>& VariableNames() {
  static const std::map<uint32_t, const char*> names = {
      {var::kSetValueSource, "readout source"},
      {var::kLampSource, "lamp source"},
      {var::kPanelLights, "panel lights"},
      {var::kStrobeLights, "strobe lights"},
      {var::kLandingLights, "landing lights"},
      {var::kGlideslopeDeviation, "GS deviation"},
      {var::kGlideslopeStatus, "GS status"},
      {var::kSelectedCourse, "course"},
      {var::kSpoilerDeployCondition, "deploy cond."},
      {var::kAirspeed, "airspeed kt"},
      {var::kMachSpeed, "Mach speed"},
      {var::kLatitude, "latitude"},
      {var::kLongitude, "longitude"},
      {var::kAltitude, "altitude m"},
      {var::kHeading, "heading"},
      {var::kMagneticVariation, "mag. variation"},
      {var::kApMaster, "AP master"},
      {var::kApWingLeveler, "wing leveler"},
      {var::kApNavHold, "NAV hold"},
      {var::kApHeadingHold, "HDG hold"},
      {var::kApHeadingTarget, "HDG target"},
      {var::kApAltitudeHold, "ALT hold"},
      {var::kApAltitudeTarget, "ALT target"},
      {var::kApApproachHold, "APR hold"},
      {var::kApLocalizerHold, "LOC hold"},
      {var::kApBackCourseHold, "BC hold"},
      {var::kApYawDamper, "yaw damper"},
      {var::kApAirspeedHold, "IAS hold"},
      {var::kApAirspeedTarget, "IAS target"},
      {var::kApMachHold, "Mach hold"},
      {var::kApMachTarget, "Mach target"},
      {var::kApVerticalSpeedTarget, "V/S target"},
      {var::kAutothrottleArm, "A/T arm"},
      {var::kClimbRateSelect, "climb rate sel."},
      {var::kFlapPosition, "flaps"},
      {var::kWindSpeed, "wind speed"},
      {var::kWindDirection, "wind direction"},
  };
  return names;
}

struct Options {
  std::string module;
  std::string log_file;
  int zoom = 0;  // 0: chosen from the gauge's width
  int exit_after_s = 0;
};

struct VariableRow {
  uint32_t id;
  HWND label;
  HWND edit;
  std::string shown;
};

struct WindowState {
  Host* host = nullptr;
  Options options;
  HWND window = nullptr;
  HWND outline_check = nullptr;
  HWND vars_title = nullptr;
  HWND log_title = nullptr;
  HWND log = nullptr;
  HFONT font = nullptr;
  HCURSOR increase_cursor = nullptr;
  HCURSOR decrease_cursor = nullptr;
  FILE* log_file = nullptr;
  Picture picture;
  int zoom = 1;
  bool outline = false;
  size_t events_logged = 0;
  size_t violations_logged = 0;
  uint64_t frames = 0;
  std::vector<VariableRow> rows;
  WNDPROC edit_proc = nullptr;
};

WindowState* g_state = nullptr;

RECT GaugeRect(const WindowState& s) {
  return RECT{kMargin, kMargin, kMargin + s.picture.width * s.zoom,
              kMargin + s.picture.height * s.zoom};
}

int GaugeAreaWidth(const WindowState& s) {
  int w = s.picture.width * s.zoom;
  return w < kMinGaugeAreaWidth ? kMinGaugeAreaWidth : w;
}

int PanelX(const WindowState& s) { return kMargin + GaugeAreaWidth(s) + 2 * kMargin; }

// ---- cursors: an up and a down arrow drawn as monochrome masks ----

bool InArrow(int x, int y) {
  if (y < 0 || y > 27 || x < 0 || x > 31) return false;
  if (y < 12) return x >= 15 - y && x <= 16 + y;  // head
  return x >= 12 && x <= 19;                      // shaft
}

HCURSOR MakeArrowCursor(bool up) {
  BYTE and_mask[32 * 4], xor_mask[32 * 4];
  for (int row = 0; row < 32; ++row) {
    int y = up ? row : 31 - row;  // the down arrow is the up arrow upside down
    for (int x = 0; x < 32; ++x) {
      bool inside = InArrow(x, y);
      bool edge = inside && !(InArrow(x - 1, y) && InArrow(x + 1, y) && InArrow(x, y - 1) &&
                              InArrow(x, y + 1));
      int byte = row * 4 + x / 8;
      BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
      if (x % 8 == 0) and_mask[byte] = xor_mask[byte] = 0;
      if (!inside) and_mask[byte] |= bit;          // transparent
      if (inside && !edge) xor_mask[byte] |= bit;  // white fill, black edge
    }
  }
  return CreateCursor(GetModuleHandleA(nullptr), 16, up ? 0 : 31, 32, 32, and_mask, xor_mask);
}

// The child area under gauge pixel (x, y): the first in list order, as a
// click would find it.
const MouseRect* AreaAt(Host& host, int x, int y) {
  if (!host.mouse_list() || !host.mouse_registered()) return nullptr;
  for (MouseRect* r = host.mouse_list(); r->kind != RectListEnd; ++r) {
    if (r->kind != RectChild) continue;
    const MouseBox& b = r->box;
    if (x >= b.x && y >= b.y && x < b.x + b.width && y < b.y + b.height) return r;
  }
  return nullptr;
}

// ---- the log ----

void AppendLog(WindowState& s, const std::string& line) {
  std::string text = line + "\r\n";
  int end = GetWindowTextLengthA(s.log);
  if (end > 60000) {  // keep the control small: drop the oldest half
    SendMessageA(s.log, EM_SETSEL, 0, end / 2);
    SendMessageA(s.log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
    end = GetWindowTextLengthA(s.log);
  }
  SendMessageA(s.log, EM_SETSEL, end, end);
  SendMessageA(s.log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(s.log, EM_SCROLLCARET, 0, 0);
  if (s.log_file) {
    std::fprintf(s.log_file, "%s\n", line.c_str());
    std::fflush(s.log_file);
  }
}

void LogNewEvents(WindowState& s) {
  const auto& events = s.host->events();
  for (; s.events_logged < events.size(); ++s.events_logged) {
    const SentEvent& e = events[s.events_logged];
    char line[128];
    std::snprintf(line, sizeof line, "frame %llu: event 0x%X value %ld (%s)",
                  static_cast<unsigned long long>(s.frames), e.id, static_cast<long>(e.value),
                  e.from_host ? "host, from the area" : "module");
    AppendLog(s, line);
  }
  const auto& violations = s.host->violations();
  for (; s.violations_logged < violations.size(); ++s.violations_logged)
    AppendLog(s, "VIOLATION: " + violations[s.violations_logged]);
}

// ---- the variables panel ----

std::string FormatValue(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

LRESULT CALLBACK EditProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp) {
  WindowState& s = *g_state;
  if (msg == WM_KEYDOWN && wp == VK_RETURN) {
    char text[64] = {};
    GetWindowTextA(edit, text, sizeof text);
    double value;
    auto id = static_cast<uint32_t>(GetWindowLongPtrA(edit, GWLP_USERDATA));
    if (ParseDouble(text, &value)) {
      s.host->sim().Set(id, value);
      char line[96];
      std::snprintf(line, sizeof line, "set variable 0x%X = %s", id, text);
      AppendLog(s, line);
    } else {
      MessageBeep(0);
    }
    SetFocus(s.window);  // lets the value follow the simulation again
    return 0;
  }
  if (msg == WM_CHAR && (wp == '\r' || wp == '\n')) return 0;  // no beep on Enter
  return CallWindowProcA(s.edit_proc, edit, msg, wp, lp);
}

void ResizeToContent(WindowState& s) {
  int gauge_bottom = GaugeRect(s).bottom;
  int log_top = gauge_bottom + kMargin + 20;
  int width = PanelX(s) + kPanelWidth + kMargin;
  int panel_bottom = 56 + static_cast<int>(s.rows.size()) * kRowHeight + kMargin;
  int log_bottom = log_top + kLogHeight + kMargin;
  int height = panel_bottom > log_bottom ? panel_bottom : log_bottom;
  MoveWindow(s.log_title, kMargin, gauge_bottom + kMargin, 200, 18, TRUE);
  MoveWindow(s.log, kMargin, log_top, GaugeAreaWidth(s), kLogHeight, TRUE);
  RECT r{0, 0, width, height};
  DWORD style = static_cast<DWORD>(GetWindowLongA(s.window, GWL_STYLE));
  AdjustWindowRect(&r, style, FALSE);
  SetWindowPos(s.window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER);
}

// Adds a row for each variable the gauge has read since the last call.
void SyncVariableRows(WindowState& s) {
  const std::set<uint32_t>& read = s.host->variables_read();
  if (read.size() != s.rows.size()) {
    for (VariableRow& row : s.rows) {
      DestroyWindow(row.label);
      DestroyWindow(row.edit);
    }
    s.rows.clear();
    int x = PanelX(s), y = 56, n = 0;
    for (uint32_t id : read) {
      auto name = VariableNames().find(id);
      char label[64];
      std::snprintf(label, sizeof label, "0x%X %s", id,
                    name == VariableNames().end() ? "" : name->second);
      HWND l = CreateWindowA("STATIC", label, WS_CHILD | WS_VISIBLE, x, y + 3, 130, 18, s.window,
                             nullptr, nullptr, nullptr);
      HWND e = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                               x + 132, y, kPanelWidth - 136, 21, s.window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstEditId + n)),
                               nullptr, nullptr);
      SendMessageA(l, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), TRUE);
      SendMessageA(e, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), TRUE);
      SetWindowLongPtrA(e, GWLP_USERDATA, static_cast<LONG_PTR>(id));
      s.edit_proc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(e, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
      s.rows.push_back({id, l, e, ""});
      y += kRowHeight;
      ++n;
    }
    ResizeToContent(s);
  }
  HWND focus = GetFocus();
  for (VariableRow& row : s.rows) {
    if (row.edit == focus) continue;  // being typed into
    std::string text = FormatValue(s.host->sim().Get(row.id));
    if (text != row.shown) {
      SetWindowTextA(row.edit, text.c_str());
      row.shown = text;
    }
  }
}

// ---- drawing ----

COLORREF OutlineColour(int32_t cursor) {
  switch (cursor) {
    case 1:
      return RGB(60, 220, 60);  // raises a value
    case 2:
      return RGB(240, 70, 70);  // lowers a value
    case 5:
      return RGB(255, 220, 0);  // button or toggle
    default:
      return RGB(0, 200, 255);
  }
}

void PaintGauge(WindowState& s, HDC dc) {
  RECT g = GaugeRect(s);
  int w = g.right - g.left, h = g.bottom - g.top;
  if (w <= 0 || h <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old_bmp = SelectObject(mem, bmp);
  std::vector<uint32_t> bgrx(s.picture.pixels.size());
  for (size_t i = 0; i < bgrx.size(); ++i) {
    const Rgb8& c = s.picture.pixels[i];
    bgrx[i] = (static_cast<uint32_t>(c.r) << 16) | (c.g << 8) | c.b;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = s.picture.width;
  bi.bmiHeader.biHeight = -s.picture.height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(mem, COLORONCOLOR);  // whole pixels, no smoothing
  StretchDIBits(mem, 0, 0, w, h, 0, 0, s.picture.width, s.picture.height, bgrx.data(), &bi,
                DIB_RGB_COLORS, SRCCOPY);
  if (s.outline && s.host->mouse_list() && s.host->mouse_registered()) {
    SelectObject(mem, GetStockObject(NULL_BRUSH));
    for (MouseRect* r = s.host->mouse_list(); r->kind != RectListEnd; ++r) {
      if (r->kind != RectChild) continue;
      HPEN pen = CreatePen(PS_SOLID, 1, OutlineColour(r->cursor));
      HGDIOBJ old_pen = SelectObject(mem, pen);
      const MouseBox& b = r->box;
      Rectangle(mem, b.x * s.zoom, b.y * s.zoom, (b.x + b.width) * s.zoom,
                (b.y + b.height) * s.zoom);
      SelectObject(mem, old_pen);
      DeleteObject(pen);
    }
  }
  BitBlt(dc, g.left, g.top, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old_bmp);
  DeleteObject(bmp);
  DeleteDC(mem);
}

void RunFrame(WindowState& s) {
  s.host->Frame();
  ++s.frames;
  s.picture = s.host->Compose();
  RECT g = GaugeRect(s);
  InvalidateRect(s.window, &g, FALSE);
  LogNewEvents(s);
  SyncVariableRows(s);
  if (s.options.exit_after_s > 0 && s.frames * kFrameMs >= s.options.exit_after_s * 1000ull)
    DestroyWindow(s.window);
}

void ClickAt(WindowState& s, int wx, int wy) {
  RECT g = GaugeRect(s);
  if (wx < g.left || wy < g.top || wx >= g.right || wy >= g.bottom) return;
  int x = (wx - g.left) / s.zoom, y = (wy - g.top) / s.zoom;
  bool taken = s.host->Click(x, y);
  char line[96];
  std::snprintf(line, sizeof line, "click at gauge (%d, %d)%s", x, y,
                taken ? "" : ": no area there");
  AppendLog(s, line);
  LogNewEvents(s);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  WindowState* s = g_state;
  switch (msg) {
    case WM_TIMER:
      if (wp == kFrameTimer) RunFrame(*s);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintGauge(*s, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      ClickAt(*s, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_SETCURSOR: {
      if (LOWORD(lp) != HTCLIENT || reinterpret_cast<HWND>(wp) != hwnd) break;
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(hwnd, &p);
      RECT g = GaugeRect(*s);
      const MouseRect* area = nullptr;
      if (PtInRect(&g, p))
        area = AreaAt(*s->host, (p.x - g.left) / s->zoom, (p.y - g.top) / s->zoom);
      HCURSOR cursor = LoadCursor(nullptr, IDC_ARROW);
      if (area && area->cursor == 5) cursor = LoadCursor(nullptr, IDC_HAND);
      if (area && area->cursor == 1) cursor = s->increase_cursor;
      if (area && area->cursor == 2) cursor = s->decrease_cursor;
      SetCursor(cursor);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == kOutlineCheckId && HIWORD(wp) == BN_CLICKED) {
        s->outline = SendMessageA(s->outline_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
        RECT g = GaugeRect(*s);
        InvalidateRect(hwnd, &g, FALSE);
        SetFocus(hwnd);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (wp == 'A') {  // the same as the checkbox
        s->outline = !s->outline;
        SendMessageA(s->outline_check, BM_SETCHECK, s->outline ? BST_CHECKED : BST_UNCHECKED, 0);
        RECT g = GaugeRect(*s);
        InvalidateRect(hwnd, &g, FALSE);
        return 0;
      }
      if (wp == VK_ESCAPE) {
        DestroyWindow(hwnd);
        return 0;
      }
      break;
    case WM_DESTROY:
      KillTimer(hwnd, kFrameTimer);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int Usage() {
  std::fprintf(stderr,
               "usage: gaugebench window MODULE.gau [--zoom N] [--companion-dir DIR]\n"
               "                         [--log FILE] [--exit-after SECONDS]\n");
  return 2;
}

bool ParseWindowOptions(int argc, char** argv, Options* o) {
  if (argc < 3) return false;
  o->module = argv[2];
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--zoom") {
      o->zoom = std::atoi(v.c_str());
      if (o->zoom < 1 || o->zoom > 16) return false;
    } else if (a == "--companion-dir") {
      SetDllDirectoryA(v.c_str());  // where the GPS finds its companion library
    } else if (a == "--log") {
      o->log_file = v;
    } else if (a == "--exit-after") {
      o->exit_after_s = std::atoi(v.c_str());
      if (o->exit_after_s < 1) return false;
    } else {
      return false;
    }
  }
  return true;
}

int AutoZoom(int width) {
  int zoom = width > 0 ? 600 / width : 1;
  return zoom < 1 ? 1 : zoom > 4 ? 4 : zoom;
}

HWND CreateMainWindow(WindowState& s, const std::string& title) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "GaugeBenchWindow";
  RegisterClassA(&wc);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HWND hwnd = CreateWindowA("GaugeBenchWindow", title.c_str(), style, 40, 40, 400, 300, nullptr,
                            nullptr, wc.hInstance, nullptr);
  s.window = hwnd;
  int x = PanelX(s);
  auto child = [&](const char* cls, const char* text, DWORD extra, int cx, int cy, int w, int h,
                   int id) {
    HWND c =
        CreateWindowA(cls, text, WS_CHILD | WS_VISIBLE | extra, cx, cy, w, h, hwnd,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), TRUE);
    return c;
  };
  s.outline_check = child("BUTTON", "Outline the mouse areas (A)", BS_AUTOCHECKBOX, x, kMargin,
                          kPanelWidth, 20, kOutlineCheckId);
  s.vars_title = child("STATIC", "Variables read (Enter applies):", 0, x, 34, kPanelWidth, 18, 0);
  s.log_title = child("STATIC", "Events sent:", 0, kMargin, 0, 200, 18, 0);
  s.log = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kMargin, 0,
      GaugeAreaWidth(s), kLogHeight, hwnd, nullptr, wc.hInstance, nullptr);
  SendMessageA(s.log, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
  ResizeToContent(s);
  return hwnd;
}

}  // namespace

int WindowMain(int argc, char** argv) {
  WindowState s;
  if (!ParseWindowOptions(argc, argv, &s.options)) return Usage();
  Host host;
  std::string error;
  if (!StartGauge(host, s.options.module, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  s.host = &host;
  g_state = &s;
  host.Frame();
  s.frames = 1;
  s.picture = host.Compose();
  s.zoom = s.options.zoom ? s.options.zoom : AutoZoom(s.picture.width);
  if (!s.options.log_file.empty()) {
    s.log_file = std::fopen(s.options.log_file.c_str(), "w");
    if (!s.log_file) {
      std::fprintf(stderr, "cannot write %s\n", s.options.log_file.c_str());
      return 1;
    }
  }
  s.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  s.increase_cursor = MakeArrowCursor(true);
  s.decrease_cursor = MakeArrowCursor(false);
  const char* name = host.gauge() && host.gauge()->name ? host.gauge()->name : "?";
  char title[160];
  std::snprintf(title, sizeof title, "gaugebench: %s (%d x %d) at %dx", name, s.picture.width,
                s.picture.height, s.zoom);
  HWND hwnd = CreateMainWindow(s, title);
  if (!hwnd) {
    std::fprintf(stderr, "cannot create the window\n");
    return 1;
  }
  AppendLog(s, std::string("loaded ") + s.options.module);
  LogNewEvents(s);
  SyncVariableRows(s);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  SetTimer(hwnd, kFrameTimer, kFrameMs, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  host.Kill();
  LogNewEvents(s);  // the window is gone; the file still gets the last lines
  if (s.log_file) std::fclose(s.log_file);
  g_state = nullptr;
  return 0;
}

}  // namespace bench
