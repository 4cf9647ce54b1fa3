#include "perf.h"

#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>

#include "actions.h"
#include "host.h"

extern "C" int bench_call_stdcall(void* fn, const uint32_t* args, uint32_t nwords,
                                  uint32_t* eax_out, double* st0_out);

namespace bench::perf {

namespace {

using nlohmann::json;

// ---- the clock ----

int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double TicksToNs(double ticks) {
  static const double ns_per_tick = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1e9 / static_cast<double>(f.QuadPart);
  }();
  return ticks * ns_per_tick;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  double at = p * (v.size() - 1);
  size_t lo = static_cast<size_t>(at);
  size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (at - lo);
}

Figure Summarize(const std::vector<double>& ns) {
  Figure f;
  f.samples = static_cast<int>(ns.size());
  f.median = Percentile(ns, 0.5);
  f.p10 = Percentile(ns, 0.1);
  f.p90 = Percentile(ns, 0.9);
  return f;
}

// What one reading of the counter costs; taken off every timed span.
double CounterOverheadNs() {
  static const double overhead = [] {
    std::vector<double> d;
    for (int i = 0; i < 2001; ++i) {
      int64_t a = Now();
      int64_t b = Now();
      d.push_back(TicksToNs(static_cast<double>(b - a)));
    }
    return Percentile(d, 0.5);
  }();
  return overhead;
}

// Nanoseconds per call of a span of `calls` calls, the counter's own cost out.
double PerCall(int64_t t0, int64_t t1, int calls) {
  double ns = TicksToNs(static_cast<double>(t1 - t0)) - CounterOverheadNs();
  return std::max(0.0, ns) / std::max(1, calls);
}

// ---- import hooks ----
//
// Each hooked import of the module is sent through a small generated thunk
// that pushes the hook's number and jumps to perf_hook_common_enter. That
// counts the call, notes the time and the caller's return address on a side
// stack, and enters the real function with perf_hook_common_exit as its
// return address; the exit notes the time and returns to the caller. Nothing
// depends on the function's arguments or calling convention.

enum Category { kAllocation, kCreation, kObjects, kDrawing, kCopy, kOther };

struct Hook {
  std::string dll, name;
  Category category = kOther;
  bool counts_as_allocation = false;
  bool counts_as_creation = false;
  void** slot = nullptr;  // the import address table entry; null for a calibration hook
  void* original = nullptr;
  int64_t calls = 0;
  int64_t window_calls = 0;  // calls inside the timed window
  int64_t window_ticks = 0;
};

struct SideFrame {
  int hook;
  void* return_address;
  int64_t start;
  bool in_window;
};

struct HookState {
  std::vector<Hook> hooks;
  uint8_t* code = nullptr;  // thunks, 10 bytes each
  SideFrame stack[256];
  int depth = 0;
  bool timing = false;  // read the counter at every hooked call
  bool window = false;  // calls now belong to the timed window
};

HookState g_hooks;
constexpr int kMaxHooks = 4096;

}  // namespace
}  // namespace bench::perf

extern "C" void perf_hook_common_enter();
extern "C" void perf_hook_common_exit();

extern "C" void* perf_hook_enter(int index, void* return_address) {
  using namespace bench::perf;
  HookState& s = g_hooks;
  Hook& h = s.hooks[index];
  ++h.calls;
  if (s.depth >= 256) {
    std::fprintf(stderr, "perf: hooked calls nest too deep\n");
    std::abort();
  }
  SideFrame& f = s.stack[s.depth++];
  f.hook = index;
  f.return_address = return_address;
  f.in_window = s.window;
  f.start = s.timing ? Now() : 0;
  return h.original;
}

extern "C" void* perf_hook_exit() {
  using namespace bench::perf;
  HookState& s = g_hooks;
  SideFrame& f = s.stack[--s.depth];
  if (f.in_window) {
    Hook& h = s.hooks[f.hook];
    ++h.window_calls;
    if (s.timing) h.window_ticks += Now() - f.start;
  }
  return f.return_address;
}

// Registers are kept as the real function leaves them (eax, edx: the result;
// ecx for good measure), and the whole x87 state (a double result in st(0))
// is saved around the C parts.
asm(R"(
    .text
    .globl _perf_hook_common_enter
_perf_hook_common_enter:
    pushl %eax
    pushl %ecx
    pushl %edx
    subl $108, %esp
    fnsave (%esp)
    pushl 124(%esp)
    pushl 124(%esp)
    call _perf_hook_enter
    addl $8, %esp
    frstor (%esp)
    addl $108, %esp
    movl %eax, 12(%esp)
    movl $_perf_hook_common_exit, 16(%esp)
    popl %edx
    popl %ecx
    popl %eax
    ret
    .globl _perf_hook_common_exit
_perf_hook_common_exit:
    pushl %eax
    pushl %eax
    pushl %ecx
    pushl %edx
    subl $108, %esp
    fnsave (%esp)
    call _perf_hook_exit
    frstor (%esp)
    addl $108, %esp
    movl %eax, 12(%esp)
    popl %edx
    popl %ecx
    popl %eax
    ret
)");

namespace bench::perf {
namespace {

void* MakeThunk(int index) {
  if (!g_hooks.code) {
    g_hooks.code = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, kMaxHooks * 10, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (!g_hooks.code) return nullptr;
  }
  uint8_t* p = g_hooks.code + index * 10;
  p[0] = 0x68;  // push imm32
  std::memcpy(p + 1, &index, 4);
  p[5] = 0xE9;  // jmp rel32
  int32_t rel = static_cast<int32_t>(reinterpret_cast<uintptr_t>(&perf_hook_common_enter) -
                                     reinterpret_cast<uintptr_t>(p + 10));
  std::memcpy(p + 6, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), p, 10);
  return p;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Base(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// What an import is, for the allocation check and for splitting a redraw.
Hook Classify(const std::string& dll_name, const std::string& name) {
  Hook h;
  h.dll = Lower(dll_name);
  h.name = name;
  static const char* const kAllocators[] = {
      "HeapAlloc",      "HeapReAlloc",     "HeapCreate",        "LocalAlloc",
      "LocalReAlloc",   "GlobalAlloc",     "GlobalReAlloc",     "VirtualAlloc",
      "VirtualAllocEx", "RtlAllocateHeap", "RtlReAllocateHeap", "malloc",
      "calloc",         "realloc",         "_strdup",           "strdup",
      "_wcsdup",        "_aligned_malloc", "_expand",           "??2@YAPAXI@Z",
      "??_U@YAPAXI@Z",  "SysAllocString",  "CoTaskMemAlloc"};
  for (const char* a : kAllocators)
    if (name == a) h.counts_as_allocation = true;
  const bool gdi = h.dll == "gdi32.dll";
  const bool user = h.dll == "user32.dll";
  if ((gdi || user) && (StartsWith(name, "Create") || StartsWith(name, "ExtCreate") ||
                        StartsWith(name, "LoadBitmap") || StartsWith(name, "LoadImage") ||
                        StartsWith(name, "LoadIcon") || StartsWith(name, "LoadCursor") ||
                        StartsWith(name, "CopyImage") || StartsWith(name, "CopyIcon")))
    h.counts_as_creation = true;
  if (h.counts_as_allocation) {
    h.category = kAllocation;
  } else if (gdi && (StartsWith(name, "GetDIBits") || StartsWith(name, "SetDIBits") ||
                     StartsWith(name, "BitBlt") || StartsWith(name, "StretchBlt") ||
                     StartsWith(name, "StretchDIBits"))) {
    h.category = kCopy;
  } else if (gdi && (h.counts_as_creation || StartsWith(name, "DeleteObject") ||
                     StartsWith(name, "DeleteDC") || StartsWith(name, "SelectObject") ||
                     StartsWith(name, "SelectPalette") || StartsWith(name, "RealizePalette") ||
                     StartsWith(name, "GetStockObject"))) {
    h.category = kObjects;
  } else if (gdi || (user && !StartsWith(name, "MessageBeep"))) {
    h.category = kDrawing;
  } else {
    h.category = kOther;
  }
  return h;
}

// The module's import entries, with a way to point any of them elsewhere.
struct ImportSlot {
  std::string dll, name;
  void** slot;
};

std::vector<ImportSlot> ModuleImports(HMODULE module) {
  std::vector<ImportSlot> out;
  auto* base = reinterpret_cast<uint8_t*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return out;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return out;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    const char* dll = reinterpret_cast<const char*>(base + d->Name);
    DWORD names_rva = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + names_rva);
    auto* iat = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++iat) {
      if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      out.push_back({dll, reinterpret_cast<const char*>(by_name->Name),
                     reinterpret_cast<void**>(&iat->u1.Function)});
    }
  }
  return out;
}

