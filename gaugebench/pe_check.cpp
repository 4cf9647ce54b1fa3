#include "pe_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace bench {

namespace {

constexpr uint32_t kExportDir = 0, kImportDir = 1, kRelocDir = 5, kTlsDir = 9;
constexpr uint16_t kRelocsStripped = 0x0001, kFileDll = 0x2000;
constexpr uint32_t kScnCode = 0x00000020, kScnExecute = 0x20000000;
constexpr uint16_t kSubsystemWindows = 2;
constexpr size_t kMaxEntries = 65536;  // bounds every table walk of a hostile file

struct Section {
  uint32_t rva, virtual_size, raw_offset, raw_size, flags;
};

// Bounds-checked little-endian reads from the whole file.
class Image {
 public:
  explicit Image(const std::vector<uint8_t>& bytes) : b_(bytes) {}
  bool Has(uint64_t off, uint64_t n) const { return off <= b_.size() && n <= b_.size() - off; }
  uint32_t U32(uint64_t off) const { return Has(off, 4) ? Le(off, 4) : 0; }
  uint16_t U16(uint64_t off) const { return Has(off, 2) ? static_cast<uint16_t>(Le(off, 2)) : 0; }

  std::vector<Section> sections;

  // File offset of an RVA, or nothing when no section holds it.
  bool Offset(uint32_t rva, uint64_t* off) const {
    for (const Section& s : sections) {
      uint32_t span = std::max(s.virtual_size, s.raw_size);
      if (rva >= s.rva && rva - s.rva < span && rva - s.rva < s.raw_size) {
        *off = uint64_t(s.raw_offset) + (rva - s.rva);
        return Has(*off, 1);
      }
    }
    return false;
  }
  const Section* SectionOf(uint32_t rva) const {
    for (const Section& s : sections)
      if (rva >= s.rva && rva - s.rva < std::max(s.virtual_size, s.raw_size)) return &s;
    return nullptr;
  }
  // A NUL-terminated name at an RVA, at most 255 characters.
  std::string Name(uint32_t rva) const {
    uint64_t off;
    std::string out;
    if (!Offset(rva, &off)) return out;
    while (Has(off, 1) && b_[off] != 0 && out.size() < 255) out += static_cast<char>(b_[off++]);
    return out;
  }

