// The records every module shares with the simulator, read the way the
// simulator reads them: raw 32-bit words at their documented offsets in the
// real .gau files, loaded with LoadLibraryA alone; and the order in which
// the gauge routines call the panel services, through the bench.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench_fixture.h"
#include "host.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugePath;

// What the modules must come out as, by deliverable. A language or a file
// description of 0 / nullptr is one the modules' descriptions leave open.
struct ModuleFacts {
  const char* file;  // without .gau
  const char* gauge_name;
  uint32_t default_size;
  uint32_t root_bitmap;
  int root_width, root_height;
  WORD language;
  const char* description;
};
constexpr const char* kFs98 = "Flight Simulator 98 Gauge";
const ModuleFacts kModules[] = {
    {"Kestrel41", "Kestrel41", 0, 0x65, 173, 103, 0, nullptr},
    {"Lumaris.LIGHTS", "Lumaris.LIGHTS", 140, 0x1000, 150, 78, 0x040C, kFs98},
    {"CORVANE", "corvane", 370, 0x1000, 590, 123, 0, kFs98},
    {"Brakewell1", "Moru Brakewell (Toggle type)", 57, 0x1000, 100, 67, 0x0409, kFs98},
    {"Greenrow", "GREENROW", 33, 0x1000, 87, 64, 0x0409, kFs98},
    {"Flaps", "Stratum. by Norlo", 50, 0x1000, 32, 35, 0x0409, kFs98},
    {"Tandem", "Tandem", 47, 0x1000, 47, 60, 0, kFs98},
    {"Orrin", "ORRIN_A", 7, 0x1000, 7, 50, 0x0409, kFs98},
};

// A module loaded by LoadLibraryA alone: no bench, no host has touched it.
class RawModule {
 public:
  explicit RawModule(const std::string& name) { module_ = LoadLibraryA(GaugePath(name).c_str()); }
  ~RawModule() {
    if (module_) FreeLibrary(module_);
  }
  RawModule(const RawModule&) = delete;
  RawModule& operator=(const RawModule&) = delete;

  HMODULE handle() const { return module_; }
  const uint8_t* base() const { return reinterpret_cast<const uint8_t*>(module_); }
  const uint32_t* Export(const char* name) const {
    return reinterpret_cast<const uint32_t*>(GetProcAddress(module_, name));
  }
  const IMAGE_NT_HEADERS32* Nt() const {
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(base() + dos->e_lfanew);
  }
  // The section an address lies in, or nullptr outside the image.
  const IMAGE_SECTION_HEADER* SectionOf(uint32_t address) const {
    const IMAGE_NT_HEADERS32* nt = Nt();
    const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
    const uint32_t rva = address - reinterpret_cast<uintptr_t>(module_);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s)
      if (rva >= s->VirtualAddress && rva < s->VirtualAddress + s->Misc.VirtualSize) return s;
    return nullptr;
  }
  bool IsCode(uint32_t address) const {
    const IMAGE_SECTION_HEADER* s = SectionOf(address);
    return s && (s->Characteristics & IMAGE_SCN_MEM_EXECUTE);
  }
  bool IsData(uint32_t address) const {
    const IMAGE_SECTION_HEADER* s = SectionOf(address);
    return s && !(s->Characteristics & IMAGE_SCN_MEM_EXECUTE);
  }

 private:
  HMODULE module_ = nullptr;
};

