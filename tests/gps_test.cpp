// The Kestrel41 GPS through the real module, the real KestrelDlg companion
// library (copied with a test KestrelDlg.ini into a folder of its own) and
// the bench: autopilot coupling, buttons, route sequencing, the companion
// appearing mid-run, bad simulator values, and the companion's own file and
// cursor handling.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_fixture.h"
#include "gps_state.h"
#include "nav_math.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;
using Events = std::vector<std::pair<uint32_t, int32_t>>;

constexpr char kLibrary[] = "KestrelDlg.dll";

// Button centres (the mouse boxes are 28 x 10 from y 84).
constexpr std::pair<int, int> kDlg{22, 89}, kInf{54, 89}, kAp{86, 89}, kPrev{118, 89},
    kNext{150, 89};

struct Settings {
  int mode = 0;
  int coupleDirect = 0;
  int altHoldDirect = 0;
  double altitudeDirect = 5000;
  int coupleTour = 0;
  int altHoldTour = 0;
  double altitudeTour = 7000;
};

// The direct destination is due north of the aircraft's usual place (10 N
// 10 E): the heading to steer is 359.5, sent as 360.
std::string Ini(const Settings& s, const std::vector<std::string>& items = {},
                const std::string& count = "") {
  std::ostringstream o;
  o << "[Settings]\nMode=" << s.mode << "\nCoupleDirect=" << s.coupleDirect
    << "\nAltHoldDirect=" << s.altHoldDirect << "\nAltitudeDirect=" << s.altitudeDirect
    << "\nCoupleTour=" << s.coupleTour << "\nAltHoldTour=" << s.altHoldTour
    << "\nAltitudeTour=" << s.altitudeTour << "\n";
  o << "[Direct]\nIdent=NORTH\nName=DUE NORTH\nLatitude=11\nLongitude=10\n";
  o << "[Tour]\nCount=" << (count.empty() ? std::to_string(items.size()) : count) << "\n";
  for (size_t i = 0; i < items.size(); ++i) o << "Item" << i + 1 << "=" << items[i] << "\n";
  return o.str();
}

// A route of three: A at the aircraft's usual place, B one degree east, C
// one degree north of B.
const std::vector<std::string> kRoute = {"AAA,ITEM A,10,10", "BBB,ITEM B,10,11",
                                         "CCC,ITEM C,11,11"};

// A folder of the test's own, searched for the companion library.
class CompanionFolder {
 public:
  CompanionFolder() {
    static int serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "gps_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~CompanionFolder() {
    DeleteFileA(File(kLibrary).c_str());
    DeleteFileA(File("KestrelDlg.ini").c_str());
    RemoveDirectoryA(path_.c_str());
  }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