// Data imports (a C runtime variable, say) must keep pointing at their data.
bool IsCode(void* address) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!VirtualQuery(address, &mbi, sizeof mbi)) return false;
  return (mbi.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY)) != 0;
}

bool WriteSlot(void** slot, void* value) {
  DWORD old;
  if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return false;
  *slot = value;
  DWORD ignored;
  VirtualProtect(slot, sizeof(void*), old, &ignored);
  return true;
}

// Hooks every import of the module that `want` picks; undone when it goes.
class ImportHooks {
 public:
  ImportHooks(HMODULE module, const std::function<bool(const Hook&)>& want) {
    g_hooks.hooks.clear();
    g_hooks.hooks.reserve(kMaxHooks);
    for (const ImportSlot& imp : ModuleImports(module)) {
      Hook h = Classify(imp.dll, imp.name);
      if (!want(h) || g_hooks.hooks.size() >= kMaxHooks || !IsCode(*imp.slot)) continue;
      h.slot = imp.slot;
      h.original = *imp.slot;
      int index = static_cast<int>(g_hooks.hooks.size());
      g_hooks.hooks.push_back(h);
      void* thunk = MakeThunk(index);
      if (!thunk || !WriteSlot(imp.slot, thunk)) g_hooks.hooks.back().slot = nullptr;
    }
  }
  ~ImportHooks() {
    for (Hook& h : g_hooks.hooks)
      if (h.slot) WriteSlot(h.slot, h.original);
    g_hooks.hooks.clear();
    g_hooks.timing = g_hooks.window = false;
  }
  ImportHooks(const ImportHooks&) = delete;
  ImportHooks& operator=(const ImportHooks&) = delete;

  int64_t AllocationCalls() const {
    return Sum([](const Hook& h) { return h.counts_as_allocation; });
  }
  int64_t CreationCalls() const {
    return Sum([](const Hook& h) { return h.counts_as_creation; });
  }
  std::vector<int64_t> Calls() const {
    std::vector<int64_t> c;
    for (const Hook& h : g_hooks.hooks) c.push_back(h.calls);
    return c;
  }

 private:
  template <typename Pred>
  int64_t Sum(Pred pred) const {
    int64_t n = 0;
    for (const Hook& h : g_hooks.hooks)
      if (pred(h)) n += h.calls;
    return n;
  }
};

// What a hooked call adds: inside its own timed span (`inner`) and to its
// caller (`full`), measured on a thunk around a function that does nothing.
int __stdcall NothingAtAll(int v) { return v; }

struct HookOverhead {
  double inner = 0, full = 0;
};

HookOverhead MeasureHookOverhead() {
  g_hooks.hooks.clear();
  Hook h;
  h.name = "calibration";
  h.original = reinterpret_cast<void*>(&NothingAtAll);
  g_hooks.hooks.push_back(h);
  auto hooked = reinterpret_cast<int(__stdcall*)(int)>(MakeThunk(0));
  int(__stdcall* volatile direct)(int) = &NothingAtAll;
  g_hooks.timing = g_hooks.window = true;
  std::vector<double> inner, full;
  const int batch = 20;
  for (int s = 0; s < 101; ++s) {
    int64_t before = g_hooks.hooks[0].window_ticks;
    int64_t t0 = Now();
    for (int i = 0; i < batch; ++i) hooked(i);
    int64_t t1 = Now();
    for (int i = 0; i < batch; ++i) direct(i);
    int64_t t2 = Now();
    inner.push_back(TicksToNs(static_cast<double>(g_hooks.hooks[0].window_ticks - before)) / batch);
    full.push_back(std::max(0.0, PerCall(t0, t1, batch) - PerCall(t1, t2, batch)));
  }
  g_hooks.timing = g_hooks.window = false;
  g_hooks.hooks.clear();
  return {Percentile(inner, 0.5), Percentile(full, 0.5)};
}

double HookInnerOverheadNs() { return MeasureHookOverhead().inner; }

// While imports are profiled, a function the module looks up by name (in its
// companion library) is handed back through a timing thunk too.
void* ProfiledLookup(HMODULE module, const char* name, void* fn) {
  if (!fn || !g_hooks.timing || g_hooks.hooks.size() >= kMaxHooks) return fn;
  for (size_t i = 0; i < g_hooks.hooks.size(); ++i)
    if (!g_hooks.hooks[i].slot && g_hooks.hooks[i].original == fn) return g_hooks.code + i * 10;
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  Hook h;
  h.dll = Lower(Base(std::string(path, n)));
  h.name = name;
  h.original = fn;
  g_hooks.hooks.push_back(h);
  return MakeThunk(static_cast<int>(g_hooks.hooks.size() - 1));
}

