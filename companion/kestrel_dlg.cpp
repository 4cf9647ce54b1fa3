// KestrelDlg: the GPS companion library. It keeps the navigator's settings and
// its route (a tour of items with a cursor) in KestrelDlg.ini beside the
// library, a file a user edits by hand, and shows the settings dialog and the
// about box.
//
// Calling convention: every export is __stdcall (arguments on the stack,
// removed by the callee) and is exported by its plain name (KestrelDlg.def).
//   int32_t KestrelSetData(GpsRecord*)        takes over mode, coupling flags,
//                                             altitudes and the aircraft position;
//                                             saves them; the route is left alone
//   int32_t KestrelSettingDialog(GpsRecord*)  modal settings dialog; 1 on OK
//   int32_t KestrelGetData(GpsRecord*)        fills all 120 bytes: the item under
//                                             the cursor (the direct destination
//                                             in mode 0) and the settings
//   int32_t KestrelAboutDialog()              modal about box
//   int32_t KestrelGetTourItem(int32_t d)     d = 1 one item forward, 0 one back
//                                             (wrapping); returns the cursor index
// Tour indices count from 0. The file is read when the library is first used
// after loading, so the cursor starts on the first item. With
// KESTRELDLG_HEADLESS=1 in the environment both dialogs return at once.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "gps_state.h"
#include "nav_math.h"