const uint32_t* Words(uint32_t address) { return reinterpret_cast<const uint32_t*>(address); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class FrameworkTest : public ::testing::TestWithParam<ModuleFacts> {};

// ---- Linkage, ImportTable and GaugeHeader as raw words ----

TEST_P(FrameworkTest, LinkageImportTableAndHeaderWordsAreWhereTheHostReadsThem) {
  const ModuleFacts& m = GetParam();
  RawModule mod(m.file);
  ASSERT_NE(mod.handle(), nullptr) << "cannot load " << GaugePath(m.file);

  const uint32_t* imports = mod.Export("ImportTable");
  ASSERT_NE(imports, nullptr);
  // id 0x0F with the services word NULL as built, then the ending entry.
  EXPECT_EQ(imports[0], 0x0Fu);
  EXPECT_EQ(imports[1], 0u) << "the services word must be NULL until the host fills it";
  EXPECT_EQ(imports[2], 0u);
  EXPECT_EQ(imports[3], 0u);

  const uint32_t* linkage = mod.Export("Linkage");
  ASSERT_NE(linkage, nullptr);
  EXPECT_EQ(linkage[0], 0x13u);         // module id
  EXPECT_TRUE(mod.IsCode(linkage[1]));  // ModuleInit
  EXPECT_TRUE(mod.IsCode(linkage[2]));  // ModuleDeinit
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(linkage[i], 0u) << "Linkage word " << i;
  ASSERT_TRUE(mod.IsData(linkage[6])) << "the gauge list holds the header's address";
  EXPECT_EQ(linkage[7], 0u) << "one gauge, then NULL";

  const uint32_t* header = Words(linkage[6]);
  EXPECT_EQ(header[0], 610u);  // version
  ASSERT_TRUE(mod.IsData(header[1]));
  EXPECT_STREQ(reinterpret_cast<const char*>(header[1]), m.gauge_name);
  ASSERT_TRUE(mod.IsData(header[2]));  // element_list
  const uint32_t root = Words(header[2])[0];
  ASSERT_TRUE(mod.IsData(root));
  EXPECT_EQ(Words(root)[0], 0u) << "the root is a static image";
  EXPECT_EQ(Words(root)[1], m.root_bitmap);
  EXPECT_EQ(Words(root)[2], 0u);  // at (0, 0)
  EXPECT_EQ(Words(root)[3], 0u);
  for (int i = 3; i <= 9; ++i) EXPECT_TRUE(mod.IsCode(header[i])) << "routine word " << i;
  EXPECT_EQ(header[10], 0u);  // reserved
  EXPECT_EQ(header[11], m.default_size);
  for (int i = 12; i <= 21; ++i) EXPECT_EQ(header[i], 0u) << "header word " << i;
}

// ---- the binary ----

TEST_P(FrameworkTest, ExportsExactlyTheTwoRecordsAndNoFunction) {
  const ModuleFacts& m = GetParam();
  RawModule mod(m.file);
  ASSERT_NE(mod.handle(), nullptr);
  const IMAGE_DATA_DIRECTORY& dir = mod.Nt()->OptionalHeader.DataDirectory[0];
  ASSERT_NE(dir.VirtualAddress, 0u);
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(mod.base() + dir.VirtualAddress);
  ASSERT_EQ(exports->NumberOfFunctions, 2u);
  ASSERT_EQ(exports->NumberOfNames, 2u);
  std::set<std::string> names;
  auto* name_rvas = reinterpret_cast<const uint32_t*>(mod.base() + exports->AddressOfNames);
  for (uint32_t i = 0; i < exports->NumberOfNames; ++i)
    names.insert(reinterpret_cast<const char*>(mod.base() + name_rvas[i]));
  EXPECT_EQ(names, (std::set<std::string>{"ImportTable", "Linkage"}));
  auto* functions = reinterpret_cast<const uint32_t*>(mod.base() + exports->AddressOfFunctions);
  for (uint32_t i = 0; i < exports->NumberOfFunctions; ++i)
    EXPECT_TRUE(mod.IsData(reinterpret_cast<uintptr_t>(mod.base()) + functions[i]))
        << "export " << i << " lies in code";
}

// Loadable where the simulator runs: no TLS directory, Windows 4.0 headers,
// and imports only from the C runtime and the Win32 system libraries.
TEST_P(FrameworkTest, LoadsWithoutRuntimeLibrariesOrStaticTls) {
  const ModuleFacts& m = GetParam();
  RawModule mod(m.file);
  ASSERT_NE(mod.handle(), nullptr);
  const IMAGE_OPTIONAL_HEADER32& opt = mod.Nt()->OptionalHeader;
  EXPECT_EQ(opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS].VirtualAddress, 0u);
  EXPECT_EQ(opt.MajorOperatingSystemVersion, 4);
  EXPECT_EQ(opt.MajorSubsystemVersion, 4);
  const std::set<std::string> allowed{"msvcrt.dll", "kernel32.dll", "user32.dll", "gdi32.dll"};
  const IMAGE_DATA_DIRECTORY& dir = opt.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(dir.VirtualAddress, 0u);
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(mod.base() + dir.VirtualAddress);
       d->Name != 0; ++d) {
    std::string dll = Lower(reinterpret_cast<const char*>(mod.base() + d->Name));
    EXPECT_TRUE(allowed.count(dll)) << m.file << " imports " << dll;
  }
}