// Every import the module calls while `run` runs, timed: where an update's
// or a click's time goes when it goes outside the module.
std::map<std::string, ImportShare> ProfileImports(Host& host, int units, int per_unit,
                                                  const std::function<void()>& run_unit) {
  std::map<std::string, ImportShare> out;
  const double inner_overhead = HookInnerOverheadNs();
  ImportHooks hooks(host.module(), [](const Hook&) { return true; });
  // Per hook: time per call of the unit, one entry per unit, and calls.
  std::vector<std::vector<double>> ns;
  std::vector<int64_t> calls, last_ticks, last_calls;
  for (int u = 0; u < units; ++u) {
    g_hooks.timing = g_hooks.window = true;
    run_unit();
    g_hooks.timing = g_hooks.window = false;
    const size_t n = g_hooks.hooks.size();  // lookups may have added hooks
    ns.resize(n);
    calls.resize(n, 0);
    last_ticks.resize(n, 0);
    last_calls.resize(n, 0);
    for (size_t i = 0; i < n; ++i) {
      const Hook& h = g_hooks.hooks[i];
      int64_t k = h.window_calls - last_calls[i];
      double t = TicksToNs(static_cast<double>(h.window_ticks - last_ticks[i]));
      ns[i].push_back(std::max(0.0, t - k * inner_overhead) / per_unit);
      calls[i] += k;
      last_ticks[i] = h.window_ticks;
      last_calls[i] = h.window_calls;
    }
  }
  for (size_t i = 0; i < ns.size(); ++i) {
    if (calls[i] == 0) continue;
    const Hook& h = g_hooks.hooks[i];
    std::vector<double> v = ns[i];
    v.resize(units, 0.0);  // a hook made late took nothing in the units before it
    ImportShare& share = out[h.dll + "!" + h.name];
    share.calls = static_cast<double>(calls[i]) / (static_cast<double>(units) * per_unit);
    share.ns = Percentile(v, 0.5);
  }
  return out;
}

// ---- the services the module reaches, with two of them tapped ----
//
// The module's services word is pointed at a copy of the host's table in
// which UpdateElements and InitializeElements note when they run. The
// host's evaluation behind UpdateElements can be switched off, so that an
// update is timed without the host's share (which is timed on its own).

struct Tap {
  void** host_table = nullptr;
  void* table[64] = {};
  bool forward_update = true;
  bool stamp = false;         // read the counter around the host's share (refresh timing only)
  bool marks_window = false;  // the redraw between the two services is the hooks' window
  int update_calls = 0;
  int initialize_calls = 0;
  int64_t lookup_calls = 0;
  int64_t update_enter = 0, update_exit = 0, initialize_enter = 0;
  bool initialize_after_update = false;
};

Tap g_tap;

void __stdcall TapUpdateElements(ElementHeader* root) {
  ++g_tap.update_calls;
  if (g_tap.stamp) g_tap.update_enter = Now();
  if (g_tap.forward_update)
    reinterpret_cast<void(__stdcall*)(ElementHeader*)>(g_tap.host_table[27])(root);
  if (g_tap.stamp) g_tap.update_exit = Now();
  g_tap.initialize_after_update = false;
  if (g_tap.marks_window) g_hooks.window = true;  // a redraw, if any, comes next
}

void __stdcall TapInitializeElements(ElementHeader* e) {
  if (g_tap.stamp && g_tap.update_calls > 0 && !g_tap.initialize_after_update) {
    g_tap.initialize_enter = Now();
    g_tap.initialize_after_update = true;
  }
  if (g_tap.marks_window) g_hooks.window = false;
  ++g_tap.initialize_calls;
  reinterpret_cast<void(__stdcall*)(ElementHeader*)>(g_tap.host_table[26])(e);
}

void __stdcall TapLookupVar(ModuleVar* record) {
  ++g_tap.lookup_calls;
  reinterpret_cast<void(__stdcall*)(ModuleVar*)>(g_tap.host_table[40])(record);
}

class TappedServices {
 public:
  explicit TappedServices(Host& host) : host_(host) {
    g_tap = Tap{};
    g_tap.host_table = static_cast<void**>(host.import_table()[0].pointer);
    std::copy(g_tap.host_table, g_tap.host_table + 64, g_tap.table);
    g_tap.table[27] = reinterpret_cast<void*>(&TapUpdateElements);
    g_tap.table[26] = reinterpret_cast<void*>(&TapInitializeElements);
    g_tap.table[40] = reinterpret_cast<void*>(&TapLookupVar);
    host.import_table()[0].pointer = g_tap.table;
  }
  ~TappedServices() { host_.import_table()[0].pointer = g_tap.host_table; }
  TappedServices(const TappedServices&) = delete;
  TappedServices& operator=(const TappedServices&) = delete;

 private:
  Host& host_;
};

// One call of the gauge's update routine, straight, as the simulator makes it.
void CallUpdate(Host& host) {
  bench_call_stdcall(reinterpret_cast<void*>(host.gauge()->update), nullptr, 0, nullptr, nullptr);
}

// Host bookkeeping that grows with every call is emptied outside the timed
// spans (the vectors keep their capacity, so nothing is allocated later).
void Tidy(Host& host) {
  host.ClearEvents();
  host.ClearServiceLog();
}

// ---- which updates run a refresh block ----

struct Rhythm {
  int period = 0;         // 0: every update is alike
  int until_refresh = 0;  // ordinary updates to run before the next refresh
};

// Runs a few dozen updates and watches which of them ask the host for an
// element update: when only some do, those run the refresh block.
Rhythm FindRhythm(Host& host) {
  Rhythm r;
  std::vector<int> refresh_at;
  const int kProbe = 64;
  int with = 0;
  for (int i = 0; i < kProbe; ++i) {
    int before = g_tap.update_calls;
    CallUpdate(host);
    if (g_tap.update_calls != before) {
      refresh_at.push_back(i);
      ++with;
    }
    Tidy(host);
  }
  if (with == 0 || with == kProbe || refresh_at.size() < 2) return r;
  r.period = refresh_at[refresh_at.size() - 1] - refresh_at[refresh_at.size() - 2];
  int next = refresh_at.back() + r.period;
  r.until_refresh = next - kProbe;
  while (r.until_refresh < 0) r.until_refresh += r.period;
  return r;
}

// Runs `n` updates that are expected to be ordinary; false when one was not.
bool RunOrdinary(Host& host, int n) {
  int before = g_tap.update_calls;
  for (int i = 0; i < n; ++i) CallUpdate(host);
  return g_tap.update_calls == before;
}

// ---- heap and GDI counters ----

struct HeapCount {
  int64_t blocks = 0, bytes = 0;
};

HeapCount WalkHeaps() {
  HeapCount c;
  HANDLE heaps[256];
  DWORD n = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < n && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e{};
    e.lpData = nullptr;
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        ++c.blocks;
        c.bytes += e.cbData;
      }
    HeapUnlock(heaps[i]);
  }
  return c;
}

int64_t GdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