namespace {

constexpr int kMaxItems = 512;   // items beyond these are ignored
constexpr int kMaxCount = 9999;  // highest ItemN looked at
constexpr size_t kIdentChars = sizeof(GpsRecord::ident) - 1;
constexpr size_t kNameChars = sizeof(GpsRecord::name) - 1;
constexpr char kIniName[] = "KestrelDlg.ini";

struct Item {
  char ident[kIdentChars + 1];
  char name[kNameChars + 1];
  double latitude;  // degrees
  double longitude;
};

struct Settings {
  int32_t mode;
  int32_t coupleDirect;
  int32_t altHoldDirect;
  double altitudeDirect;
  int32_t coupleTour;
  int32_t altHoldTour;
  double altitudeTour;
};

struct Library {
  HMODULE module;
  bool loaded;
  char iniPath[MAX_PATH + 16];
  Settings settings;
  Item direct;
  Item tour[kMaxItems];
  int32_t count;
  int32_t cursor;
  double aircraftLatitude;  // simulator units, as last handed over
  double aircraftLongitude;
};

Library lib;

// ---- the settings file ----

// Copies at most `chars` characters and always a zero.
void CopyCut(char* out, size_t chars, const char* in, size_t inLength) {
  size_t n = inLength < chars ? inLength : chars;
  memcpy(out, in, n);
  out[n] = '\0';
}

// Trims blanks around [begin, end) and returns the new begin; *end moves in.
const char* Trim(const char* begin, const char** end) {
  while (begin < *end && (*begin == ' ' || *begin == '\t')) ++begin;
  while (*end > begin && ((*end)[-1] == ' ' || (*end)[-1] == '\t' || (*end)[-1] == '\r')) --*end;
  return begin;
}

// A value with its "; comment" and surrounding blanks removed.
void ReadValue(const char* section, const char* key, char* out, DWORD size) {
  GetPrivateProfileStringA(section, key, "", out, size, lib.iniPath);
  if (char* comment = strchr(out, ';')) *comment = '\0';
  const char* end = out + strlen(out);
  const char* begin = Trim(out, &end);
  memmove(out, begin, end - begin);
  out[end - begin] = '\0';
}

// A decimal number in [begin, end): optional sign, digits, optional point
// and digits, nothing else. (Written out rather than strtod, which would pull
// the C runtime start-up into the library.)
bool ParseNumber(const char* begin, const char* end, double* out) {
  begin = Trim(begin, &end);
  bool negative = false;
  if (begin < end && (*begin == '-' || *begin == '+')) negative = *begin++ == '-';
  double whole = 0.0, scale = 1.0;
  int digits = 0;
  bool point = false;
  for (; begin < end; ++begin) {
    if (*begin == '.' && !point) {
      point = true;
    } else if (*begin >= '0' && *begin <= '9') {
      if (++digits > 17) return false;
      whole = whole * 10.0 + (*begin - '0');
      if (point) scale *= 10.0;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  *out = (negative ? -whole : whole) / scale;
  return true;
}

double ReadNumber(const char* section, const char* key, double fallback) {
  char text[128];
  ReadValue(section, key, text, sizeof text);
  double v;
  return ParseNumber(text, text + strlen(text), &v) ? v : fallback;
}

int32_t ReadFlag(const char* section, const char* key) {
  double v = ReadNumber(section, key, 0.0);
  return v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int32_t>(v) : 0;
}

bool ValidPosition(double latitude, double longitude) {
  return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

// IDENT,NAME,LATITUDE,LONGITUDE; the name may itself hold commas.
bool ParseItem(const char* text, Item* item) {
  const char* end = text + strlen(text);
  const char* firstComma = strchr(text, ',');
  const char* lastComma = strrchr(text, ',');
  if (!firstComma || lastComma == firstComma) return false;
  const char* latComma = lastComma - 1;
  while (latComma > firstComma && *latComma != ',') --latComma;
  if (latComma == firstComma) return false;
  double latitude, longitude;
  if (!ParseNumber(latComma + 1, lastComma, &latitude) ||
      !ParseNumber(lastComma + 1, end, &longitude) || !ValidPosition(latitude, longitude))
    return false;
  const char* identEnd = firstComma;
  const char* ident = Trim(text, &identEnd);
  if (ident == identEnd) return false;
  const char* nameEnd = latComma;
  const char* name = Trim(firstComma + 1, &nameEnd);
  CopyCut(item->ident, kIdentChars, ident, identEnd - ident);
  CopyCut(item->name, kNameChars, name, nameEnd - name);
  item->latitude = latitude;
  item->longitude = longitude;
  return true;
}

void FindIniPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(lib.module, path, sizeof path);
  if (n == 0 || n >= sizeof path) n = 0;
  path[n] = '\0';
  char* slash = strrchr(path, '\\');
  if (char* other = strrchr(path, '/'); other && (!slash || other > slash)) slash = other;
  size_t folder = slash ? static_cast<size_t>(slash - path + 1) : 0;
  memcpy(lib.iniPath, path, folder);
  memcpy(lib.iniPath + folder, kIniName, sizeof kIniName);
}

void ReadDirect() {
  Item& d = lib.direct;
  char text[256];
  ReadValue("Direct", "Ident", text, sizeof text);
  CopyCut(d.ident, kIdentChars, text, strlen(text));
  ReadValue("Direct", "Name", text, sizeof text);
  CopyCut(d.name, kNameChars, text, strlen(text));
  d.latitude = ReadNumber("Direct", "Latitude", 0.0);
  d.longitude = ReadNumber("Direct", "Longitude", 0.0);
  if (!ValidPosition(d.latitude, d.longitude)) d.latitude = d.longitude = 0.0;
}

void ReadTour() {
  lib.count = 0;
  double declared = ReadNumber("Tour", "Count", 0.0);
  // A count that is not a number (Count=nan) reads as an empty tour.
  int32_t count = !(declared >= 0)       ? 0
                  : declared > kMaxCount ? kMaxCount
                                         : static_cast<int32_t>(declared);
  for (int32_t i = 1; i <= count && lib.count < kMaxItems; ++i) {
    char key[16], text[512];
    _snprintf(key, sizeof key, "Item%d", static_cast<int>(i));
    ReadValue("Tour", key, text, sizeof text);
    if (ParseItem(text, &lib.tour[lib.count])) ++lib.count;
  }
}

void ReadSettings() {
  Settings& s = lib.settings;
  s.mode = ReadFlag("Settings", "Mode");
  s.coupleDirect = ReadFlag("Settings", "CoupleDirect");
  s.altHoldDirect = ReadFlag("Settings", "AltHoldDirect");
  s.altitudeDirect = ReadNumber("Settings", "AltitudeDirect", 0.0);
  s.coupleTour = ReadFlag("Settings", "CoupleTour");
  s.altHoldTour = ReadFlag("Settings", "AltHoldTour");
  s.altitudeTour = ReadNumber("Settings", "AltitudeTour", 0.0);
}

// Read once, at the first call after the library is loaded.
void EnsureLoaded() {
  if (lib.loaded) return;
  lib.loaded = true;
  FindIniPath();
  ReadSettings();
  ReadDirect();
  ReadTour();
  lib.cursor = 0;
}

void WriteNumber(const char* section, const char* key, const char* format, double value) {
  char text[64];
  _snprintf(text, sizeof text - 1, format, isfinite(value) ? value : 0.0);
  text[sizeof text - 1] = '\0';
  WritePrivateProfileStringA(section, key, text, lib.iniPath);
}

// Writes [Settings] and [Aircraft]; [Direct] and [Tour] are never touched.
void SaveSettings() {
  const Settings& s = lib.settings;
  WriteNumber("Settings", "Mode", "%.0f", s.mode);
  WriteNumber("Settings", "CoupleDirect", "%.0f", s.coupleDirect);
  WriteNumber("Settings", "AltHoldDirect", "%.0f", s.altHoldDirect);
  WriteNumber("Settings", "AltitudeDirect", "%.10g", s.altitudeDirect);
  WriteNumber("Settings", "CoupleTour", "%.0f", s.coupleTour);
  WriteNumber("Settings", "AltHoldTour", "%.0f", s.altHoldTour);
  WriteNumber("Settings", "AltitudeTour", "%.10g", s.altitudeTour);
  WriteNumber("Aircraft", "Latitude", "%.6f", gps::LatitudeDegrees(lib.aircraftLatitude));
  WriteNumber("Aircraft", "Longitude", "%.6f", gps::LongitudeDegrees(lib.aircraftLongitude));
}

// ---- the record ----

void CopyField(char* field, size_t size, const char* text) {
  memset(field, 0, size);
  CopyCut(field, size - 1, text, strlen(text));
}

const Item* SelectedItem() {
  if (lib.settings.mode != 1) return &lib.direct;
  return lib.count > 0 ? &lib.tour[lib.cursor] : nullptr;
}

void FillRecord(GpsRecord* r) {
  memset(r, 0, sizeof *r);
  static const Item kNone = {};
  const Item* item = SelectedItem();
  if (!item) item = &kNone;
  CopyField(r->ident, sizeof r->ident, item->ident);
  CopyField(r->name, sizeof r->name, item->name);
  // An empty destination stays at 0/0: the gauge's "no position".
  r->latitude = item->latitude == 0.0 ? 0.0 : gps::LatitudeUnits(item->latitude);
  r->longitude = item->longitude == 0.0 ? 0.0 : gps::LongitudeUnits(item->longitude);
  const Settings& s = lib.settings;
  r->coupleDirect = s.coupleDirect;
  r->altHoldDirect = s.altHoldDirect;
  r->altitudeDirect = s.altitudeDirect;
  r->coupleTour = s.coupleTour;
  r->altHoldTour = s.altHoldTour;
  r->altitudeTour = s.altitudeTour;
  r->mode = s.mode;
  r->tourIndex = lib.cursor;
  r->aircraftLatitude = lib.aircraftLatitude;
  r->aircraftLongitude = lib.aircraftLongitude;
}

void TakeSettings(const GpsRecord* r) {
  Settings& s = lib.settings;
  s.mode = r->mode;
  s.coupleDirect = r->coupleDirect;
  s.altHoldDirect = r->altHoldDirect;
  s.altitudeDirect = isfinite(r->altitudeDirect) ? r->altitudeDirect : 0.0;
  s.coupleTour = r->coupleTour;
  s.altHoldTour = r->altHoldTour;
  s.altitudeTour = isfinite(r->altitudeTour) ? r->altitudeTour : 0.0;
}

bool Headless() {
  char value[8];
  DWORD n = GetEnvironmentVariableA("KESTRELDLG_HEADLESS", value, sizeof value);
  return n == 1 && value[0] == '1';
}

// ---- dialogs, from templates built in memory ----

// Writes a DLGTEMPLATE and its items into a static buffer of words.
class TemplateWriter {
 public:
  explicit TemplateWriter(WORD* buffer, size_t words) : base_(buffer), end_(buffer + words) {}

  void Dialog(DWORD style, short cx, short cy, const char* title) {
    Dword(style | DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    count_ = at_;
    Word(0);  // item count, filled in as items are added
    Word(0), Word(0), Word(cx), Word(cy);
    Word(0);  // no menu
    Word(0);  // standard class
    Text(title);
    Word(8);  // point size
    Text("MS Shell Dlg");
  }

  void Item(WORD atom, DWORD style, short x, short y, short cx, short cy, WORD id,
            const char* text) {
    while ((reinterpret_cast<uintptr_t>(at_) & 3) != 0) Word(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word(x), Word(y), Word(cx), Word(cy), Word(id);
    Word(0xFFFF), Word(atom);
    Text(text);
    Word(0);  // no creation data
    if (count_ < end_) ++*count_;
  }

  const DLGTEMPLATE* Result() const { return reinterpret_cast<const DLGTEMPLATE*>(base_); }

 private:
  void Word(WORD w) {
    if (at_ < end_) *at_++ = w;
  }
  void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
  void Text(const char* s) {
    do Word(static_cast<unsigned char>(*s));
    while (*s++);
  }
  WORD* base_;
  WORD* end_;
  WORD* at_ = base_;
  WORD* count_ = nullptr;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
enum ControlId : WORD {
  kModeDirect = 101,
  kModeTour,
  kCoupleDirect = 201,
  kAltHoldDirect,
  kAltitudeDirect,
  kCoupleTour = 301,
  kAltHoldTour,
  kAltitudeTour,
};

alignas(4) WORD templateWords[2048];

void SetCheck(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : 0); }
bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

void SetNumber(HWND dlg, int id, double v) {
  char text[64];
  _snprintf(text, sizeof text - 1, "%.10g", v);
  text[sizeof text - 1] = '\0';
  SetDlgItemTextA(dlg, id, text);
}

double GetNumber(HWND dlg, int id, double fallback) {
  char text[64];
  GetDlgItemTextA(dlg, id, text, sizeof text);
  double v;
  return ParseNumber(text, text + strlen(text), &v) ? v : fallback;
}

INT_PTR CALLBACK SettingsProc(HWND dlg, UINT message, WPARAM wparam, LPARAM) {
  Settings& s = lib.settings;
  if (message == WM_INITDIALOG) {
    CheckRadioButton(dlg, kModeDirect, kModeTour, s.mode == 1 ? kModeTour : kModeDirect);
    SetCheck(dlg, kCoupleDirect, s.coupleDirect == 1);
    SetCheck(dlg, kAltHoldDirect, s.altHoldDirect == 1);
    SetNumber(dlg, kAltitudeDirect, s.altitudeDirect);
    SetCheck(dlg, kCoupleTour, s.coupleTour == 1);
    SetCheck(dlg, kAltHoldTour, s.altHoldTour == 1);
    SetNumber(dlg, kAltitudeTour, s.altitudeTour);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == IDOK) {
    // A mode other than 0 or 1 stays as it was unless one is picked.
    if (Checked(dlg, kModeDirect)) s.mode = 0;
    if (Checked(dlg, kModeTour)) s.mode = 1;
    s.coupleDirect = Checked(dlg, kCoupleDirect) ? 1 : 0;
    s.altHoldDirect = Checked(dlg, kAltHoldDirect) ? 1 : 0;
    s.altitudeDirect = GetNumber(dlg, kAltitudeDirect, s.altitudeDirect);
    s.coupleTour = Checked(dlg, kCoupleTour) ? 1 : 0;
    s.altHoldTour = Checked(dlg, kAltHoldTour) ? 1 : 0;
    s.altitudeTour = GetNumber(dlg, kAltitudeTour, s.altitudeTour);
    SaveSettings();
    EndDialog(dlg, 1);
    return TRUE;
  }
  if (LOWORD(wparam) == IDCANCEL) {
    EndDialog(dlg, 0);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dlg, 1);
    return TRUE;
  }
  return FALSE;
}

const DLGTEMPLATE* SettingsTemplate() {
  TemplateWriter w(templateWords, sizeof templateWords / sizeof templateWords[0]);
  const DWORD check = BS_AUTOCHECKBOX | WS_TABSTOP;
  const DWORD number = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
  w.Dialog(0, 220, 150, "GPS settings");
  w.Item(kButton, BS_GROUPBOX, 6, 4, 208, 26, 0xFFFF, "Mode");
  w.Item(kButton, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 14, 15, 100, 10, kModeDirect,
         "Direct to one destination");
  w.Item(kButton, BS_AUTORADIOBUTTON, 120, 15, 90, 10, kModeTour, "Tour along the route");
  w.Item(kButton, BS_GROUPBOX | WS_GROUP, 6, 34, 100, 90, 0xFFFF, "Direct");
  w.Item(kButton, check, 14, 46, 88, 10, kCoupleDirect, "Couple autopilot");
  w.Item(kButton, check, 14, 60, 88, 10, kAltHoldDirect, "Hold altitude");
  w.Item(kStatic, SS_LEFT, 14, 76, 88, 8, 0xFFFF, "Altitude (ft)");
  w.Item(kEdit, number, 14, 86, 60, 12, kAltitudeDirect, "");
  w.Item(kButton, BS_GROUPBOX, 114, 34, 100, 90, 0xFFFF, "Tour");
  w.Item(kButton, check, 122, 46, 88, 10, kCoupleTour, "Couple autopilot");
  w.Item(kButton, check, 122, 60, 88, 10, kAltHoldTour, "Hold altitude");
  w.Item(kStatic, SS_LEFT, 122, 76, 88, 8, 0xFFFF, "Altitude (ft)");
  w.Item(kEdit, number, 122, 86, 60, 12, kAltitudeTour, "");
  w.Item(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 108, 130, 50, 14, IDOK, "OK");
  w.Item(kButton, BS_PUSHBUTTON | WS_TABSTOP, 164, 130, 50, 14, IDCANCEL, "Cancel");
  return w.Result();
}

const DLGTEMPLATE* AboutTemplate() {
  TemplateWriter w(templateWords, sizeof templateWords / sizeof templateWords[0]);
  w.Dialog(0, 180, 70, "About the GPS");
  w.Item(kStatic, SS_CENTER, 6, 8, 168, 8, 0xFFFF, "Kestrel41 GPS navigator");
  w.Item(kStatic, SS_CENTER, 6, 20, 168, 8, 0xFFFF, "Companion library 1.0");
  w.Item(kStatic, SS_CENTER, 6, 32, 168, 8, 0xFFFF, "Route and settings: KestrelDlg.ini");
  w.Item(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 65, 50, 50, 14, IDOK, "OK");
  return w.Result();
}

}  // namespace

extern "C" {

int32_t __stdcall KestrelSetData(GpsRecord* record) {
  EnsureLoaded();
  if (!record) return 0;
  TakeSettings(record);
  lib.aircraftLatitude = record->aircraftLatitude;
  lib.aircraftLongitude = record->aircraftLongitude;
  SaveSettings();
  return 1;
}

int32_t __stdcall KestrelSettingDialog(GpsRecord*) {
  EnsureLoaded();
  if (Headless()) return 0;
  return DialogBoxIndirectParamA(lib.module, SettingsTemplate(), GetActiveWindow(), SettingsProc,
                                 0) == 1
             ? 1
             : 0;
}

int32_t __stdcall KestrelGetData(GpsRecord* record) {
  EnsureLoaded();
  if (!record) return 0;
  FillRecord(record);
  return 1;
}

int32_t __stdcall KestrelAboutDialog() {
  if (Headless()) return 0;
  DialogBoxIndirectParamA(lib.module, AboutTemplate(), GetActiveWindow(), AboutProc, 0);
  return 1;
}

int32_t __stdcall KestrelGetTourItem(int32_t direction) {
  EnsureLoaded();
  if (lib.count > 0) {
    if (direction == 1) lib.cursor = (lib.cursor + 1) % lib.count;
    if (direction == 0) lib.cursor = (lib.cursor + lib.count - 1) % lib.count;
  }
  return lib.cursor;
}

// The library's entry point: it only notes its own handle.
BOOL WINAPI KestrelDllEntry(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) lib.module = instance;
  return TRUE;
}

}  // extern "C"