 private:
  uint32_t Le(uint64_t off, int n) const {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b_[off + i];
    return v;
  }
  const std::vector<uint8_t>& b_;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void ReadExports(const Image& img, uint32_t rva, uint32_t size, PeFacts* f) {
  uint64_t dir;
  if (rva == 0) return;
  if (!img.Offset(rva, &dir))
    return f->damage.push_back("the export directory lies outside the file");
  uint32_t names = std::min<uint32_t>(img.U32(dir + 24), kMaxEntries);
  uint32_t functions = img.U32(dir + 20);
  uint64_t addr_table, name_table, ordinal_table;
  if (names &&
      (!img.Offset(img.U32(dir + 28), &addr_table) || !img.Offset(img.U32(dir + 32), &name_table) ||
       !img.Offset(img.U32(dir + 36), &ordinal_table)))
    return f->damage.push_back("the export tables lie outside the file");
  for (uint32_t i = 0; i < names; ++i) {
    PeExport e;
    e.name = img.Name(img.U32(name_table + 4 * i));
    uint16_t index = img.U16(ordinal_table + 2 * i);
    uint32_t target = index < functions ? img.U32(addr_table + 4 * uint64_t(index)) : 0;
    bool forwarded = target >= rva && target - rva < size;
    const Section* s = img.SectionOf(target);
    e.function = forwarded || (s && (s->flags & (kScnCode | kScnExecute)) != 0);
    f->exports.push_back(e);
  }
}

void ReadImports(const Image& img, uint32_t rva, PeFacts* f) {
  uint64_t desc;
  if (rva == 0) return;
  if (!img.Offset(rva, &desc))
    return f->damage.push_back("the import directory lies outside the file");
  for (size_t d = 0; d < kMaxEntries && img.Has(desc, 20); ++d, desc += 20) {
    uint32_t lookup = img.U32(desc), name = img.U32(desc + 12), thunks = img.U32(desc + 16);
    if (lookup == 0 && name == 0 && thunks == 0) break;
    std::string dll = img.Name(name);
    uint64_t t;
    if (!img.Offset(lookup ? lookup : thunks, &t)) {
      f->damage.push_back("the import names of " + dll + " lie outside the file");
      continue;
    }
    for (size_t i = 0; i < kMaxEntries && img.Has(t, 4); ++i, t += 4) {
      uint32_t v = img.U32(t);
      if (v == 0) break;
      PeImport imp{dll, "", 0};
      if (v & 0x80000000u)
        imp.ordinal = v & 0xFFFF;
      else
        imp.function = img.Name(v + 2);
      f->imports.push_back(imp);
    }
  }
}

void ReadTls(const Image& img, uint32_t rva, uint32_t image_base, PeFacts* f) {
  uint64_t dir, cb;
  if (!img.Offset(rva, &dir)) return;
  uint32_t callbacks_va = img.U32(dir + 12);
  if (callbacks_va <= image_base || !img.Offset(callbacks_va - image_base, &cb)) return;
  while (f->tls_callbacks < 256 && img.Has(cb, 4) && img.U32(cb) != 0) {
    ++f->tls_callbacks;
    cb += 4;
  }
}

// Functions a module may import, by library. Every name is one the modules'
// platform use calls for: library loading for the companion, the GDI and
// user-interface calls of the self-drawn screen, the beep, wsprintf, and the
// C runtime's formatted printing, mathematics and the memory routines the
// compiler emits calls to.
const std::set<std::string>& GaugeAllowList(const std::string& dll) {
  static const std::set<std::string> kernel32 = {"LoadLibraryA", "GetProcAddress", "FreeLibrary",
                                                 "GlobalAlloc",  "GlobalLock",     "GlobalUnlock",
                                                 "GlobalFree"};
  static const std::set<std::string> user32 = {"SetRect", "DrawTextExA", "MessageBeep", "wsprintfA",
                                               "wvsprintfA"};
  static const std::set<std::string> gdi32 = {"CreateCompatibleDC",
                                              "CreateDIBSection",
                                              "CreatePalette",
                                              "SelectPalette",
                                              "RealizePalette",
                                              "SelectObject",
                                              "DeleteObject",
                                              "DeleteDC",
                                              "CreateFontA",
                                              "CreateSolidBrush",
                                              "CreateRectRgn",
                                              "CreateRoundRectRgn",
                                              "FillRgn",
                                              "CreatePen",
                                              "MoveToEx",
                                              "LineTo",
                                              "SetBkMode",
                                              "SetBkColor",
                                              "SetTextColor",
                                              "GetDIBits"};
  static const std::set<std::string> msvcrt = {
      // formatted printing
      "sprintf", "_snprintf", "vsprintf", "_vsnprintf",
      // mathematics
      "sin", "cos", "tan", "asin", "acos", "atan", "atan2", "pow", "fmod", "ceil", "floor", "sqrt",
      "fabs", "exp", "log", "log10", "modf", "frexp", "ldexp", "_hypot", "_finite", "_isnan",
      "_copysign",
      // memory and string routines the compiler emits
      "memcpy", "memmove", "memset", "memcmp", "strlen",
      // what the toolchain's own sine, cosine and power routines refer to
      // for reporting domain errors; both are in every msvcrt.dll
      "_errno", "__setusermatherr"};
  static const std::set<std::string> none;
  std::string d = Lower(dll);
  if (d == "kernel32.dll") return kernel32;
  if (d == "user32.dll") return user32;
  if (d == "gdi32.dll") return gdi32;
  if (d == "msvcrt.dll") return msvcrt;
  return none;
}

// The companion library also reads and writes its settings file beside
// itself and shows its dialogs.
const std::set<std::string>& CompanionExtras(const std::string& dll) {
  static const std::set<std::string> kernel32 = {
      "GetPrivateProfileStringA", "WritePrivateProfileStringA", "GetPrivateProfileIntA",
      "GetModuleFileNameA", "GetModuleHandleA", "DisableThreadLibraryCalls", "lstrcpyA",
      "lstrcpynA", "lstrcatA", "lstrlenA", "lstrcmpiA",
      // the switch that keeps its dialogs closed when run without a desktop
      "GetEnvironmentVariableA"};
  static const std::set<std::string> user32 = {"DialogBoxParamA",     "DialogBoxIndirectParamA",
                                               "EndDialog",           "GetDlgItem",
                                               "GetDlgItemTextA",     "SetDlgItemTextA",
                                               "GetDlgItemInt",       "SetDlgItemInt",
                                               "SendDlgItemMessageA", "SendMessageA",
                                               "CheckDlgButton",      "IsDlgButtonChecked",
                                               "CheckRadioButton",    "EnableWindow",
                                               "SetWindowTextA",      "MessageBoxA",
                                               "GetActiveWindow",     "SetFocus"};
  static const std::set<std::string> msvcrt = {"strcpy",  "strncpy", "strcat",  "strncat", "strcmp",
                                               "strncmp", "strchr",  "strrchr", "atof",    "atoi",
                                               "strtod",  "strtol",  "sscanf",  "_stricmp"};
  static const std::set<std::string> none;
  std::string d = Lower(dll);
  if (d == "kernel32.dll") return kernel32;
  if (d == "user32.dll") return user32;
  if (d == "msvcrt.dll") return msvcrt;
  return none;
}

const char* const kCompanionFunctions[] = {"KestrelSetData", "KestrelSettingDialog",
                                           "KestrelGetData", "KestrelAboutDialog",
                                           "KestrelGetTourItem"};

}  // namespace

PeFacts ParsePe(const std::vector<uint8_t>& bytes) {
  PeFacts f;
  Image img(bytes);
  auto fail = [&](const char* why) {
    f.error = why;
    return f;
  };
  if (img.U16(0) != 0x5A4D) return fail("no MZ header");
  uint32_t pe = img.U32(0x3C);
  if (img.U32(pe) != 0x00004550) return fail("no PE signature");
  uint64_t coff = uint64_t(pe) + 4;
  uint16_t section_count = img.U16(coff + 2), opt_size = img.U16(coff + 16);
  uint16_t characteristics = img.U16(coff + 18);
  uint64_t opt = coff + 20;
  if (!img.Has(opt, opt_size) || opt_size < 96 + 8 * 16 || img.U16(opt) != 0x10B)
    return fail("not a 32-bit PE optional header");
  f.dll = (characteristics & kFileDll) != 0;
  uint32_t image_base = img.U32(opt + 28);
  f.os_major = img.U16(opt + 40);
  f.os_minor = img.U16(opt + 42);
  f.subsystem_major = img.U16(opt + 48);
  f.subsystem_minor = img.U16(opt + 50);
  f.subsystem = img.U16(opt + 68);
  uint32_t dir_count = std::min<uint32_t>(img.U32(opt + 92), 16);
  auto dir = [&](uint32_t i, uint32_t* rva, uint32_t* size) {
    *rva = i < dir_count ? img.U32(opt + 96 + 8 * i) : 0;
    *size = i < dir_count ? img.U32(opt + 100 + 8 * i) : 0;
  };
  uint64_t sec = opt + opt_size;
  for (uint16_t i = 0; i < section_count; ++i, sec += 40) {
    if (!img.Has(sec, 40)) return fail("section table runs past the end of the file");
    img.sections.push_back({img.U32(sec + 12), img.U32(sec + 8), img.U32(sec + 20),
                            img.U32(sec + 16), img.U32(sec + 36)});
  }
  uint32_t rva, size;
  dir(kTlsDir, &rva, &size);
  f.tls = rva != 0 || size != 0;
  if (f.tls) ReadTls(img, rva, image_base, &f);
  dir(kRelocDir, &rva, &size);
  f.relocations = rva != 0 && size != 0 && (characteristics & kRelocsStripped) == 0;
  dir(kExportDir, &rva, &size);
  ReadExports(img, rva, size, &f);
  dir(kImportDir, &rva, &size);
  ReadImports(img, rva, &f);
  f.parsed = true;
  return f;
}

PeFacts ReadPeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    PeFacts f;
    f.error = "cannot open " + path;
    return f;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  return ParsePe(bytes);
}