// Private memory of the process: the system's own count where it keeps one,
// else committed private pages plus the writable (copy-on-write) pages of
// loaded images, which is what that count is made of.
int64_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                           sizeof pmc) &&
      pmc.PrivateUsage != 0)
    return static_cast<int64_t>(pmc.PrivateUsage);
  int64_t total = 0;
  MEMORY_BASIC_INFORMATION mbi;
  for (uintptr_t at = 0x10000; at < 0x80000000u;) {
    if (!VirtualQuery(reinterpret_cast<void*>(at), &mbi, sizeof mbi)) break;
    const DWORD writable =
        PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (mbi.State == MEM_COMMIT &&
        (mbi.Type == MEM_PRIVATE || (mbi.Type == MEM_IMAGE && (mbi.Protect & writable))))
      total += static_cast<int64_t>(mbi.RegionSize);
    uintptr_t next = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Ordinary updates with every allocating or creating import counted, and
// the process heaps and GDI objects compared around runs of them. The host's
// element evaluation runs as in a real frame, so callbacks count too.
AllocationCheck CheckOrdinary(Host& host, int updates, bool with_refresh_blocks = false) {
  AllocationCheck c;
  TappedServices tap(host);
  g_tap.forward_update = true;
  Rhythm rhythm = FindRhythm(host);
  ImportHooks hooks(host.module(),
                    [](const Hook& h) { return h.counts_as_allocation || h.counts_as_creation; });
  const int run = rhythm.period > 0 ? rhythm.period - 1 : 25;
  auto run_once = [&](bool count) {
    if (rhythm.period > 0) RunOrdinary(host, rhythm.until_refresh);
    std::vector<int64_t> calls_before = hooks.Calls();
    HeapCount heap_before = WalkHeaps();
    int64_t gdi_before = GdiObjects();
    if (rhythm.period > 0) {
      CallUpdate(host);  // the refresh block: counted only when asked for
      if (!with_refresh_blocks) {
        Tidy(host);
        calls_before = hooks.Calls();
        heap_before = WalkHeaps();
        gdi_before = GdiObjects();
      }
    }
    // Only a gauge with a refresh block has updates that are not ordinary.
    bool ordinary = RunOrdinary(host, run) || rhythm.period == 0;
    rhythm.until_refresh = 0;
    HeapCount heap_after = WalkHeaps();
    int64_t gdi_after = GdiObjects();
    std::vector<int64_t> calls_after = hooks.Calls();
    Tidy(host);
    if (!count) return;
    c.updates += run;
    if (!ordinary) c.culprits.push_back("(a refresh block ran where an ordinary update was due)");
    c.heap_block_growth += heap_after.blocks - heap_before.blocks;
    c.heap_byte_growth += heap_after.bytes - heap_before.bytes;
    c.gdi_object_growth += gdi_after - gdi_before;
    for (size_t i = 0; i < calls_after.size(); ++i) {
      int64_t n = calls_after[i] - calls_before[i];
      if (n == 0) continue;
      const Hook& h = g_hooks.hooks[i];
      if (h.counts_as_allocation) c.allocation_calls += n;
      if (h.counts_as_creation) c.gdi_creations += n;
      std::string what = h.dll + "!" + h.name;
      if (std::find(c.culprits.begin(), c.culprits.end(), what) == c.culprits.end())
        c.culprits.push_back(what);
    }
  };
  run_once(false);  // the host's bookkeeping reaches its size here
  run_once(false);
  while (c.updates < updates) run_once(true);
  return c;
}

// Where ordinary updates spend time in library calls, per update.
std::map<std::string, ImportShare> ProfileOrdinary(Host& host, int updates) {
  TappedServices tap(host);
  g_tap.forward_update = false;
  Rhythm rhythm = FindRhythm(host);
  const int run = rhythm.period > 0 ? rhythm.period - 1 : 12;
  const int cycles = std::max(1, updates / run);
  RunOrdinary(host, rhythm.until_refresh);
  return ProfileImports(host, cycles, run, [&] {
    if (rhythm.period > 0) {
      g_hooks.window = false;
      g_tap.forward_update = true;
      CallUpdate(host);  // the refresh block, outside the window
      g_tap.forward_update = false;
      g_hooks.window = true;
    }
    for (int i = 0; i < run; ++i) CallUpdate(host);
    Tidy(host);
  });
}

// ---- the measurements ----

struct Callback {
  void* fn;
  std::vector<uint32_t> args;
};

std::vector<Callback> CallbacksOf(Host& host) {
  std::vector<Callback> out;
  auto value = [&](ValueCallback cb, ModuleVar& v) {
    if (cb)
      out.push_back(
          {reinterpret_cast<void*>(cb), {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&v))}});
  };
  for (const ElementView& view : host.Elements()) {
    ElementHeader* e = view.element;
    switch (e->kind) {
      case kIcon: {
        auto* icon = reinterpret_cast<IconElement*>(e);
        value(icon->source_callback, icon->source);
        break;
      }
      case kSlider: {
        auto* s = reinterpret_cast<SliderElement*>(e);
        value(s->x_axis.callback, s->x_axis.source);
        value(s->y_axis.callback, s->y_axis.source);
        break;
      }
      case kMovingImage: {
        auto* m = reinterpret_cast<MovingImageElement*>(e);
        value(m->x_axis.callback, m->x_axis.source);
        value(m->y_axis.callback, m->y_axis.source);
        break;
      }
      case kString: {
        auto* s = reinterpret_cast<StringElement*>(e);
        if (s->text_callback && s->text) {
          uint32_t words[2];
          std::memcpy(words, &s->sources[0].value, 8);
          out.push_back({reinterpret_cast<void*>(s->text_callback), {words[0], words[1]}});
        }
        break;
      }
      default:
        break;
    }
  }
  return out;
}

// Every callback field of the tree, so that the baseline can leave them out.
std::vector<void**> CallbackFields(Host& host) {
  std::vector<void**> out;
  auto add = [&](auto& field) { out.push_back(reinterpret_cast<void**>(&field)); };
  for (const ElementView& view : host.Elements()) {
    ElementHeader* e = view.element;
    switch (e->kind) {
      case kIcon:
        add(reinterpret_cast<IconElement*>(e)->source_callback);
        break;
      case kSlider:
        add(reinterpret_cast<SliderElement*>(e)->x_axis.callback);
        add(reinterpret_cast<SliderElement*>(e)->y_axis.callback);
        break;
      case kMovingImage:
        add(reinterpret_cast<MovingImageElement*>(e)->x_axis.callback);
        add(reinterpret_cast<MovingImageElement*>(e)->y_axis.callback);
        break;
      case kString:
        add(reinterpret_cast<StringElement*>(e)->text_callback);
        break;
      default:
        break;
    }
  }
  return out;
}

Figure TimeEvaluation(Host& host, int samples) {
  auto evaluate = reinterpret_cast<void(__stdcall*)(ElementHeader*)>(
      static_cast<void**>(host.import_table()[0].pointer)[27]);
  const int batch = 20;
  std::vector<double> ns;
  for (int s = -5; s < samples; ++s) {
    int64_t t0 = Now();
    for (int i = 0; i < batch; ++i) evaluate(host.root());
    int64_t t1 = Now();
    Tidy(host);
    if (s >= 0) ns.push_back(PerCall(t0, t1, batch));
  }
  return Summarize(ns);
}

Figure TimeCallbacks(Host& host, const std::vector<Callback>& callbacks, int samples) {
  const int batch = 10;
  std::vector<double> ns;
  for (int s = -5; s < samples; ++s) {
    int64_t t0 = Now();
    for (int i = 0; i < batch; ++i)
      for (const Callback& c : callbacks) {
        double st0;
        bench_call_stdcall(c.fn, c.args.data(), static_cast<uint32_t>(c.args.size()), nullptr,
                           &st0);
      }
    int64_t t1 = Now();
    Tidy(host);
    if (s >= 0) ns.push_back(PerCall(t0, t1, batch));
  }
  return Summarize(ns);
}