// ---- resources ----

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR out) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::vector<uint32_t>*>(out)->push_back(
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(name)));
  return TRUE;
}
BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR out) {
  reinterpret_cast<std::set<WORD>*>(out)->insert(language);
  return TRUE;
}
std::set<WORD> Languages(HMODULE mod, LPCSTR type, uint32_t id) {
  std::set<WORD> out;
  EnumResourceLanguagesA(mod, type, MAKEINTRESOURCEA(id), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&out));
  return out;
}
const uint8_t* ResourceData(HMODULE mod, LPCSTR type, uint32_t id, DWORD* size) {
  HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), type);
  HGLOBAL mem = res ? LoadResource(mod, res) : nullptr;
  *size = res ? SizeofResource(mod, res) : 0;
  return mem ? static_cast<const uint8_t*>(LockResource(mem)) : nullptr;
}

TEST_P(FrameworkTest, BitmapsAreUncompressedEightBitWithAColourTable) {
  const ModuleFacts& m = GetParam();
  RawModule mod(m.file);
  ASSERT_NE(mod.handle(), nullptr);
  std::vector<uint32_t> ids;
  EnumResourceNamesA(mod.handle(), MAKEINTRESOURCEA(2), CollectName,
                     reinterpret_cast<LONG_PTR>(&ids));
  ASSERT_FALSE(ids.empty());
  ASSERT_NE(std::find(ids.begin(), ids.end(), m.root_bitmap), ids.end());
  for (uint32_t id : ids) {
    SCOPED_TRACE("bitmap " + std::to_string(id));
    DWORD size = 0;
    const uint8_t* data = ResourceData(mod.handle(), MAKEINTRESOURCEA(2), id, &size);
    ASSERT_NE(data, nullptr);
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof h);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_LE(h.biClrUsed, 256u);
    const uint32_t colours = h.biClrUsed ? h.biClrUsed : 256;
    const uint32_t stride = (static_cast<uint32_t>(h.biWidth) + 3) & ~3u;
    EXPECT_GE(size, h.biSize + colours * 4 + stride * std::abs(h.biHeight));
    if (id == m.root_bitmap) {
      EXPECT_EQ(h.biWidth, m.root_width);
      EXPECT_EQ(std::abs(h.biHeight), m.root_height);
    }
    if (m.language) {
      EXPECT_EQ(Languages(mod.handle(), MAKEINTRESOURCEA(2), id), std::set<WORD>{m.language});
    }
  }
}

// The strings and fixed numbers of a VS_VERSIONINFO tree. Each block is
// wLength, wValueLength, wType, a zero-terminated UTF-16 key, padding to 4
// bytes, the value, padding, then the child blocks.
struct VersionFacts {
  std::map<std::string, std::string> strings;
  uint32_t fixed[13] = {};
  WORD translation_language = 0;
};
size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }
std::string Narrow(const uint8_t* p, size_t max_chars) {
  std::string out;
  for (size_t i = 0; i < max_chars; ++i) {
    uint16_t ch;
    std::memcpy(&ch, p + 2 * i, 2);
    if (ch == 0) break;
    out += static_cast<char>(ch);
  }
  return out;
}
void WalkVersion(const uint8_t* base, size_t at, size_t end, VersionFacts& out) {
  while (at + 6 <= end) {
    uint16_t length, value_length, type;
    std::memcpy(&length, base + at, 2);
    std::memcpy(&value_length, base + at + 2, 2);
    std::memcpy(&type, base + at + 4, 2);
    if (length < 6) return;
    const size_t block_end = std::min(at + length, end);
    size_t key_chars = 0;
    while (at + 6 + 2 * key_chars + 2 <= block_end) {
      uint16_t ch;
      std::memcpy(&ch, base + at + 6 + 2 * key_chars, 2);
      if (ch == 0) break;
      ++key_chars;
    }
    const std::string key = Narrow(base + at + 6, key_chars);
    const size_t value_at = Align4(at + 6 + 2 * (key_chars + 1));
    const size_t value_bytes = type == 1 ? 2u * value_length : value_length;
    if (value_at + value_bytes <= block_end) {
      if (key == "VS_VERSION_INFO" && value_bytes >= sizeof out.fixed) {
        std::memcpy(out.fixed, base + value_at, sizeof out.fixed);
      } else if (key == "Translation" && value_bytes >= 2) {
        std::memcpy(&out.translation_language, base + value_at, 2);
      } else if (type == 1 && value_length > 0) {
        out.strings[key] = Narrow(base + value_at, value_length);
      }
    }
    WalkVersion(base, Align4(value_at + value_bytes), block_end, out);
    at = Align4(block_end);
  }
}