  void WriteIni(const std::string& text) const {
    std::ofstream(File("KestrelDlg.ini"), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(File("KestrelDlg.ini"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool CopyLibrary(const std::string& from = std::string(COMPANION_DIR) + "/" + kLibrary) const {
    return CopyFileA(from.c_str(), File(kLibrary).c_str(), FALSE) != 0;
  }
  int Profile(const char* section, const char* key) const {
    return static_cast<int>(
        GetPrivateProfileIntA(section, key, -999, File("KestrelDlg.ini").c_str()));
  }
  std::string ProfileText(const char* section, const char* key) const {
    char text[512];
    GetPrivateProfileStringA(section, key, "", text, sizeof text, File("KestrelDlg.ini").c_str());
    return text;
  }

 private:
  std::string path_;
};

// The companion library as the gauge has it loaded: read without moving the
// cursor.
GpsRecord CompanionRecord() {
  GpsRecord r{};
  HMODULE m = GetModuleHandleA(kLibrary);
  auto fn = reinterpret_cast<int32_t(__stdcall*)(GpsRecord*)>(
      reinterpret_cast<void*>(GetProcAddress(m, "KestrelGetData")));
  if (fn) fn(&r);
  return r;
}

const Events kRelease = {{event::kApOff, 0}, {event::kGpsHeadingHoldOff, 0}};
const Events kHeadingNorth = {{event::kGpsHeadingHoldOn, 0}, {event::kApHeadingSet, 360}};

Events Join(std::initializer_list<Events> parts) {
  Events all;
  for (const Events& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Events Engage(std::initializer_list<Events> rest = {}) {
  return Join({{{event::kApOn, 0}}, kHeadingNorth, Join(rest)});
}

Events AltitudePart(int32_t altitude, int32_t rate) {
  return {{event::kGpsAltitudeHoldOn, 0},
          {event::kApAltitudeSet, altitude},
          {event::kApVerticalSpeedSet, rate}};
}

class GpsTest : public GaugeTest {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1");
    SetDllDirectoryA(folder_.path().c_str());
  }

  void TearDown() override {
    Stop();
    GaugeTest::TearDown();
    SetDllDirectoryA(nullptr);
  }

  // The companion library with this ini in the gauge's search folder.
  void Companion(const std::string& ini) {
    Stop();  // a running gauge holds the library
    folder_.WriteIni(ini);
    ASSERT_TRUE(folder_.CopyLibrary());
  }

  // Starts the gauge at 10 N 10 E (or `position`), everything else 0, and
  // runs one update.
  void StartGps(const char* position = "position:10,10") {
    Stop();
    Start("Kestrel41");
    started_ = true;
    Play({position});
    Frames(1);
  }

  // Kill frees the companion library, so the next start loads it afresh.
  void Stop() {
    if (started_) host().Kill();
    started_ = false;
  }

  void Press(std::pair<int, int> button) { Click(button.first, button.second); }

  Events Take() {
    Events e = ModuleEvents();
    host().ClearEvents();
    return e;
  }

  int Cursor() { return CompanionRecord().tourIndex; }

  CompanionFolder folder_;
  bool started_ = false;
};

// ---- coupling ----

struct EngageCase {
  const char* what;
  Settings settings;
  double altitudeMetres;
  double climbSelect;
  Events expected;
};

TEST_F(GpsTest, SettingsButtonEngagesOrReleasesWithEveryEventInOrder) {
  Settings direct;
  direct.coupleDirect = direct.altHoldDirect = 1;
  Settings tour;
  tour.mode = tour.coupleTour = 1;
  tour.altHoldDirect = 1;  // the direct flag does not count in tour mode
  Settings uncoupled;
  uncoupled.altHoldDirect = 1;
  Settings oddTarget = direct;
  oddTarget.altitudeDirect = 5000.9;

  const EngageCase cases[] = {
      {"climb", direct, 1000, 0, Engage({AltitudePart(5000, 700)})},
      {"within a foot", direct, 5000.5 / 3.281, 0, Engage({AltitudePart(5000, 0)})},
      {"a foot below", direct, 4998.9 / 3.281, 0, Engage({AltitudePart(5000, 700)})},
      {"descend", direct, 5002 / 3.281, 0, Engage({AltitudePart(5000, -700)})},
      {"fast climb", direct, 1000, 65535, Engage({AltitudePart(5000, 1800)})},
      {"fast descent", direct, 5002 / 3.281, 65535, Engage({AltitudePart(5000, -1800)})},
      {"not exactly 65535", direct, 1000, 65534.99, Engage({AltitudePart(5000, 700)})},
      {"target truncated", oddTarget, 1000, 0, Engage({AltitudePart(5000, 700)})},
      {"tour without altitude", tour, 1000, 0, Engage()},
      {"uncoupled", uncoupled, 1000, 0, kRelease},
  };
  const std::vector<std::string> northRoute = {"NRT,NORTH,11,10", "FAR,FAR,20,10"};
  for (const EngageCase& c : cases) {
    SCOPED_TRACE(c.what);
    Companion(Ini(c.settings, northRoute));
    StartGps();
    Set(var::kAltitude, c.altitudeMetres);
    Set(var::kClimbRateSelect, c.climbSelect);
    Take();
    Press(kDlg);
    EXPECT_EQ(Take(), c.expected);
    // The dialog left unchanged: the same events once more.
    Press(kDlg);
    EXPECT_EQ(Take(), c.expected);
  }
}

TEST_F(GpsTest, CouplingButtonTwiceEngagesThenReleasesAndLeavesBothFlagsZero) {
  Settings s;
  s.altHoldDirect = 1;
  Companion(Ini(s, kRoute));
  const std::string route = folder_.ProfileText("Tour", "Item2");
  StartGps();
  Set(var::kAltitude, 1000);
  Take();

  Press(kAp);
  EXPECT_EQ(Take(), Engage({AltitudePart(5000, 700)}));
  EXPECT_EQ(CompanionRecord().coupleDirect, 1);
  EXPECT_EQ(folder_.Profile("Settings", "CoupleDirect"), 1);

  Press(kAp);
  EXPECT_EQ(Take(), kRelease);
  const GpsRecord after = CompanionRecord();
  EXPECT_EQ(after.coupleDirect, 0);
  EXPECT_EQ(after.coupleTour, 0);
  EXPECT_EQ(folder_.Profile("Settings", "CoupleDirect"), 0);
  EXPECT_EQ(folder_.Profile("Settings", "CoupleTour"), 0);
  // Saving the settings keeps the route and the destination.
  EXPECT_EQ(folder_.ProfileText("Tour", "Item2"), route);
  EXPECT_EQ(folder_.Profile("Tour", "Count"), 3);
  EXPECT_EQ(folder_.ProfileText("Direct", "Ident"), "NORTH");
}

TEST_F(GpsTest, TourFlagInDirectModeCouplesTheButtonButSendsNothing) {
  Settings s;
  s.coupleTour = 1;  // mode 0
  Companion(Ini(s));
  StartGps();
  Frames(26);
  EXPECT_TRUE(Take().empty());  // nothing at initialize, no heading refresh
  Press(kAp);                   // the button was on: this click switches it off
  EXPECT_EQ(Take(), kRelease);
}

TEST_F(GpsTest, HeadingIsRefreshedOnEveryThirteenthUpdateWhileCoupled) {
  Settings s;
  s.coupleDirect = s.altHoldDirect = 1;
  Companion(Ini(s));
  StartGps();  // one update done
  Frames(11);
  EXPECT_TRUE(Take().empty());
  Frames(1);
  EXPECT_EQ(Take(), kHeadingNorth);  // altitude and vertical speed are not re-sent
  Frames(12);
  EXPECT_TRUE(Take().empty());
  Frames(1);
  EXPECT_EQ(Take(), kHeadingNorth);
}

// Due north is 359.5 before the wind; 10 knots from 6.19 degrees at 100
// knots carries it past north to 0.35, which goes out rounded up to 1.
TEST_F(GpsTest, HeadingJustPastNorthAfterTheWindIsSentAsOne) {
  Settings s;
  s.coupleDirect = 1;
  Companion(Ini(s));
  StartGps();
  Play({"set:0x3D=100", "set:0x157=10", "set:0x158=6.19", "update:12"});
  EXPECT_EQ(Take(), (Events{{event::kGpsHeadingHoldOn, 0}, {event::kApHeadingSet, 1}}));
}

TEST_F(GpsTest, PrevAndNextReissueTheAutopilot) {
  Settings off;
  Settings on;
  on.coupleDirect = on.altHoldDirect = 1;
  for (const auto& [settings, expected] :
       {std::pair{off, Events{{event::kApVerticalSpeedSet, 0}}},
        std::pair{
            on,
            Join({{{event::kApVerticalSpeedSet, 0}}, kHeadingNorth, AltitudePart(5000, 700)})}}) {
    Companion(Ini(settings, kRoute));
    StartGps();
    Set(var::kAltitude, 1000);
    Take();
    Press(kPrev);
    EXPECT_EQ(Take(), expected);
    Press(kNext);
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(Cursor(), 0);  // direct mode leaves the route alone
  }
}

// ---- the route ----

TEST_F(GpsTest, RouteOfThreeIsWalkedToItsEndAndStops) {
  Settings s;
  s.mode = s.coupleTour = 1;
  Companion(Ini(s, kRoute));
  Stop();
  Start("Kestrel41");
  started_ = true;
  Play({"set:0x3D=200", "position:20,20"});
  EXPECT_EQ(Cursor(), 0);  // loading the next item put the cursor back
  Frames(13);
  Take();

  const Events reissue = {{event::kApVerticalSpeedSet, 0}, {event::kGpsHeadingHoldOn, 0}};
  // At A: on to B.
  Play({"position:10,10", "update:1"});
  Events e = Take();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(Events(e.begin(), e.begin() + 2), reissue);
  EXPECT_EQ(e[2].first, event::kApHeadingSet);
  EXPECT_EQ(Cursor(), 1);
  Frames(13);
  EXPECT_EQ(Take(), (Events{{event::kGpsHeadingHoldOn, 0}, {event::kApHeadingSet, 90}}));

  // At B: on to C, the last item.
  Play({"position:10,11", "update:1"});
  e = Take();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(Events(e.begin(), e.begin() + 2), reissue);
  EXPECT_EQ(Cursor(), 2);
  Frames(13);
  EXPECT_EQ(Take(), kHeadingNorth);

  // At C: no wrap to A, however long the aircraft stays.
  Play({"position:11,11"});
  Frames(39);
  for (const auto& [id, value] : Take()) EXPECT_NE(id, event::kApVerticalSpeedSet);
  EXPECT_EQ(Cursor(), 2);
}

TEST_F(GpsTest, SequencingNeedsAllItsConditions) {
  Settings coupledTour;
  coupledTour.mode = coupledTour.coupleTour = 1;
  Settings uncoupledTour;
  uncoupledTour.mode = 1;
  struct Case {
    const char* what;
    Settings settings;
    std::vector<std::string> route;
    const char* position;
  };
  const Case cases[] = {
      {"item not reached", coupledTour, kRoute, "position:10.5,10"},
      {"not coupled", uncoupledTour, kRoute, "position:10,10"},
      {"no next item", coupledTour, {"AAA,ITEM A,10,10"}, "position:10,10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Companion(Ini(c.settings, c.route));
    StartGps(c.position);
    Play({"set:0x3D=200"});
    Frames(30);
    for (const auto& [id, value] : Take()) EXPECT_NE(id, event::kApVerticalSpeedSet);
    EXPECT_EQ(Cursor(), 0);
  }
}

TEST_F(GpsTest, NoSequencingOnceTheCompanionSwitchesToDirectMode) {
  Settings s;
  s.mode = s.coupleTour = 1;
  Companion(Ini(s, {"NTH,NORTH,11,10", "BBB,ITEM B,10,11"}));
  StartGps();
  Play({"set:0x3D=200", "position:20,20"});
  // The companion goes to direct mode; the next item stays loaded.
  GpsRecord r = CompanionRecord();
  r.mode = 0;
  auto set = reinterpret_cast<int32_t(__stdcall*)(GpsRecord*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(kLibrary), "KestrelSetData")));
  ASSERT_NE(set, nullptr);
  set(&r);
  Frames(13);                // the refresh block fetches mode 0
  Play({"position:11,10"});  // on the direct destination, the old first item
  Frames(30);
  for (const auto& [id, value] : Take()) EXPECT_NE(id, event::kApVerticalSpeedSet);
  EXPECT_EQ(Cursor(), 0);
}

// A route of one item never leaves the cursor: after a settings click the
// next item is the selected one itself, and reaching it must not sequence on
// every update.
TEST_F(GpsTest, OneItemRouteDoesNotSequenceOnEveryUpdate) {
  Settings s;
  s.mode = s.coupleTour = 1;
  Companion(Ini(s, {"ONE,ONLY ITEM,11,10"}));
  StartGps();
  Play({"set:0x3D=200", "position:20,20"});
  Press(kDlg);
  Play({"position:11,10"});
  Take();
  Frames(12);
  for (const auto& [id, value] : Take()) EXPECT_NE(id, event::kApVerticalSpeedSet);
}

TEST_F(GpsTest, PrevAndNextStepTheRouteInTourMode) {
  Settings s;
  s.mode = 1;
  Companion(Ini(s, kRoute));
  StartGps();
  Take();
  Press(kNext);
  EXPECT_EQ(Cursor(), 1);
  EXPECT_EQ(Take(), (Events{{event::kApVerticalSpeedSet, 0}}));
  Press(kNext);
  Press(kNext);  // wraps to the first
  EXPECT_EQ(Cursor(), 0);
  Press(kPrev);  // back from the first to the last
  EXPECT_EQ(Cursor(), 2);
  EXPECT_EQ(std::string(CompanionRecord().ident), "CCC");
}

// ---- without the companion ----

TEST_F(GpsTest, RunsWithoutTheCompanionAndPicksItUpWhenItAppears) {
  StartGps();
  ASSERT_EQ(GetModuleHandleA(kLibrary), nullptr);
  Frames(26);
  EXPECT_TRUE(Take().empty());
  Press(kInf);
  EXPECT_TRUE(Take().empty());
  Press(kAp);  // the coupling button still works; no destination, heading 0
  EXPECT_EQ(Take(),
            (Events{{event::kApOn, 0}, {event::kGpsHeadingHoldOn, 0}, {event::kApHeadingSet, 0}}));
  Press(kDlg);  // only a beep: the autopilot is left as it is
  EXPECT_TRUE(Take().empty());
  Press(kAp);
  EXPECT_EQ(Take(), kRelease);
  Press(kPrev);
  Press(kNext);
  EXPECT_EQ(Take(), (Events{{event::kApVerticalSpeedSet, 0}, {event::kApVerticalSpeedSet, 0}}));

  // Copied in while the gauge runs: taken up at the next refresh block.
  Frames(5);  // 27 updates so far: the counter is now 6
  Settings s;
  s.coupleDirect = 1;
  folder_.WriteIni(Ini(s));
  ASSERT_TRUE(folder_.CopyLibrary());
  Frames(6);
  EXPECT_EQ(GetModuleHandleA(kLibrary), nullptr);
  EXPECT_TRUE(Take().empty());
  Frames(1);
  EXPECT_NE(GetModuleHandleA(kLibrary), nullptr);
  EXPECT_EQ(std::string(CompanionRecord().ident), "NORTH");
  // Fetched and coupled in that refresh block, but the heading was worked
  // out earlier in the update, with no destination yet.
  EXPECT_EQ(Take(), (Events{{event::kGpsHeadingHoldOn, 0}, {event::kApHeadingSet, 0}}));
  Frames(13);
  EXPECT_EQ(Take(), kHeadingNorth);
}

// ---- bad values ----

TEST_F(GpsTest, BadValuesInEveryVariableCrashNothing) {
  const uint32_t vars[] = {var::kLatitude,          var::kLongitude,       var::kHeading,
                           var::kMagneticVariation, var::kClimbRateSelect, var::kAirspeed,
                           var::kMachSpeed,         var::kWindSpeed,       var::kWindDirection,
                           var::kAltitude};
  Settings s;
  s.mode = s.coupleTour = s.altHoldTour = 1;
  Companion(Ini(s, kRoute));
  const double bads[] = {NAN, INFINITY, -INFINITY, 1e300};
  for (double bad : bads) {
    SCOPED_TRACE(bad);
    StartGps();
    auto sane = [&] { Play({"position:10.5,10.5", "set:0x3D=150", "set:0x49=1000"}); };
    auto exercise = [&] {
      Frames(13);
      for (auto b : {kDlg, kInf, kAp, kAp, kPrev, kNext}) Press(b);
      Frames(13);
    };
    for (uint32_t id : vars) {
      SCOPED_TRACE(id);
      sane();
      Set(id, bad);
      exercise();
      Set(id, 0);
    }
    for (uint32_t id : vars) Set(id, bad);
    exercise();
    // Sane values again, one degree south of the selected item: the gauge
    // still steers, due north.
    Play({"set:0x3D=150", "set:0x52=0", "set:0x157=0", "set:0x158=0", "set:0x40=0"});
    const GpsRecord selected = CompanionRecord();
    Set(var::kLatitude, gps::LatitudeUnits(gps::LatitudeDegrees(selected.latitude) - 1));
    Set(var::kLongitude, selected.longitude);
    Frames(26);
    Events e = Take();
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(e.back(), (std::pair<uint32_t, int32_t>{event::kApHeadingSet, 360}));
  }
}

TEST_F(GpsTest, CompanionLeavingTextsUnterminatedCrashesNothing) {
  folder_.WriteIni("");
  ASSERT_TRUE(folder_.CopyLibrary(std::string(COMPANION_DIR) + "/unterminated/" + kLibrary));
  StartGps();
  Set(var::kAltitude, 1000);
  Frames(26);
  for (auto b : {kDlg, kInf, kAp, kAp, kPrev, kNext, kDlg}) Press(b);
  Frames(26);
  // Coupled in direct mode by the companion: the heading north still goes out.
  Events e = Take();
  ASSERT_GE(e.size(), 2u);
  EXPECT_EQ(Events(e.end() - 2, e.end()), kHeadingNorth);
}

// ---- the companion library on its own ----

class CompanionTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableA("KESTRELDLG_HEADLESS", "1"); }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  void Load(const std::string* ini) {
    if (ini) folder_.WriteIni(*ini);
    ASSERT_TRUE(folder_.CopyLibrary());
    module_ = LoadLibraryA(folder_.File(kLibrary).c_str());
    ASSERT_NE(module_, nullptr);
  }
  template <typename Fn>
  Fn Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  GpsRecord Get() {
    GpsRecord r;
    memset(&r, 0x5A, sizeof r);
    Function<int32_t(__stdcall*)(GpsRecord*)>("KestrelGetData")(&r);
    return r;
  }
  int32_t Step(int32_t direction) {
    return Function<int32_t(__stdcall*)(int32_t)>("KestrelGetTourItem")(direction);
  }

  CompanionFolder folder_;
  HMODULE module_ = nullptr;
};

TEST_F(CompanionTest, ExportsTheFiveFunctionsByPlainName) {
  const std::string ini = Ini({});
  Load(&ini);
  for (const char* name : {"KestrelSetData", "KestrelSettingDialog", "KestrelGetData",
                           "KestrelAboutDialog", "KestrelGetTourItem"})
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  // Headless: both dialogs return at once.
  GpsRecord r{};
  EXPECT_EQ(Function<int32_t(__stdcall*)(GpsRecord*)>("KestrelSettingDialog")(&r), 0);
  EXPECT_EQ(Function<int32_t(__stdcall*)()>("KestrelAboutDialog")(), 0);
}

TEST_F(CompanionTest, MissingFileGivesAnEmptyDestinationAndAnEmptyTour) {
  Load(nullptr);
  const GpsRecord r = Get();
  EXPECT_EQ(std::string(r.ident), "");
  EXPECT_EQ(std::string(r.name), "");
  EXPECT_EQ(r.latitude, 0.0);
  EXPECT_EQ(r.longitude, 0.0);
  EXPECT_EQ(r.mode, 0);
  EXPECT_EQ(Step(1), 0);
  EXPECT_EQ(Step(0), 0);
}

TEST_F(CompanionTest, CursorStartsOnTheFirstItemAndWraps) {
  Settings s;
  s.mode = 1;
  const std::string ini = Ini(s, kRoute);
  Load(&ini);
  EXPECT_EQ(Get().tourIndex, 0);
  EXPECT_EQ(std::string(Get().ident), "AAA");
  EXPECT_EQ(Step(1), 1);
  EXPECT_EQ(Step(0), 0);  // a step and its opposite
  EXPECT_EQ(Step(0), 2);  // back from the first: higher
  EXPECT_EQ(Step(1), 0);  // forward from the last: lower
  EXPECT_EQ(Step(1), 1);
  const GpsRecord r = Get();
  EXPECT_EQ(r.tourIndex, 1);
  EXPECT_EQ(std::string(r.ident), "BBB");
  EXPECT_EQ(std::string(r.name), "ITEM B");
  EXPECT_DOUBLE_EQ(r.latitude, gps::LatitudeUnits(10));
  EXPECT_DOUBLE_EQ(r.longitude, gps::LongitudeUnits(11));
}

TEST_F(CompanionTest, ReadsTheSettingsAndSkipsMalformedItems) {
  const std::string ini =
      "[Settings]\nMode=1              ; 0 direct, 1 tour\nCoupleDirect=1\nAltHoldDirect=1\n"
      "AltitudeDirect=4500\nCoupleTour=1\nAltHoldTour=0\nAltitudeTour=7000.5\n"
      "[Direct]\nIdent=KSEA\nName=SEATTLE-TACOMA INTL\nLatitude=47.449\nLongitude=-122.309\n"
      "[Tour]\nCount=9\n"
      "Item1=ABCDEFGH,A NAME FAR LONGER THAN ITS FIELD CAN HOLD,47.5,-122.5\n"
      "Item2=BAD\n"
      "Item3=X,NAME,abc,10\n"
      "Item4=Y,NAME,95,10\n"
      "Item5=,NO IDENT,1,1\n"
      "Item7=K2,NAME, WITH COMMA,-33.9,151.2\n"
      "Item8=K3,NAME,1,181\n"
      "Item9=K4,LAST,1.5,2.5\n";
  Load(&ini);
  GpsRecord r = Get();
  EXPECT_EQ(r.mode, 1);
  EXPECT_EQ(r.coupleDirect, 1);
  EXPECT_EQ(r.altHoldDirect, 1);
  EXPECT_EQ(r.altitudeDirect, 4500);
  EXPECT_EQ(r.coupleTour, 1);
  EXPECT_EQ(r.altHoldTour, 0);
  EXPECT_EQ(r.altitudeTour, 7000.5);
  // Over-long ident and name cut to their fields, each with its zero.
  EXPECT_EQ(std::string(r.ident, 6), std::string("ABCDE\0", 6));
  EXPECT_EQ(std::string(r.name, 26), "A NAME FAR LONGER THAN IT" + std::string(1, '\0'));
  EXPECT_EQ(r.spareDirect, 0.0);
  // Three good items: 1, 7 and 9.
  Step(1);
  r = Get();
  EXPECT_EQ(std::string(r.ident), "K2");
  EXPECT_EQ(std::string(r.name), "NAME, WITH COMMA");
  EXPECT_NEAR(gps::LatitudeDegrees(r.latitude), -33.9, 1e-9);
  EXPECT_NEAR(gps::LongitudeDegrees(r.longitude), 151.2, 1e-9);
  EXPECT_EQ(std::string((Step(1), Get()).ident), "K4");
  EXPECT_EQ(Step(1), 0);
}

TEST_F(CompanionTest, SetDataSavesSettingsAndPositionAndKeepsTheRoute) {
  const std::string ini = Ini({}, kRoute);
  Load(&ini);
  GpsRecord r = Get();
  r.mode = 1;
  r.coupleTour = 1;
  r.altHoldTour = 1;
  r.altitudeTour = 9000;
  r.aircraftLatitude = gps::LatitudeUnits(-12.5);
  r.aircraftLongitude = gps::LongitudeUnits(-45.25);
  Function<int32_t(__stdcall*)(GpsRecord*)>("KestrelSetData")(&r);
  EXPECT_EQ(folder_.Profile("Settings", "Mode"), 1);
  EXPECT_EQ(folder_.Profile("Settings", "CoupleTour"), 1);
  EXPECT_EQ(folder_.Profile("Settings", "AltitudeTour"), 9000);
  EXPECT_EQ(folder_.ProfileText("Aircraft", "Latitude"), "-12.500000");
  EXPECT_EQ(folder_.ProfileText("Aircraft", "Longitude"), "-45.250000");
  for (size_t i = 0; i < kRoute.size(); ++i)
    EXPECT_EQ(folder_.ProfileText("Tour", ("Item" + std::to_string(i + 1)).c_str()), kRoute[i]);
  EXPECT_EQ(folder_.ProfileText("Direct", "Name"), "DUE NORTH");
  // The settings now in force, and the tour item under the cursor.
  const GpsRecord now = Get();
  EXPECT_EQ(now.mode, 1);
  EXPECT_EQ(now.altitudeTour, 9000);
  EXPECT_EQ(std::string(now.ident), "AAA");
}

}  // namespace