// A click must not wait for a person: library dialogs found by name are
// reported missing while clicks are timed, so their buttons do the rest of
// their work and return.
FARPROC WINAPI NoDialogGetProcAddress(HMODULE module, LPCSTR name) {
  if (HIWORD(reinterpret_cast<uintptr_t>(name)) != 0) {
    size_t n = std::strlen(name);
    if (n >= 6 && std::strcmp(name + n - 6, "Dialog") == 0) return nullptr;
    return reinterpret_cast<FARPROC>(
        ProfiledLookup(module, name, reinterpret_cast<void*>(GetProcAddress(module, name))));
  }
  return GetProcAddress(module, name);
}

Figure TimeClicks(Host& host, int samples, int* areas,
                  std::map<std::string, ImportShare>* imports) {
  std::vector<std::pair<int, int>> centres;
  if (MouseRect* list = host.mouse_list())
    for (MouseRect* r = list; r->kind != RectListEnd && centres.size() < 1024; ++r)
      if (r->kind == RectChild)
        centres.push_back({r->box.x + r->box.width / 2, r->box.y + r->box.height / 2});
  *areas = static_cast<int>(centres.size());
  if (centres.empty()) return {};
  std::vector<std::pair<void**, void*>> patched;
  for (const ImportSlot& imp : ModuleImports(host.module()))
    if (Lower(imp.dll) == "kernel32.dll" && imp.name == "GetProcAddress") {
      patched.push_back({imp.slot, *imp.slot});
      WriteSlot(imp.slot, reinterpret_cast<void*>(&NoDialogGetProcAddress));
    }
  std::vector<double> ns;
  for (int s = -2; s < samples; ++s) {
    int64_t t0 = Now();
    for (auto [x, y] : centres) host.Click(x, y);
    int64_t t1 = Now();
    Tidy(host);
    if (s >= 0) ns.push_back(PerCall(t0, t1, static_cast<int>(centres.size())));
  }
  const int rounds = 8;
  *imports = ProfileImports(host, rounds, static_cast<int>(centres.size()), [&] {
    for (auto [x, y] : centres) host.Click(x, y);
    Tidy(host);
  });
  for (auto [slot, original] : patched) WriteSlot(slot, original);
  return Summarize(ns);
}

// The bench's own LookupVar, which every update that reads a variable pays.
double TimeLookupVar(Host& host, int samples) {
  auto lookup = reinterpret_cast<void(__stdcall*)(ModuleVar*)>(g_tap.host_table[40]);
  ModuleVar v{};
  v.id = 0x47;
  const int batch = 50;
  std::vector<double> ns;
  for (int s = 0; s < samples; ++s) {
    int64_t t0 = Now();
    for (int i = 0; i < batch; ++i) lookup(&v);
    int64_t t1 = Now();
    Tidy(host);
    ns.push_back(PerCall(t0, t1, batch));
  }
  return Percentile(ns, 0.5);
}

void TimeUpdates(Host& host, const Settings& settings, ModuleFigures* f) {
  TappedServices tap(host);
  g_tap.forward_update = false;
  Rhythm rhythm = FindRhythm(host);
  f->refresh_period = rhythm.period;
  const int samples = settings.samples;
  {
    if (rhythm.period > 0) {
      RunOrdinary(host, rhythm.until_refresh);
      CallUpdate(host);  // the refresh block
    }
    int64_t before = g_tap.lookup_calls;
    const int probe = rhythm.period > 0 ? rhythm.period - 1 : 26;
    if (RunOrdinary(host, probe) || rhythm.period == 0)
      f->lookups_per_update = static_cast<double>(g_tap.lookup_calls - before) / probe;
    rhythm = FindRhythm(host);
    Tidy(host);
  }
  f->lookup_ns = TimeLookupVar(host, samples);
  if (rhythm.period == 0) {
    const int batch = 25;
    for (bool with_eval : {false, true}) {
      g_tap.forward_update = with_eval;
      std::vector<double> ns;
      for (int s = -5; s < samples; ++s) {
        int64_t t0 = Now();
        for (int i = 0; i < batch; ++i) CallUpdate(host);
        int64_t t1 = Now();
        Tidy(host);
        if (s >= 0) ns.push_back(PerCall(t0, t1, batch));
      }
      (with_eval ? f->update_with_eval : f->update) = Summarize(ns);
    }
    return;
  }
  // A periodic refresh: each cycle times the refresh-block update on its own
  // (with the host's element update it asks for) and the ordinary updates
  // between two refreshes as one batch.
  std::vector<double> ordinary, refresh, host_share, redraw;
  const int between = rhythm.period - 1;
  RunOrdinary(host, rhythm.until_refresh);
  Tidy(host);
  for (int s = -3; s < samples; ++s) {
    g_tap.forward_update = true;
    g_tap.stamp = true;
    int calls = g_tap.update_calls;
    int64_t t0 = Now();
    CallUpdate(host);
    int64_t t1 = Now();
    bool was_refresh = g_tap.update_calls == calls + 1;
    Tidy(host);
    g_tap.forward_update = false;
    g_tap.stamp = false;
    int64_t t2 = Now();
    bool ordinary_ok = RunOrdinary(host, between);
    int64_t t3 = Now();
    Tidy(host);
    if (!was_refresh || !ordinary_ok) {  // out of step: find the rhythm again
      rhythm = FindRhythm(host);
      if (rhythm.period == 0) break;
      RunOrdinary(host, rhythm.until_refresh);
      continue;
    }
    if (s < 0) continue;
    refresh.push_back(PerCall(t0, t1, 1));
    ordinary.push_back(PerCall(t2, t3, between));
    host_share.push_back(TicksToNs(static_cast<double>(g_tap.update_exit - g_tap.update_enter)));
    if (g_tap.initialize_after_update)
      redraw.push_back(TicksToNs(static_cast<double>(g_tap.initialize_enter - g_tap.update_exit)));
  }
  f->update = Summarize(ordinary);
  f->update_with_eval = f->update;  // ordinary updates ask for no element update
  f->refresh = Summarize(refresh);
  f->refresh_update_elements = Summarize(host_share);
  f->redraw = Summarize(redraw);
}