TEST_P(FrameworkTest, VersionResourceNamesTheGaugeAndVersionOneZeroZero) {
  const ModuleFacts& m = GetParam();
  RawModule mod(m.file);
  ASSERT_NE(mod.handle(), nullptr);
  DWORD size = 0;
  const uint8_t* data = ResourceData(mod.handle(), MAKEINTRESOURCEA(16), 1, &size);
  ASSERT_NE(data, nullptr);
  VersionFacts v;
  WalkVersion(data, 0, size, v);
  EXPECT_EQ(v.fixed[0], 0xFEEF04BDu);  // VS_FIXEDFILEINFO signature
  EXPECT_EQ(v.fixed[2], 0x00010000u);  // file version 1.0
  EXPECT_EQ(v.fixed[3], 0u);           // .0.0
  EXPECT_EQ(v.fixed[4], 0x00010000u);  // product version 1.0
  EXPECT_EQ(v.fixed[5], 0u);
  EXPECT_EQ(v.strings["FileVersion"], "1.0.0");
  EXPECT_EQ(v.strings["ProductVersion"], "1.0.0");
  if (m.description) {
    EXPECT_EQ(v.strings["FileDescription"], m.description);
  }
  if (m.language) {
    EXPECT_EQ(Languages(mod.handle(), MAKEINTRESOURCEA(16), 1), std::set<WORD>{m.language});
    EXPECT_EQ(v.translation_language, m.language);
  }
}

