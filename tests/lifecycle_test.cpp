// Load, install, kill and unload every module a thousand times: the process
// must end with the handles, GDI and USER objects and private memory it began
// with. The GPS must also survive every kind of companion library: the real
// one, none, one that exports only some functions, and one that breaks every
// promise about its records and its cursor.
// The memory counters come from kernel32 (K32GetProcessMemoryInfo).
#define PSAPI_VERSION 2
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "actions.h"
#include "bench_fixture.h"
#include "host.h"

namespace {

struct Usage {
  DWORD handles = 0, gdi = 0, user = 0;
  SIZE_T private_bytes = 0;
};

// Open kernel handles, counted by asking about every handle value in the
// range a process uses: GetProcessHandleCount is a stub on some hosts.
DWORD CountHandles() {
  DWORD n = 0, flags;
  for (uintptr_t v = 4; v < 4 * 16384; v += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) ++n;
  return n;
}

// Committed private memory, summed over the address space: the process
// memory counters read 0 on some hosts.
SIZE_T CommittedPrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (uintptr_t at = 0x10000;
       at < 0x7FFF0000u && VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info);
       at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize)
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
  return total;
}

Usage Measure() {
  Usage u;
  u.handles = CountHandles();
  u.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  u.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  u.private_bytes = CommittedPrivateBytes();
  return u;
}

// One life of a module as the simulator gives it: load, init, install,
// initialize, a refresh block's worth of frames, kill, deinit, unload.
void Life(const std::string& path, std::vector<std::string>* violations) {
  bench::Host host;
  std::string error;
  if (!bench::StartGauge(host, path, &error)) {
    violations->push_back(error);
    return;
  }
  for (int i = 0; i < 13; ++i) host.Frame();
  host.Kill();
  host.ModuleDeinit();
  host.Unload();
  for (const std::string& v : host.violations()) violations->push_back(v);
}

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override { SetDllDirectoryA(COMPANION_DIR); }
  void TearDown() override { SetDllDirectoryA(nullptr); }
};