// The redraw again, with the module's library calls timed one by one. Each
// import's share is the median over the cycles, as the redraw's own figure.
void SplitRedraw(Host& host, int cycles, ModuleFigures* f) {
  if (f->refresh_period == 0 || f->redraw.samples == 0) return;
  const HookOverhead overhead = MeasureHookOverhead();
  const double inner_overhead = overhead.inner;
  TappedServices tap(host);
  g_tap.forward_update = true;
  Rhythm rhythm = FindRhythm(host);
  if (rhythm.period == 0) return;
  g_tap.marks_window = true;
  g_tap.stamp = true;
  ImportHooks hooks(host.module(),
                    [](const Hook& h) { return h.dll == "gdi32.dll" || h.dll == "user32.dll"; });
  RunOrdinary(host, rhythm.until_refresh);
  g_hooks.timing = true;
  g_hooks.window = false;
  const size_t n = g_hooks.hooks.size();
  std::vector<std::vector<double>> ns(n), calls(n);
  std::vector<double> own;
  for (int c = 0; c < cycles; ++c) {
    std::vector<int64_t> ticks0(n), calls0(n);
    for (size_t i = 0; i < n; ++i) {
      ticks0[i] = g_hooks.hooks[i].window_ticks;
      calls0[i] = g_hooks.hooks[i].window_calls;
    }
    CallUpdate(host);
    g_hooks.window = false;
    // The redraw as the tap saw it, less what the hooked calls took and
    // what the hooks added, is the module's own code in this cycle.
    double redraw = TicksToNs(static_cast<double>(g_tap.initialize_enter - g_tap.update_exit));
    for (size_t i = 0; i < n; ++i) {
      double k = static_cast<double>(g_hooks.hooks[i].window_calls - calls0[i]);
      double raw = TicksToNs(static_cast<double>(g_hooks.hooks[i].window_ticks - ticks0[i]));
      ns[i].push_back(std::max(0.0, raw - k * inner_overhead));
      calls[i].push_back(k);
      redraw -= raw + k * (overhead.full - inner_overhead);
    }
    if (g_tap.initialize_after_update) own.push_back(std::max(0.0, redraw));
    RunOrdinary(host, rhythm.period - 1);
    Tidy(host);
  }
  g_hooks.timing = false;
  RedrawParts& p = f->redraw_parts;
  for (size_t i = 0; i < n; ++i) {
    const Hook& h = g_hooks.hooks[i];
    double k = Percentile(calls[i], 0.5);
    if (k == 0) continue;
    double t = Percentile(ns[i], 0.5);
    ImportShare& share = p.imports[h.name];
    share.calls += k;
    share.ns += t;
    switch (h.category) {
      case kObjects:
        p.objects_ns += t;
        break;
      case kCopy:
        p.copy_ns += t;
        break;
      case kDrawing:
        p.drawing_ns += t;
        break;
      default:
        p.other_ns += t;
        break;
    }
  }
  p.own_ns = Percentile(own, 0.5);
}

json FigureJson(const Figure& f) {
  return {{"median", f.median}, {"p10", f.p10}, {"p90", f.p90}, {"samples", f.samples}};
}

json ToJsonObject(const ModuleFigures& f) {
  auto shares = [](const std::map<std::string, ImportShare>& m) {
    json o = json::object();
    for (const auto& [name, share] : m) o[name] = {{"calls", share.calls}, {"ns", share.ns}};
    return o;
  };
  json j;
  j["module"] = f.module;
  j["path"] = f.path;
  j["size_bytes"] = f.size_bytes;
  j["private_bytes"] = f.private_bytes;
  j["private_before_bytes"] = f.private_before_bytes;
  j["refresh_period"] = f.refresh_period;
  j["update_ns_median"] = f.update.median;
  j["update_ns_spread"] = f.update.spread();
  j["update_ns"] = FigureJson(f.update);
  j["update_with_eval_ns"] = FigureJson(f.update_with_eval);
  j["lookups_per_update"] = f.lookups_per_update;
  j["bench_lookupvar_ns"] = f.lookup_ns;
  j["update_budget_ns"] = f.update_budget_ns;
  j["update_within_budget"] = f.update.median < f.update_budget_ns;
  if (f.refresh_period > 0) {
    j["refresh_ns_median"] = f.refresh.median;
    j["refresh_ns_spread"] = f.refresh.spread();
    j["refresh_update_elements_ns"] = FigureJson(f.refresh_update_elements);
    j["drawscreen_ns_median"] = f.redraw.median;
    j["drawscreen_ns_spread"] = f.redraw.spread();
    const RedrawParts& p = f.redraw_parts;
    json imports = shares(p.imports);
    j["drawscreen_parts"] = {{"font_and_objects_ns", p.objects_ns},
                             {"drawing_ns", p.drawing_ns},
                             {"copy_ns", p.copy_ns},
                             {"own_code_ns", p.own_ns},
                             {"other_calls_ns", p.other_ns},
                             {"imports", imports}};
  }
  j["eval_ns_median"] = f.eval.median;
  j["eval_ns_spread"] = f.eval.spread();
  j["baseline_eval_ns_median"] = f.baseline_eval.median;
  j["baseline_eval_ns_spread"] = f.baseline_eval.spread();
  j["baseline_ratio"] = f.baseline_ratio;
  j["callbacks_ns_median"] = f.callbacks.median;
  j["callbacks_ns_spread"] = f.callbacks.spread();
  j["callback_count"] = f.callback_count;
  j["element_count"] = f.element_count;
  j["click_ns_median"] = f.click.median;
  j["click_ns_spread"] = f.click.spread();
  j["click_areas"] = f.click_areas;
  j["update_imports"] = shares(f.update_imports);
  j["click_imports"] = shares(f.click_imports);
  j["eval_imports"] = shares(f.eval_imports);
  j["ordinary_updates_checked"] = f.ordinary.updates;
  j["ordinary_update_allocations"] = f.ordinary.allocation_calls;
  j["ordinary_update_gdi_creations"] = f.ordinary.gdi_creations;
  j["ordinary_heap_block_growth"] = f.ordinary.heap_block_growth;
  j["ordinary_heap_byte_growth"] = f.ordinary.heap_byte_growth;
  j["ordinary_gdi_object_growth"] = f.ordinary.gdi_object_growth;
  j["ordinary_culprits"] = f.ordinary.culprits;
  j["counter_overhead_ns"] = CounterOverheadNs();
  j["violations"] = f.violations;
  return j;
}