PeRole RoleOfFile(const std::string& path) {
  std::string p = Lower(path);
  return p.size() > 4 && p.compare(p.size() - 4, 4, ".gau") == 0 ? PeRole::kGaugeModule
                                                                 : PeRole::kCompanion;
}

std::vector<std::string> CheckPe(const PeFacts& f, PeRole role) {
  std::vector<std::string> out;
  if (!f.parsed) return {"not a readable 32-bit PE file: " + f.error};
  auto version = [](uint16_t major, uint16_t minor) {
    return std::to_string(major) + "." + std::to_string(minor);
  };
  for (const std::string& d : f.damage) out.push_back("damaged: " + d);
  if (!f.dll) out.push_back("not marked as a DLL");
  if (f.tls)
    out.push_back("has a TLS directory (" + std::to_string(f.tls_callbacks) +
                  " callbacks): LoadLibrary fails or faults on it on Windows 95/98/NT4");
  if (f.os_major != 4 || f.os_minor != 0)
    out.push_back("OS version is " + version(f.os_major, f.os_minor) + ", not 4.0");
  if (f.subsystem_major != 4 || f.subsystem_minor != 0)
    out.push_back("subsystem version is " + version(f.subsystem_major, f.subsystem_minor) +
                  ", not 4.0");
  if (f.subsystem != kSubsystemWindows)
    out.push_back("subsystem is " + std::to_string(f.subsystem) + ", not 2 (windows)");
  if (!f.relocations) out.push_back("has no relocations: it cannot load at another base");

  std::vector<std::string> wanted;
  if (role == PeRole::kGaugeModule)
    wanted = {"ImportTable", "Linkage"};
  else
    wanted.assign(std::begin(kCompanionFunctions), std::end(kCompanionFunctions));
  for (const std::string& name : wanted)
    if (std::none_of(f.exports.begin(), f.exports.end(),
                     [&](const PeExport& e) { return e.name == name; }))
      out.push_back("does not export " + name);
  for (const PeExport& e : f.exports) {
    bool expected = std::find(wanted.begin(), wanted.end(), e.name) != wanted.end();
    if (role == PeRole::kGaugeModule && e.function)
      out.push_back("exports the function " + e.name + "; a gauge module exports only data");
    else if (!expected)
      out.push_back("exports " + e.name + ", which nothing loads it for");
  }

  for (const PeImport& imp : f.imports) {
    std::string d = Lower(imp.dll);
    bool library_ok =
        d == "kernel32.dll" || d == "user32.dll" || d == "gdi32.dll" || d == "msvcrt.dll";
    std::string what =
        imp.function.empty() ? "ordinal " + std::to_string(imp.ordinal) : imp.function;
    if (!library_ok) {
      out.push_back("imports " + what + " from " + imp.dll +
                    ", a library the simulator's folder does not have");
      continue;
    }
    bool allowed = GaugeAllowList(imp.dll).count(imp.function) ||
                   (role == PeRole::kCompanion && CompanionExtras(imp.dll).count(imp.function));
    if (!allowed) out.push_back("imports " + what + " from " + imp.dll + ", which is not allowed");
  }
  return out;
}

}  // namespace bench