// The counters must move when something leaks, or the test below proves
// nothing; this checks them with leaks of our own.
TEST_F(Lifecycle, CountersSeeLeaks) {
  Usage before = Measure();
  std::vector<HANDLE> events;
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 20; ++i) events.push_back(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  for (int i = 0; i < 20; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  void* block = VirtualAlloc(nullptr, 4 << 20, MEM_COMMIT, PAGE_READWRITE);
  Usage during = Measure();
  EXPECT_GE(during.handles, before.handles + 20);
  EXPECT_GE(during.private_bytes, before.private_bytes + (4 << 20));
  // Where the host keeps no count of GDI objects (it reports 0), a GDI leak
  // still shows in private memory, since the objects live in the process.
  if (before.gdi || during.gdi) {
    EXPECT_GE(during.gdi, before.gdi + 20);
  }
  VirtualFree(block, 0, MEM_RELEASE);
  for (HANDLE h : events) CloseHandle(h);
  for (HBRUSH b : brushes) DeleteObject(b);
  Usage after = Measure();
  EXPECT_EQ(after.handles, before.handles);
}

TEST_F(Lifecycle, AThousandLivesLeaveNothingBehind) {
  SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");
  std::vector<std::string> modules = testing_support::BuiltGauges();
  ASSERT_FALSE(modules.empty());
  for (const std::string& m : modules) {
    SCOPED_TRACE(m);
    std::vector<std::string> violations;
    // The first lives fill the bench's and the loader's caches.
    for (int i = 0; i < 20; ++i) Life(m, &violations);
    Usage before = Measure();
    for (int i = 0; i < 1000 && violations.empty(); ++i) Life(m, &violations);
    Usage after = Measure();
    EXPECT_TRUE(violations.empty()) << violations.front();
    EXPECT_LE(after.handles, before.handles) << "handles";
    std::printf("%s: handles %lu -> %lu, private bytes %lu -> %lu\n", m.c_str(), before.handles,
                after.handles, static_cast<unsigned long>(before.private_bytes),
                static_cast<unsigned long>(after.private_bytes));
    EXPECT_LE(after.gdi, before.gdi) << "GDI objects";
    EXPECT_LE(after.user, before.user) << "USER objects";
    // A leak of even 128 bytes a life (a GDI brush, say) would show as
    // 128 kB; below that is the heap's own bookkeeping.
    EXPECT_LE(after.private_bytes, before.private_bytes + (128 << 10))
        << "private bytes grew from " << before.private_bytes << " to " << after.private_bytes;
  }
}

// ---- the GPS and its companion library ----

std::string Gps() { return std::string(GAUGE_DIR) + "/Kestrel41.gau"; }

struct Companion {
  const char* name;
  std::string folder;  // where KestrelDlg.dll is found, or a folder without it
  bool present;
};

std::vector<Companion> Companions() {
  return {
      {"real", COMPANION_DIR, true},
      {"missing", std::string(SAMPLES_DIR) + "/broken", false},
      {"partial", std::string(SAMPLES_DIR) + "/partial", true},
      {"hostile", std::string(SAMPLES_DIR) + "/hostile", true},
  };
}

// Every button, the refresh block, the aircraft near and far from the
// selected item, and a kill and install in the middle.
std::vector<std::string> Workout(bench::Host& host) {
  std::vector<std::string> clicks;
  if (MouseRect* r = host.mouse_list())
    for (int n = 0; n < 64 && r->kind != RectListEnd; ++n, ++r)
      if (r->kind == RectChild && (r->callback || r->event))
        clicks.push_back("click:" + std::to_string(r->box.x + r->box.width / 2) + "," +
                         std::to_string(r->box.y + r->box.height / 2));
  std::vector<std::string> out = {"update:13"};
  for (int round = 0; round < 3; ++round) {
    for (const std::string& c : clicks) {
      out.push_back(c);
      out.push_back("update:13");
    }
    out.push_back("set:0x3D=250");
    out.push_back("update:26");
  }
  out.insert(out.end(), {"kill", "install", "update:13"});
  for (const std::string& c : clicks) out.push_back(c);
  out.push_back("update:13");
  return out;
}

TEST_F(Lifecycle, GpsSurvivesEveryCompanion) {
  if (GetFileAttributesA(Gps().c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no GPS yet";
  SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");
  for (const Companion& c : Companions()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(GetModuleHandleA("KestrelDlg.dll"), nullptr) << "a companion is still loaded";
    SetDllDirectoryA(c.folder.c_str());
    {
      bench::Host host;
      std::string error;
      ASSERT_TRUE(bench::StartGauge(host, Gps(), &error)) << error;
      std::vector<std::string> actions = Workout(host);
      ASSERT_FALSE(actions.empty());
      for (const std::string& a : actions) ASSERT_TRUE(bench::RunAction(host, a, &error)) << error;
      // The library the GPS is using is the one this case put in its way.
      HMODULE loaded = GetModuleHandleA("KestrelDlg.dll");
      EXPECT_EQ(loaded != nullptr, c.present);
      if (loaded) {
        char path[MAX_PATH];
        GetModuleFileNameA(loaded, path, sizeof path);
        std::string p(path), want = c.folder;
        std::replace(p.begin(), p.end(), '\\', '/');
        std::replace(want.begin(), want.end(), '\\', '/');
        EXPECT_NE(p.find(want.substr(want.find_last_of('/'))), std::string::npos) << p;
      }
      // Every text the GPS shows stays inside its buffer.
      for (const bench::ElementView& v : host.Elements())
        if (auto text = host.TextOf(v.element)) {
          EXPECT_LE(text->size(), 256u);
        }
      EXPECT_EQ(host.faults(), 0);
      EXPECT_TRUE(host.violations().empty()) << host.violations().front();
      host.Kill();
      host.ModuleDeinit();
    }
    // Killing the gauge released its library.
    EXPECT_EQ(GetModuleHandleA("KestrelDlg.dll"), nullptr);
  }
}

TEST_F(Lifecycle, GpsWithHostileCompanionSurvivesASweep) {
  if (GetFileAttributesA(Gps().c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no GPS yet";
  SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");
  for (const Companion& c : Companions()) {
    SCOPED_TRACE(c.name);
    SetDllDirectoryA(c.folder.c_str());
    bench::Host host;
    std::string error;
    ASSERT_TRUE(bench::StartGauge(host, Gps(), &error)) << error;
    std::vector<std::string> actions = Workout(host);
    // The workout again, with the aircraft, wind and autopilot values that
    // the navigation arithmetic divides and converts.
    for (const char* v : {"nan", "inf", "-inf", "1e300", "-0", "4.9e-324"})
      for (const char* id : {"0x3D", "0x47", "0x48", "0x49", "0x51", "0x52", "0x157", "0x158"}) {
        actions.push_back(std::string("set:") + id + "=" + v);
        actions.push_back("update:13");
      }
    for (const std::string& a : actions) ASSERT_TRUE(bench::RunAction(host, a, &error)) << error;
    EXPECT_EQ(host.faults(), 0);
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    host.Kill();
  }
}

}  // namespace