std::string Fixed(double v, int decimals = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string Pad(const std::string& s, size_t width, bool right = true) {
  if (s.size() >= width) return s;
  return right ? std::string(width - s.size(), ' ') + s : s + std::string(width - s.size(), ' ');
}

double Num(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_number() ? it->get<double>() : 0.0;
}

std::string MedianSpread(const json& j, const std::string& prefix) {
  return Fixed(Num(j, (prefix + "_median").c_str())) + " ±" +
         Fixed(Num(j, (prefix + "_spread").c_str()) / 2);
}

std::string TableFromJson(const json& all) {
  std::string out;
  auto row = [&](const std::vector<std::string>& cells) {
    static const size_t widths[] = {18, 8, 9, 14, 8, 15, 15, 6, 11, 19, 9};
    std::string line = "|";
    for (size_t i = 0; i < cells.size(); ++i) {
      line.append(1, ' ');
      line.append(Pad(cells[i], i < 11 ? widths[i] : 8, i != 0));
      line.append(" |");
    }
    out.append(line);
    out.append("\n");
  };
  row({"module", "size KiB", "priv KiB", "update ns", "budget", "eval ns", "baseline ns", "ratio",
       "callbk ns", "click ns", "alloc/GDI"});
  row({std::string(18, '-'), std::string(8, '-'), std::string(9, '-'), std::string(14, '-'),
       std::string(8, '-'), std::string(15, '-'), std::string(15, '-'), std::string(6, '-'),
       std::string(11, '-'), std::string(19, '-'), std::string(9, '-')});
  for (const json& j : all) {
    bool ok = j.value("update_within_budget", false);
    row({j.value("module", std::string("?")), Fixed(Num(j, "size_bytes") / 1024, 1),
         Fixed(Num(j, "private_bytes") / 1024, 0), MedianSpread(j, "update_ns"),
         std::string(ok ? "ok " : "OVER ") + Fixed(Num(j, "update_budget_ns") / 1000, 0) + "us",
         MedianSpread(j, "eval_ns"), MedianSpread(j, "baseline_eval_ns"),
         Fixed(Num(j, "baseline_ratio"), 2), MedianSpread(j, "callbacks_ns"),
         MedianSpread(j, "click_ns"),
         Fixed(Num(j, "ordinary_update_allocations"), 0) + "/" +
             Fixed(Num(j, "ordinary_update_gdi_creations"), 0)});
  }
  for (const json& j : all) {
    if (Num(j, "refresh_period") <= 0) continue;
    out += "\n" + j.value("module", std::string("?")) + ": refresh block every " +
           Fixed(Num(j, "refresh_period")) + " updates: " + MedianSpread(j, "refresh_ns") +
           " ns, of which the host's element update " +
           Fixed(Num(j["refresh_update_elements_ns"], "median")) + " ns and the screen redraw " +
           MedianSpread(j, "drawscreen_ns") + " ns\n";
    const json& p = j["drawscreen_parts"];
    out += "  redraw parts (ns): font and objects " + Fixed(Num(p, "font_and_objects_ns")) +
           ", drawing " + Fixed(Num(p, "drawing_ns")) + ", copy " + Fixed(Num(p, "copy_ns")) +
           ", module's own code " + Fixed(Num(p, "own_code_ns")) + ", other " +
           Fixed(Num(p, "other_calls_ns")) + "\n";
    std::vector<std::pair<double, std::string>> imports;
    for (auto it = p["imports"].begin(); it != p["imports"].end(); ++it)
      imports.push_back(
          {Num(it.value(), "ns"), it.key() + " x" + Fixed(Num(it.value(), "calls"), 0)});
    std::sort(imports.rbegin(), imports.rend());
    out += "  largest calls:";
    for (size_t i = 0; i < imports.size() && i < 8; ++i)
      out += " " + imports[i].second + " " + Fixed(imports[i].first) + " ns;";
    out += "\n";
  }
  auto top = [&](const json& m, size_t count) {
    std::vector<std::pair<double, std::string>> v;
    for (auto it = m.begin(); it != m.end(); ++it)
      v.push_back({Num(it.value(), "ns"), it.key() + " x" + Fixed(Num(it.value(), "calls"), 2)});
    std::sort(v.rbegin(), v.rend());
    std::string line;
    for (size_t i = 0; i < v.size() && i < count; ++i)
      line += " " + v[i].second + " " + Fixed(v[i].first) + " ns;";
    return line.empty() ? std::string(" none") : line;
  };
  out += "\nlibrary calls per ordinary update / per click (largest):\n";
  for (const json& j : all)
    if (j.contains("update_imports"))
      out += "  " + j.value("module", std::string("?")) + ": update" + top(j["update_imports"], 4) +
             " | click" + top(j["click_imports"], 4) + "\n";
  for (const json& j : all) {
    if (j.contains("ordinary_culprits") && !j["ordinary_culprits"].empty())
      out += j.value("module", std::string("?")) + ": ordinary updates called " +
             j["ordinary_culprits"].dump() + "\n";
    if (j.contains("violations") && !j["violations"].empty())
      out += j.value("module", std::string("?")) + ": violations " + j["violations"].dump() + "\n";
    if (j.contains("error"))
      out += j.value("module", std::string("?")) + ": " + j.value("error", std::string()) + "\n";
  }
  if (!all.empty())
    out += "\nns per call: median ±half the p10-p90 spread; counter overhead " +
           Fixed(Num(all[0], "counter_overhead_ns")) +
           " ns per reading, taken out. update: ordinary update without the host's element "
           "evaluation; eval: the host's evaluation of the tree; baseline: the same tree with "
           "no callbacks; callbk: the gauge's callbacks alone, per frame; alloc/GDI: "
           "allocations and GDI creations made by the module in ordinary updates.\n";
  return out;
}

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  size_t slash = p.find_last_of("/\\");
  return slash == std::string::npos ? "." : p.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ModulesIn(const std::string& folder) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*.gau").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      out.push_back(folder + "\\" + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

// Runs one module's measurement in a process of its own, so that each
// module's memory figures start from the same clean state.
json MeasureInChild(const std::string& module, const std::vector<std::string>& pass_on) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string cmd = std::string("\"") + exe + "\" perf \"" + module + "\" --json";
  for (const std::string& a : pass_on) cmd += " \"" + a + "\"";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE read_end, write_end;
  json failed = {{"module", Base(module)}, {"path", module}};
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) return failed;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write_end;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  BOOL started =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(write_end);
  std::string text;
  if (started) {
    char buf[4096];
    DWORD got;
    while (ReadFile(read_end, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(read_end);
  json j = json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    failed["error"] = started ? "the measurement did not finish" : "cannot start the bench";
    return failed;
  }
  return j;
}

// The calibration loops as this build runs them, in ns per iteration.
std::string EmulatedCalibration() {
  std::string out;
  const char* names[] = {"integer", "floating-point", "trigonometric"};
  for (CalibrationKind kind :
       {CalibrationKind::kInteger, CalibrationKind::kFloating, CalibrationKind::kTrigonometric}) {
    const uint32_t n = CalibrationIterations(kind);
    double best = 1e300;
    volatile uint32_t sink = 0;
    for (int run = 0; run < 3; ++run) {
      int64_t t0 = Now();
      sink = sink ^ CalibrationLoop(n, kind);
      int64_t t1 = Now();
      best = std::min(best, TicksToNs(static_cast<double>(t1 - t0)));
    }
    out += std::string(names[static_cast<int>(kind)]) + " loop: " + Fixed(best / n, 3) +
           " ns per iteration\n";
  }
  return out;
}

// A new temporary folder holding the libraries and settings files of
// `folder`; empty when it cannot be made.
std::string PrivateCopy(const std::string& folder) {
  char base[MAX_PATH], name[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, base) || !GetTempFileNameA(base, "prf", 0, name)) return "";
  DeleteFileA(name);
  if (!CreateDirectoryA(name, nullptr)) return "";
  for (const char* pattern : {"\\*.dll", "\\*.ini"}) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        CopyFileA((folder + "\\" + fd.cFileName).c_str(),
                  (std::string(name) + "\\" + fd.cFileName).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  return name;
}

void RemoveCopy(const std::string& folder) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((folder + "\\" + fd.cFileName).c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

int PerfUsage() {
  std::fprintf(
      stderr,
      "usage: gaugebench perf MODULE.gau [--json] [--samples N] [--companion-dir DIR]\n"
      "       gaugebench perf --all [FOLDER] [--json] [--samples N] [--companion-dir DIR]\n"
      "       gaugebench perf --calibrate\n");
  return 2;
}

}  // namespace

bool MeasureModule(const std::string& path, const Settings& settings, ModuleFigures* f,
                   std::string* error) {
  *f = ModuleFigures{};
  f->module = Base(path);
  f->path = path;
  f->size_bytes = FileSize(path);
  CounterOverheadNs();
  f->private_before_bytes = PrivateBytes();
  Host host;
  if (!StartGauge(host, path, error)) return false;
  f->private_bytes = PrivateBytes() - f->private_before_bytes;
  if (!host.gauge() || !host.gauge()->update) {
    if (error) *error = path + " has no gauge with an update routine";
    return false;
  }
  const int samples = std::max(11, settings.samples);
  for (int i = 0; i < 3; ++i) host.Frame();  // the host's views and text buffers settle
  Tidy(host);

  TimeUpdates(host, settings, f);
  f->update_budget_ns = f->refresh_period > 0 ? 5000 : 2000;
  SplitRedraw(host, std::max(5, samples / 4), f);

  f->element_count = static_cast<int>(host.Elements().size());
  std::vector<Callback> callbacks = CallbacksOf(host);
  f->callback_count = static_cast<int>(callbacks.size());
  f->eval = TimeEvaluation(host, samples);
  {
    auto evaluate = reinterpret_cast<void(__stdcall*)(ElementHeader*)>(
        static_cast<void**>(host.import_table()[0].pointer)[27]);
    f->eval_imports = ProfileImports(host, 40, 5, [&] {
      for (int i = 0; i < 5; ++i) evaluate(host.root());
      Tidy(host);
    });
  }
  std::vector<void**> fields = CallbackFields(host);
  std::vector<void*> saved;
  for (void** field : fields) {
    saved.push_back(*field);
    *field = nullptr;
  }
  f->baseline_eval = TimeEvaluation(host, samples);
  for (size_t i = 0; i < fields.size(); ++i) *fields[i] = saved[i];
  f->baseline_ratio = f->baseline_eval.median > 0 ? f->eval.median / f->baseline_eval.median : 0;
  f->callbacks = TimeCallbacks(host, callbacks, samples);

  f->ordinary = CheckOrdinary(host, 300);
  f->update_imports = ProfileOrdinary(host, 120);
  // An even number of passes over the areas brings toggles back to where
  // they started (the GPS's AP, Prev and Next change the companion's route
  // and settings, which it keeps in a file).
  int passes = std::max(12, samples / 2);
  passes += passes % 2;
  f->click = TimeClicks(host, passes, &f->click_areas, &f->click_imports);
  f->violations = host.violations();
  host.Kill();
  return true;
}

bool CheckOrdinaryUpdates(const std::string& path, int updates, AllocationCheck* out,
                          std::string* error, bool with_refresh_blocks) {
  Host host;
  if (!StartGauge(host, path, error)) return false;
  if (!host.gauge() || !host.gauge()->update) {
    if (error) *error = path + " has no gauge with an update routine";
    return false;
  }
  for (int i = 0; i < 3; ++i) host.Frame();
  Tidy(host);
  *out = CheckOrdinary(host, updates, with_refresh_blocks);
  host.Kill();
  return true;
}

std::string ToJson(const ModuleFigures& f) { return ToJsonObject(f).dump(2); }

std::string ToJson(const std::vector<ModuleFigures>& all) {
  json a = json::array();
  for (const ModuleFigures& f : all) a.push_back(ToJsonObject(f));
  return a.dump(2);
}

std::string ToTable(const std::vector<ModuleFigures>& all) {
  json a = json::array();
  for (const ModuleFigures& f : all) a.push_back(ToJsonObject(f));
  return TableFromJson(a);
}

int Main(int argc, char** argv) {
  std::string module, folder, companion;
  bool all = false, as_json = false, calibrate = false, as_is = false;
  Settings settings;
  std::vector<std::string> pass_on;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--all") {
      all = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') folder = argv[++i];
    } else if (a == "--json") {
      as_json = true;
    } else if (a == "--calibrate") {
      calibrate = true;
    } else if (a == "--samples" && i + 1 < argc) {
      settings.samples = std::atoi(argv[++i]);
      if (settings.samples < 11) return PerfUsage();
      pass_on.insert(pass_on.end(), {"--samples", argv[i]});
    } else if (a == "--companion-dir" && i + 1 < argc) {
      companion = argv[++i];
    } else if (a == "--companion-as-is" && i + 1 < argc) {  // a copy the parent made
      companion = argv[++i];
      as_is = true;
    } else if (a.rfind("--", 0) == 0 || !module.empty()) {
      return PerfUsage();
    } else {
      module = a;
    }
  }
  if (calibrate) {
    std::printf("%s", EmulatedCalibration().c_str());
    return 0;
  }
  if (all == !module.empty()) return PerfUsage();
  // The GPS finds its companion library by name: in the bench's folder, or
  // in the companion build folder next to it.
  if (companion.empty()) {
    for (const std::string& c : {ExeFolder() + "\\..\\companion", ExeFolder() + "\\.."})
      if (IsFolder(c)) {
        companion = c;
        break;
      }
  }
  // The GPS's clicks make its companion rewrite its settings file: they run
  // against a copy, so that timing never changes the pilot's settings.
  std::string copy;
  if (!companion.empty() && !as_is) {
    copy = PrivateCopy(companion);
    if (!copy.empty()) companion = copy;
  }
  if (!companion.empty()) {
    SetDllDirectoryA(companion.c_str());
    pass_on.insert(pass_on.end(), {"--companion-as-is", companion});
  }
  struct Cleanup {
    std::string folder;
    ~Cleanup() {
      if (!folder.empty()) RemoveCopy(folder);
    }
  } cleanup{copy};

  if (!all) {
    ModuleFigures f;
    std::string error;
    if (!MeasureModule(module, settings, &f, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::printf("%s\n", as_json ? ToJson(f).c_str() : ToTable({f}).c_str());
    return 0;
  }
  if (folder.empty()) folder = ExeFolder() + "\\..\\gauges";
  std::vector<std::string> modules = ModulesIn(folder);
  if (modules.empty()) {
    std::fprintf(stderr, "no .gau module in %s\n", folder.c_str());
    return 1;
  }
  json results = json::array();
  for (const std::string& m : modules) results.push_back(MeasureInChild(m, pass_on));
  if (as_json) {
    std::printf("%s\n", results.dump(2).c_str());
  } else {
    std::printf("%s", TableFromJson(results).c_str());
    std::printf(
        "\ncalibration (compare with the native build of the same loops, "
        "docs/performance.md):\n%s",
        EmulatedCalibration().c_str());
  }
  bool failed = false;
  for (const json& j : results) failed = failed || j.contains("error");
  return failed ? 1 : 0;
}

}  // namespace bench::perf