INSTANTIATE_TEST_SUITE_P(Modules, FrameworkTest, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleFacts>& info) {
                           std::string name = info.param.file;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

// ---- element records of the three switch and indicator gauges ----

// One element as the host reads it, in pre-order. For icons `variable` is
// source.id (word 15), `callback` word 22 and `count` picture_count (word
// 28); for sliders `variable` is y_source.id (word 26) and `callback`
// y_callback (word 33).
enum class Callback { kNone, kSome };
struct ElementFacts {
  uint32_t kind, resource_id;
  int32_t x, y;
  uint32_t flags;
  bool has_failures;
  uint32_t variable;
  Callback callback;
  uint32_t count;
};
struct TreeFacts {
  const char* file;
  std::vector<ElementFacts> elements;
  std::vector<uint32_t> failures;  // the shared list's words, ending record included
};

void Collect(uint32_t element, std::vector<uint32_t>& out) {
  out.push_back(element);
  const uint32_t children = Words(element)[10];
  if (!children) return;
  for (const uint32_t* c = Words(children); *c; ++c) Collect(*c, out);
}

TEST(FrameworkRecords, ElementRecordsCarryTheirFieldsAtTheDocumentedWords) {
  const TreeFacts trees[] = {
      {"Lumaris.LIGHTS",
       {{0, 0x1000, 0, 0, 5, false, 0, Callback::kNone, 0},
        {4, 0x2000, 4, 22, 3, false, var::kPanelLights, Callback::kSome, 2},
        {4, 0x2000, 62, 22, 3, false, var::kStrobeLights, Callback::kSome, 2},
        {4, 0x2000, 120, 22, 3, false, var::kLandingLights, Callback::kSome, 2}},
       {}},
      {"Orrin",
       {{0, 0x1000, 0, 0, 1, true, 0, Callback::kNone, 0},
        {0, 0x2000, 0, 0, 6, true, 0, Callback::kNone, 0},
        {3, 0x2001, 1, 21, 7, true, var::kGlideslopeDeviation, Callback::kSome, 0},
        {4, 0x1000, 0, 0, 0, true, 0, Callback::kSome, 1}},
       {1, 3, 0, 0, 0, 0}},
      {"Brakewell1",
       {{0, 0x1000, 0, 0, 1, true, 0, Callback::kNone, 0},
        {4, 0x2000, 17, 8, 0x40000003, false, 0, Callback::kNone, 1},
        {4, 0x2006, 55, 16, 0x40000007, true, 0, Callback::kNone, 1}},
       {1, 1, 0, 0, 0, 0}},
  };
  for (const TreeFacts& t : trees) {
    SCOPED_TRACE(t.file);
    RawModule mod(t.file);
    ASSERT_NE(mod.handle(), nullptr);
    const uint32_t header = mod.Export("Linkage")[6];
    std::vector<uint32_t> elements;
    Collect(Words(Words(header)[2])[0], elements);
    ASSERT_EQ(elements.size(), t.elements.size());
    std::set<uint32_t> callbacks;
    for (size_t i = 0; i < elements.size(); ++i) {
      SCOPED_TRACE("element " + std::to_string(i));
      const uint32_t* w = Words(elements[i]);
      const ElementFacts& e = t.elements[i];
      EXPECT_EQ(w[0], e.kind);
      EXPECT_EQ(w[1], e.resource_id);
      EXPECT_EQ(static_cast<int32_t>(w[2]), e.x);
      EXPECT_EQ(static_cast<int32_t>(w[3]), e.y);
      for (int k = 4; k <= 7; ++k) EXPECT_EQ(w[k], 0u) << "word " << k;
      EXPECT_EQ(w[8], header);    // gauge
      EXPECT_EQ(w[9], 0u);        // back_link
      EXPECT_EQ(w[12], e.flags);  // image_flags
      EXPECT_EQ(w[13], 0u);
      EXPECT_EQ(w[14], 0u);
      if (e.has_failures) {
        ASSERT_TRUE(mod.IsData(w[11]));
        EXPECT_EQ(std::vector<uint32_t>(Words(w[11]), Words(w[11]) + t.failures.size()),
                  t.failures);
      } else {
        EXPECT_EQ(w[11], 0u);
      }
      uint32_t callback = 0;
      if (e.kind == 4) {
        EXPECT_EQ(w[15], e.variable);
        callback = w[22];
        EXPECT_EQ(w[28], e.count);
      } else if (e.kind == 3) {
        EXPECT_EQ(w[15], 0u);  // x axis: no variable, no callback, scale 0
        EXPECT_EQ(w[22], 0u);
        EXPECT_EQ(w[23], 0u);
        EXPECT_EQ(w[24], 0u);
        EXPECT_EQ(w[26], e.variable);
        callback = w[33];
        EXPECT_EQ(w[34], 0x55555555u);  // y_scale, exactly 19/96
        EXPECT_EQ(w[35], 0x3FC95555u);
      }
      if (e.callback == Callback::kSome) {
        EXPECT_TRUE(mod.IsCode(callback));
        EXPECT_TRUE(callbacks.insert(callback).second) << "each element has its own callback";
      } else {
        EXPECT_EQ(callback, 0u);
      }
    }
  }
}

// ---- mouse lists, as handed to InstallMouseRects ----

struct RectWords {
  uint32_t kind;
  int32_t x, y, w, h, cursor;
  uint32_t help, flags, event;
  bool callback;
};

TEST(FrameworkRecords, MouseListsAsTheHostReceivesThem) {
  const RectWords parent{1, 0, 0, 0, 0, -1, 0, 0, 0, false};
  const RectWords parent_end{3, 0, 0, 0, 0, -1, 0, 0, 0, false};
  const RectWords list_end{0, 0, 0, 0, 0, -1, 0, 0, 0, false};
  const struct {
    const char* file;
    std::vector<RectWords> rects;
  } lists[] = {
      {"Lumaris.LIGHTS",
       {parent,
        {2, 4, 22, 26, 54, 5, 0, 0x20000000, 0x100D6, false},
        {2, 62, 22, 26, 54, 5, 0, 0x20000000, 0x10018, false},
        {2, 120, 22, 26, 54, 5, 0, 0x20000000, 0x100D7, false},
        parent_end,
        list_end}},
      {"Orrin", {parent, parent_end, list_end}},
      {"Brakewell1", {parent, {2, 12, 0, 30, 66, 5, 0, 0x20000000, 0, true}, parent_end, list_end}},
  };
  for (const auto& l : lists) {
    SCOPED_TRACE(l.file);
    bench::Host host;
    std::string error;
    ASSERT_TRUE(bench::StartGauge(host, GaugePath(l.file), &error)) << error;
    const uint32_t* w = reinterpret_cast<const uint32_t*>(host.mouse_list());
    ASSERT_NE(w, nullptr);
    for (size_t i = 0; i < l.rects.size(); ++i, w += 11) {
      SCOPED_TRACE("entry " + std::to_string(i));
      const RectWords& r = l.rects[i];
      EXPECT_EQ(w[0], r.kind);
      EXPECT_EQ(static_cast<int32_t>(w[1]), r.x);
      EXPECT_EQ(static_cast<int32_t>(w[2]), r.y);
      EXPECT_EQ(static_cast<int32_t>(w[3]), r.w);
      EXPECT_EQ(static_cast<int32_t>(w[4]), r.h);
      EXPECT_EQ(static_cast<int32_t>(w[5]), r.cursor);
      EXPECT_EQ(w[6], r.help);
      EXPECT_EQ(w[7], r.flags);
      EXPECT_EQ(w[8], r.event);
      EXPECT_EQ(w[9] != 0, r.callback);
      EXPECT_EQ(w[10], 0u);  // extra
    }
    EXPECT_TRUE(host.violations().empty());
  }
}

// ---- lifecycle ----

// The service slots each routine calls, in order: the common form, and the
// variants of the glideslope (its status record bound first and refreshed
// before the tree) and the spoiler switch (its record refreshed before the
// tree; elements killed before the mouse list).
struct LifecycleCase {
  const char* file;
  std::vector<int> install, update, kill;
};
const LifecycleCase kLifecycles[] = {
    {"Lumaris.LIGHTS", {25, 32, 33}, {27}, {34, 31}},
    {"Tandem", {25, 32, 33}, {27}, {34, 31}},
    {"Orrin", {38, 25, 32, 33}, {40, 27}, {34, 31}},
    {"Brakewell1", {25, 32, 33}, {40, 27}, {31, 34}},
};

TEST(FrameworkLifecycle, RoutinesCallTheServicesInTheirOrder) {
  for (const LifecycleCase& c : kLifecycles) {
    SCOPED_TRACE(c.file);
    bench::Host host;
    std::string error;
    ASSERT_TRUE(host.Load(GaugePath(c.file), &error)) << error;
    auto step = [&](void (bench::Host::*routine)(), const std::vector<int>& slots) {
      host.ClearServiceLog();
      (host.*routine)();
      EXPECT_EQ(host.service_log(), slots);
    };
    step(&bench::Host::ModuleInit, {});
    step(&bench::Host::Query, {24});
    step(&bench::Host::Install, c.install);
    step(&bench::Host::Initialize, {26});
    step(&bench::Host::Update, c.update);
    host.ClearServiceLog();
    host.Generate(7);
    EXPECT_EQ(host.service_log(), std::vector<int>{28});
    step(&bench::Host::Draw, {29});
    step(&bench::Host::Kill, c.kill);
    // A second install after kill, as the simulator may do.
    step(&bench::Host::Install, c.install);
    step(&bench::Host::Kill, c.kill);
    step(&bench::Host::ModuleDeinit, {});
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
  }
}

// Until the host fills the services word no routine reaches a service: each
// one runs, calls nothing and returns.
TEST(FrameworkLifecycle, RoutinesRunBeforeTheServicesWordIsFilledCallNothing) {
  for (const LifecycleCase& c : kLifecycles) {
    SCOPED_TRACE(c.file);
    RawModule mod(c.file);
    ASSERT_NE(mod.handle(), nullptr);
    ASSERT_EQ(mod.Export("ImportTable")[1], 0u);
    const GaugeHeader* header = reinterpret_cast<const GaugeHeader*>(mod.Export("Linkage")[6]);
    header->query();
    header->install(0);
    header->initialize();
    header->update();
    header->generate(0);
    header->draw();
    header->kill();
    EXPECT_EQ(mod.Export("ImportTable")[1], 0u);
  }
}

}  // namespace
