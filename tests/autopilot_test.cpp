// The autopilot mode control panel through the real CORVANE.gau: its records,
// every click area, the switch and selector pictures, the five readouts, the
// remembered speed mode, its bitmaps, and flying it on the bench's aircraft.
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bench_fixture.h"
#include "sim_ids.h"

namespace {

using testing_support::GaugeTest;
using Events = std::vector<std::pair<uint32_t, int32_t>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pre-order indices: the root, then its thirteen children in their order.
enum : size_t {
  kRoot,
  kAltSelText,
  kHeadingText,
  kCourseText,
  kVerticalSpeedText,
  kRSwitch,
  kYawDamper,
  kLvlSwitch,
  kAltSelSwitch,
  kHeadingSwitch,
  kNavSelector,
  kAutothrottleSwitch,
  kAtsText,
  kSpeedSelector,
};

struct Box {
  int x, y, w, h;
};

// The click areas, in list order.
enum Area {
  kMaster,
  kAltSelHold,
  kHeadingHold,
  kAutothrottle,
  kLvl,
  kAltSelDown,
  kAltSelUp,
  kHeadingDown,
  kHeadingUp,
  kCourseDown,
  kCourseUp,
  kAtsDown,
  kAtsUp,
  kVsDown,
  kVsUp,
  kModeOff,
  kNav,
  kApr,
  kLoc,
  kBc,
  kSpeedOff,
  kIas,
  kMach,
  kYawOff,
  kYawOn,
  kAreaCount,
};

struct AreaRow {
  const char* name;
  Box box;
  int32_t cursor;
  uint32_t flags;
  std::vector<uint32_t> events;  // sent from a fresh load: master off, IAS mode
};

constexpr uint32_t kButton = 0x20000000u;
constexpr uint32_t kStepper = 0x20200000u;

const std::vector<AreaRow>& Areas() {
  static const std::vector<AreaRow> rows = {
      {"R switch", {515, 40, 20, 60}, 5, kButton, {event::kToggleApMaster}},
      {"ALT SEL ON/OFF", {96, 53, 20, 34}, 5, kButton, {event::kAltitudeHoldOff}},
      {"HDG ON/OFF", {206, 11, 25, 38}, 5, kButton, {event::kHeadingHoldOff}},
      {"A/T ARM", {38, 76, 32, 32}, 5, kButton, {event::kToggleAutothrottleArm}},
      {"LVL", {417, 75, 32, 32}, 5, kButton, {event::kWingLevelerOff}},
      {"ALT SEL knob left", {145, 92, 15, 25}, 2, kStepper, {event::kAltitudeTargetDown}},
      {"ALT SEL knob right", {160, 92, 15, 25}, 1, kStepper, {event::kAltitudeTargetUp}},
      {"HDG knob left", {240, 35, 15, 25}, 2, kStepper, {event::kHeadingTargetDown}},
      {"HDG knob right", {255, 35, 15, 25}, 1, kStepper, {event::kHeadingTargetUp}},
      {"COURSE knob left", {249, 91, 15, 25}, 2, kStepper, {event::kCourseDown}},
      {"COURSE knob right", {264, 91, 15, 25}, 1, kStepper, {event::kCourseUp}},
      {"ATS knob left", {39, 35, 15, 25}, 2, kStepper, {event::kAirspeedTargetDown}},
      {"ATS knob right", {54, 35, 15, 25}, 1, kStepper, {event::kAirspeedTargetUp}},
      {"V/S wheel lower", {373, 78, 26, 37}, 2, kStepper, {event::kVerticalSpeedTargetDown}},
      {"V/S wheel upper", {373, 47, 26, 37}, 1, kStepper, {event::kVerticalSpeedTargetUp}},
      {"mode OFF",
       {275, 105, 20, 12},
       5,
       kButton,
       {event::kNavHoldOff, event::kLocalizerHoldOff, event::kApproachHoldOff,
        event::kBackCourseHoldOff}},
      {"NAV", {283, 78, 20, 12}, 5, kButton, {event::kNavHoldOn}},
      {"APR", {308, 64, 20, 12}, 5, kButton, {event::kLocalizerHoldOff, event::kApproachHoldOn}},
      {"LOC", {341, 80, 20, 12}, 5, kButton, {event::kApproachHoldOff, event::kLocalizerHoldOn}},
      {"BC", {346, 111, 20, 12}, 5, kButton, {event::kBackCourseHoldOn}},
      {"speed OFF", {98, 0, 20, 14}, 5, kButton, {event::kAirspeedHoldOff, event::kMachHoldOff}},
      {"IAS", {140, 2, 20, 14}, 5, kButton, {event::kAirspeedHoldOn}},
      {"MACH", {154, 30, 20, 14}, 5, kButton, {event::kMachHoldOn}},
      {"YAW DAMPER OFF", {286, 0, 25, 14}, 5, kButton, {event::kYawDamperOff}},
      {"YAW DAMPER ON", {334, 0, 25, 14}, 5, kButton, {event::kYawDamperOn}},
  };
  return rows;
}

Events WithValueOne(const std::vector<uint32_t>& ids) {
  Events out;
  for (uint32_t id : ids) out.emplace_back(id, 1);
  return out;
}

class AutopilotTest : public GaugeTest {
 protected:
  void SetUp() override {
    Start("CORVANE");
    Frames();
  }

  // Sets a variable and runs the update that refreshes the gauge's records.
  void SetAndRefresh(uint32_t id, double value) {
    Set(id, value);
    Frames();
  }
  // The text callbacks run in the tree's update, before the records are
  // refreshed, so a readout of a record shows one update later.
  std::string TextAfterUpdates(size_t index) {
    Frames(2);
    return Text(index).value_or("<none>");
  }
  void ClickArea(Area area) {
    const Box& b = Areas()[area].box;
    Click(b.x + b.w / 2, b.y + b.h / 2);
  }
  // Events the module sends for one click, with the aircraft left as it was.
  Events EventsOfClick(Area area) {
    host().ClearEvents();
    SimSnapshot keep(host().sim());
    ClickArea(area);
    Events out = ModuleEvents();
    host().ClearEvents();
    return out;
  }
  IconElement* Icon(size_t index) { return reinterpret_cast<IconElement*>(Element(index).element); }
  StringElement* String(size_t index) {
    return reinterpret_cast<StringElement*>(Element(index).element);
  }
  // Calls a readout's text callback as the host does and returns its result.
  double CallText(size_t index, double value) {
    uint32_t words[2];
    std::memcpy(words, &value, sizeof words);
    return host().CallModule("text callback", reinterpret_cast<void*>(String(index)->text_callback),
                             {words[0], words[1]}, true);
  }

  // Restores the aircraft's variables when it goes out of scope, so a click
  // table's rows do not depend on one another.
  struct SimSnapshot {
    explicit SimSnapshot(bench::SimState& s) : sim(s), saved(s.vars()) {}
    ~SimSnapshot() {
      for (auto& [id, v] : saved) sim.Set(id, v);
    }
    bench::SimState& sim;
    std::map<uint32_t, double> saved;
  };
};

// ---- the gauge's records as the simulator reads them ----

TEST_F(AutopilotTest, HeaderTreeAndFailureListsAreTheSimulatorsView) {
  GaugeHeader* g = host().gauge();
  ASSERT_NE(g, nullptr);
  EXPECT_STREQ(g->name, "corvane");
  EXPECT_EQ(g->default_size, 370u);

  struct Child {
    uint32_t kind, resource_id;
    int32_t x, y;
    uint32_t flags, source, pictures;
    bool has_callback;
  };
  const Child expected[] = {
      {kString, 0xFFFFFFFFu, 121, 73, 6, var::kApAltitudeTarget, 5, true},
      {kString, 0xFFFFFFFFu, 235, 16, 6, var::kApHeadingTarget, 3, true},
      {kString, 0xFFFFFFFFu, 235, 72, 6, var::kSelectedCourse, 3, true},
      {kString, 0xFFFFFFFFu, 355, 16, 6, var::kApVerticalSpeedTarget, 5, true},
      {kIcon, 0x2500, 511, 40, 3, var::kApMaster, 2, false},
      {kIcon, 0x2600, 300, 19, 3, var::kApYawDamper, 2, true},
      {kIcon, 0x2510, 422, 60, 3, var::kApWingLeveler, 2, false},
      {kIcon, 0x2510, 94, 45, 3, var::kApAltitudeHold, 2, false},
      {kIcon, 0x2510, 207, -11, 3, var::kApHeadingHold, 2, false},
      {kIcon, 0x2520, 303, 82, 3, 0, 5, true},
      {kIcon, 0x2510, 43, 62, 3, var::kAutothrottleArm, 2, false},
      {kString, 0xFFFFFFFFu, 35, 16, 6, 0, 4, true},
      {kIcon, 0x2600, 104, 18, 3, 0, 3, true},
  };
  std::vector<bench::ElementView> all = host().Elements();
  ASSERT_EQ(all.size(), 14u);
  EXPECT_EQ(all[0].element->kind, kStaticImage);
  EXPECT_EQ(all[0].element->resource_id, 0x1000u);
  EXPECT_EQ(all[0].element->image_flags, 1u);
  EXPECT_EQ(all[0].element->failures, nullptr);
  for (size_t i = 0; i < 13; ++i) {
    SCOPED_TRACE("child " + std::to_string(i + 1));
    ElementHeader* e = all[i + 1].element;
    const Child& want = expected[i];
    EXPECT_EQ(all[i + 1].depth, 1);
    EXPECT_EQ(e->kind, want.kind);
    EXPECT_EQ(e->resource_id, want.resource_id);
    EXPECT_EQ(e->position.x, want.x);
    EXPECT_EQ(e->position.y, want.y);
    EXPECT_EQ(e->image_flags & ~ImageHidden, want.flags);
    EXPECT_EQ(e->gauge, g);
    EXPECT_EQ(e->children, nullptr);
    ASSERT_NE(e->failures, nullptr);
    EXPECT_EQ(e->failures, all[1].element->failures);  // one shared list
    EXPECT_EQ(e->failures[0].key, 2u);
    EXPECT_EQ(e->failures[0].action, 3u);
    EXPECT_EQ(e->failures[1].key, 1u);
    EXPECT_EQ(e->failures[1].action, 3u);
    EXPECT_EQ(e->failures[2].key, 0u);
    if (want.kind == kIcon) {
      auto* icon = reinterpret_cast<IconElement*>(e);
      EXPECT_EQ(icon->source.id, want.source);
      EXPECT_EQ(icon->picture_count, want.pictures);
      EXPECT_EQ(icon->source_callback != nullptr, want.has_callback);
    } else {
      auto* s = reinterpret_cast<StringElement*>(e);
      EXPECT_EQ(s->sources[0].id, want.source);
      EXPECT_EQ(s->sources[1].id, 0u);
      EXPECT_EQ(s->char_count, want.pictures);
      EXPECT_EQ(s->fore_color, 0xF7F7F7u);
      EXPECT_EQ(s->back_color, 0u);
      EXPECT_EQ(s->highlight_color, 0xFFFFFFu);
      EXPECT_STREQ(s->font_name, "Courier New");
      EXPECT_EQ(s->text_format, 0x25u);
      EXPECT_NE(s->text_callback, nullptr);
    }
  }
}

TEST_F(AutopilotTest, MouseListHoldsTheTwentyFiveAreasInOrder) {
  MouseRect* list = host().mouse_list();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0].kind, RectParent);
  EXPECT_EQ(list[0].cursor, CursorNone);
  for (int i = 0; i < kAreaCount; ++i) {
    SCOPED_TRACE(Areas()[i].name);
    const MouseRect& r = list[1 + i];
    const AreaRow& want = Areas()[i];
    EXPECT_EQ(r.kind, RectChild);
    EXPECT_EQ(r.box.x, want.box.x);
    EXPECT_EQ(r.box.y, want.box.y);
    EXPECT_EQ(r.box.width, want.box.w);
    EXPECT_EQ(r.box.height, want.box.h);
    EXPECT_EQ(r.cursor, want.cursor);
    EXPECT_EQ(r.mouse_flags, want.flags);
    EXPECT_EQ(r.event, 0u);
    EXPECT_NE(r.callback, nullptr);
    EXPECT_EQ(r.help_id, 0u);
  }
  EXPECT_EQ(list[1 + kAreaCount].kind, RectParentEnd);
  EXPECT_EQ(list[1 + kAreaCount].cursor, CursorNone);
  EXPECT_EQ(list[2 + kAreaCount].kind, RectListEnd);
}

// Initialize binds the eleven records after the tree; every update refreshes
// them after the tree's update.
TEST_F(AutopilotTest, RecordsAreBoundAfterTheTreeAndRefreshedAfterEachUpdate) {
  host().ClearServiceLog();
  host().Initialize();
  std::vector<int> init(host().service_log());
  std::vector<int> want_init(1, 26);
  want_init.insert(want_init.end(), 11, 38);
  EXPECT_EQ(init, want_init);

  host().ClearServiceLog();
  host().Update();
  std::vector<int> want_update(1, 27);
  want_update.insert(want_update.end(), 11, 40);
  EXPECT_EQ(host().service_log(), want_update);
}

// ---- clicks ----

TEST_F(AutopilotTest, EveryAreaSendsExactlyItsEventsWithValueOne) {
  for (int i = 0; i < kAreaCount; ++i) {
    SCOPED_TRACE(Areas()[i].name);
    EXPECT_EQ(EventsOfClick(static_cast<Area>(i)), WithValueOne(Areas()[i].events));
  }
}

TEST_F(AutopilotTest, TheOverlappingVsBandBelongsToTheLowerHalf) {
  struct Row {
    int y;
    uint32_t event;
  };
  for (Row row :
       {Row{47, event::kVerticalSpeedTargetUp}, Row{77, event::kVerticalSpeedTargetUp},
        Row{78, event::kVerticalSpeedTargetDown}, Row{81, event::kVerticalSpeedTargetDown},
        Row{83, event::kVerticalSpeedTargetDown}, Row{84, event::kVerticalSpeedTargetDown},
        Row{114, event::kVerticalSpeedTargetDown}}) {
    SCOPED_TRACE("y " + std::to_string(row.y));
    host().ClearEvents();
    Click(386, row.y);
    EXPECT_EQ(ModuleEvents(), WithValueOne({row.event}));
  }
}

TEST_F(AutopilotTest, LSwitchCwsLabelsAndSelectorKnobBodiesDoNothing) {
  struct Spot {
    const char* what;
    int x, y;
  };
  for (Spot s : {Spot{"L switch slider", 465, 95}, Spot{"L switch top", 465, 45},
                 Spot{"CWS label", 496, 74}, Spot{"CMD label", 496, 48},
                 Spot{"speed selector knob", 121, 35}, Spot{"yaw damper knob", 317, 36},
                 Spot{"mode selector knob", 320, 99}, Spot{"mode knob rim", 320, 115}}) {
    SCOPED_TRACE(s.what);
    host().ClearEvents();
    EXPECT_FALSE(host().Click(s.x, s.y));
    EXPECT_TRUE(host().events().empty());
  }
}

// One event per click: on only from off with the master reading 1.
TEST_F(AutopilotTest, HoldSwitchesFollowTheToggleRuleWithTruncation) {
  struct Switch {
    Area area;
    uint32_t hold;
    uint32_t on, off;
  };
  struct State {
    double hold, master;
    bool sends_on;
  };
  const Switch switches[] = {
      {kAltSelHold, var::kApAltitudeHold, event::kAltitudeHoldOn, event::kAltitudeHoldOff},
      {kHeadingHold, var::kApHeadingHold, event::kHeadingHoldOn, event::kHeadingHoldOff},
      {kLvl, var::kApWingLeveler, event::kWingLevelerOn, event::kWingLevelerOff},
  };
  const State states[] = {
      {0, 1, true},    {0, 0, false},    {1, 1, false},    {1, 0, false},
      {0, 1.9, true},  {0, 0.99, false}, {0, -0.5, false}, {0.7, 1, true},
      {-0.5, 1, true}, {1.5, 1, false},  {2, 1, false},    {0, 2, false},
      {kNaN, 1, true}, {0, kNaN, false}, {kInf, 1, false}, {0, -kInf, false},
  };
  for (const Switch& sw : switches) {
    for (const State& st : states) {
      SCOPED_TRACE(Areas()[sw.area].name + std::string(" hold ") + std::to_string(st.hold) +
                   " master " + std::to_string(st.master));
      Set(sw.hold, st.hold);
      SetAndRefresh(var::kApMaster, st.master);
      EXPECT_EQ(EventsOfClick(sw.area), WithValueOne({st.sends_on ? sw.on : sw.off}));
    }
  }
}

// ---- pictures ----

TEST_F(AutopilotTest, SpeedSelectorPictureIsGatedByTheMasterAndPrefersIas) {
  struct Row {
    double master, airspeed_hold, mach_hold;
    int picture;
  };
  for (Row r : {Row{1, 1, 0, 1}, Row{1, 0, 1, 2}, Row{1, 1, 1, 1}, Row{1, 0, 0, 0}, Row{0, 1, 1, 0},
                Row{1.9, 1, 0, 1}, Row{0.99, 1, 0, 0}, Row{-0.5, 0, 1, 0}, Row{kNaN, 1, 0, 0},
                Row{1, 1.99, 0, 1}, Row{1, 2, 1, 2}, Row{kInf, 1, 1, 0}}) {
    SCOPED_TRACE(std::to_string(r.master) + " " + std::to_string(r.airspeed_hold) + " " +
                 std::to_string(r.mach_hold));
    Set(var::kApMaster, r.master);
    Set(var::kApAirspeedHold, r.airspeed_hold);
    Set(var::kApMachHold, r.mach_hold);
    Frames(2);  // refresh the records, then evaluate the icon with them
    EXPECT_EQ(Picture(kSpeedSelector), r.picture);
  }
}

TEST_F(AutopilotTest, NavSelectorShowsTheFirstEngagedModeWhateverTheMaster) {
  struct Row {
    double nav, apr, loc, bc;
    int picture;
  };
  Set(var::kApMaster, 0);
  for (Row r : {Row{0, 0, 0, 0, 0}, Row{1, 0, 0, 0, 1}, Row{0, 1, 0, 0, 2}, Row{0, 0, 1, 0, 3},
                Row{0, 0, 0, 1, 4}, Row{1, 0, 1, 0, 1}, Row{0, 1, 1, 1, 2}, Row{0, 0, 1.5, 1, 3},
                Row{0, 2, 0, 1, 4}, Row{kNaN, kInf, -1, 0, 0}}) {
    Set(var::kApNavHold, r.nav);
    Set(var::kApApproachHold, r.apr);
    Set(var::kApLocalizerHold, r.loc);
    Set(var::kApBackCourseHold, r.bc);
    Frames(2);
    EXPECT_EQ(Picture(kNavSelector), r.picture)
        << r.nav << " " << r.apr << " " << r.loc << " " << r.bc;
  }
}

TEST_F(AutopilotTest, YawDamperShowsOnOnlyAtExactlyOne) {
  for (auto [value, picture] : {std::pair{1.0, 1},
                                {0.999, 0},
                                {2.0, 0},
                                {0.0, 0},
                                {std::nextafter(1.0, 2.0), 0},
                                {std::nextafter(1.0, 0.0), 0},
                                {kNaN, 0},
                                {kInf, 0},
                                {-1.0, 0}}) {
    Set(var::kApYawDamper, value);
    Frames();
    EXPECT_EQ(Picture(kYawDamper), picture) << value;
  }
}

TEST_F(AutopilotTest, LocClickLeavesThreeInTheSelectorsOwnRecordOnly) {
  ClickArea(kLoc);
  EXPECT_EQ(Icon(kNavSelector)->source.value, 3.0);
  Frames();  // the master is off: the simulator engaged nothing
  EXPECT_EQ(Picture(kNavSelector), 0);
  EXPECT_EQ(Icon(kNavSelector)->source.value, 3.0);  // id 0: the host leaves it
}

// ---- readouts ----

struct TextRow {
  double value;
  const char* text;
};

TEST_F(AutopilotTest, ReadoutsFormatTheirTargetsAndDashWhatCannotFit) {
  struct Window {
    const char* name;
    size_t index;
    uint32_t id;
    std::vector<TextRow> rows;
  };
  const Window windows[] = {
      {"ALT SEL",
       kAltSelText,
       var::kApAltitudeTarget,
       {{35000, "35000"},
        {500.7, "00500"},
        {123456, "99999"},
        {99999.9, "99999"},
        {-100, "00000"},
        {kNaN, "00000"},
        {kInf, "99999"},
        {-kInf, "00000"},
        {1e300, "99999"},
        {0, "00000"}}},
      // Outside -99 ... 999 three characters cannot hold the heading.
      {"HDG",
       kHeadingText,
       var::kApHeadingTarget,
       {{5.9, "005"},
        {0, "000"},
        {359.99, "359"},
        {360, "360"},
        {999.9, "999"},
        {1000, "---"},
        {-99, "-99"},
        {-100, "---"},
        {-0.7, "000"},
        {kNaN, "000"},
        {kInf, "---"},
        {-kInf, "---"},
        {1e300, "---"}}},
      {"COURSE",
       kCourseText,
       var::kSelectedCourse,
       {{5.9, "005"}, {270, "270"}, {1000, "---"}, {-100, "---"}, {-12.9, "-12"}}},
      {"VERTICAL SPEED",
       kVerticalSpeedText,
       var::kApVerticalSpeedTarget,
       {{1500, "01500"},
        {-500, "-0500"},
        {-1000, "-1000"},
        {-0.5, "00000"},
        {-9999, "-9999"},
        {-10000, "-----"},
        {99999, "99999"},
        {100000, "-----"},
        {kNaN, "00000"},
        {-kInf, "-----"}}},
  };
  for (const Window& w : windows) {
    for (const TextRow& row : w.rows) {
      SCOPED_TRACE(std::string(w.name) + " " + std::to_string(row.value));
      Set(w.id, row.value);
      EXPECT_EQ(TextAfterUpdates(w.index), row.text);
    }
  }
}

TEST_F(AutopilotTest, AltSelReturnsTheClampedValueAndTheOthersTheirInput) {
  EXPECT_EQ(CallText(kAltSelText, 123456.0), 99999.0);
  EXPECT_EQ(CallText(kAltSelText, -100.0), 0.0);
  EXPECT_EQ(CallText(kAltSelText, kNaN), 0.0);
  EXPECT_EQ(CallText(kAltSelText, 500.7), 500.7);
  EXPECT_EQ(CallText(kHeadingText, 359.99), 359.99);
  EXPECT_EQ(CallText(kCourseText, 1000.0), 1000.0);
  EXPECT_EQ(CallText(kVerticalSpeedText, -10000.0), -10000.0);
  SetAndRefresh(var::kApAirspeedTarget, 250.9);
  EXPECT_EQ(CallText(kAtsText, 7.0), 250.9);  // the target, not its integer part
}

TEST_F(AutopilotTest, AtsShowsTheAirspeedTargetUntilMachIsChosen) {
  // IAS from load, whatever hold the simulator has engaged.
  Set(var::kApMaster, 1);
  Set(var::kApMachHold, 1);
  Set(var::kApMachTarget, 0.78);
  for (TextRow row : {TextRow{250.9, "250"},
                      {95, "095"},
                      {9999, "9999"},
                      {10000, "----"},
                      {-999, "-999"},
                      {-1000, "----"},
                      {kNaN, "000"},
                      {kInf, "----"}}) {
    Set(var::kApAirspeedTarget, row.value);
    EXPECT_EQ(TextAfterUpdates(kAtsText), row.text) << row.value;
  }
}

TEST_F(AutopilotTest, AtsShowsTheMachTargetAfterAMachClickEvenWithTheHoldOff) {
  Set(var::kApAirspeedTarget, 250);
  ClickArea(kMach);  // master off: no hold engages
  for (TextRow row : {TextRow{0.78, "0.78"},
                      {0.8, "0.80"},
                      {0.785, "0.79"},
                      {0, "0.00"},
                      {-0.0, "0.00"},
                      {9.99, "9.99"},
                      {9.994, "9.99"},
                      {9.995, "----"},
                      {10, "----"},
                      {-0.01, "----"},
                      {-0.001, "----"},
                      {kNaN, "----"},
                      {kInf, "----"},
                      {-kInf, "----"},
                      {1e300, "----"}}) {
    Set(var::kApMachTarget, row.value);
    EXPECT_EQ(TextAfterUpdates(kAtsText), row.text) << row.value;
  }
  EXPECT_EQ(Picture(kSpeedSelector), 0);  // the picture follows the holds only
}

TEST_F(AutopilotTest, SpeedLabelsWriteTheAtsTextAtOnceOnlyWithTheMasterOff) {
  Set(var::kApAirspeedTarget, 250.9);
  SetAndRefresh(var::kApMachTarget, 0.78);
  Frames();
  ASSERT_EQ(Text(kAtsText), "250");

  ClickArea(kMach);  // master off: written in the click itself
  EXPECT_EQ(Text(kAtsText), "0.78");
  ClickArea(kIas);
  EXPECT_EQ(Text(kAtsText), "250");

  SetAndRefresh(var::kApMaster, 1);
  ClickArea(kMach);  // master on: the window waits for its next refresh
  EXPECT_EQ(Text(kAtsText), "250");
  Frames();
  EXPECT_EQ(Text(kAtsText), "0.78");
  ClickArea(kIas);
  EXPECT_EQ(Text(kAtsText), "0.78");
  Frames();
  EXPECT_EQ(Text(kAtsText), "250");
}

TEST_F(AutopilotTest, AtsKnobStepsTheTargetOfTheRememberedModeAcrossKillAndInstall) {
  EXPECT_EQ(EventsOfClick(kAtsDown), WithValueOne({event::kAirspeedTargetDown}));
  EXPECT_EQ(EventsOfClick(kAtsUp), WithValueOne({event::kAirspeedTargetUp}));

  ClickArea(kMach);  // with the master off the Mach hold is never engaged
  EXPECT_EQ(EventsOfClick(kAtsDown), WithValueOne({event::kMachTargetDown}));
  EXPECT_EQ(EventsOfClick(kAtsUp), WithValueOne({event::kMachTargetUp}));

  Play({"kill", "install", "update:1"});
  EXPECT_EQ(EventsOfClick(kAtsUp), WithValueOne({event::kMachTargetUp}));

  ClickArea(kIas);
  EXPECT_EQ(EventsOfClick(kAtsUp), WithValueOne({event::kAirspeedTargetUp}));
  ClickArea(kSpeedOff);  // OFF leaves the mode alone
  EXPECT_EQ(EventsOfClick(kAtsDown), WithValueOne({event::kAirspeedTargetDown}));
}

// ---- flying it on the bench ----

TEST_F(AutopilotTest, ThePanelFliesTheBenchAircraft) {
  Set(var::kApHeadingTarget, 95);
  Set(var::kApAltitudeTarget, 35000);
  Frames();
  ClickArea(kHeadingHold);  // master off: the off event, nothing engages
  Frames();
  EXPECT_EQ(Picture(kHeadingSwitch), 0);

  ClickArea(kMaster);
  Frames();
  EXPECT_EQ(Picture(kRSwitch), 1);
  ClickArea(kHeadingHold);
  Frames();
  EXPECT_EQ(Picture(kHeadingSwitch), 1);
  EXPECT_EQ(Text(kHeadingText), "095");
  ClickArea(kHeadingUp);
  ClickArea(kHeadingUp);
  Frames();
  EXPECT_EQ(Text(kHeadingText), "097");

  ClickArea(kAltSelHold);
  ClickArea(kAltSelUp);
  Frames();
  EXPECT_EQ(Picture(kAltSelSwitch), 1);
  EXPECT_EQ(Text(kAltSelText), "35100");

  ClickArea(kVsDown);
  ClickArea(kVsDown);
  Frames();
  EXPECT_EQ(Text(kVerticalSpeedText), "-0200");

  // Speed: the holds need the autothrottle armed; IAS engages the airspeed
  // hold, MACH swaps holds and the window.
  Set(var::kApAirspeedTarget, 250);
  Set(var::kApMachTarget, 0.78);
  ClickArea(kIas);
  Frames(2);
  EXPECT_EQ(Picture(kSpeedSelector), 0);
  ClickArea(kAutothrottle);
  ClickArea(kIas);
  Frames(2);
  EXPECT_EQ(Picture(kAutothrottleSwitch), 1);
  EXPECT_EQ(Picture(kSpeedSelector), 1);
  EXPECT_EQ(Text(kAtsText), "250");
  ClickArea(kMach);
  ClickArea(kAtsUp);
  ClickArea(kAtsUp);
  Frames(2);
  EXPECT_EQ(Picture(kSpeedSelector), 2);
  EXPECT_EQ(Text(kAtsText), "0.80");
  ClickArea(kAutothrottle);  // disarming drops the speed hold
  Frames(2);
  EXPECT_EQ(Picture(kSpeedSelector), 0);
  EXPECT_EQ(Text(kAtsText), "0.80");
  ClickArea(kAutothrottle);
  ClickArea(kIas);

  // Lateral modes replace one another; the mode selector follows.
  struct Step {
    Area area;
    int nav_picture;
    int heading_lever;
  };
  for (Step s : {Step{kNav, 1, 0}, Step{kApr, 2, 0}, Step{kLoc, 3, 0}, Step{kBc, 4, 0},
                 Step{kModeOff, 0, 0}, Step{kHeadingHold, 0, 1}, Step{kLvl, 0, 0}}) {
    SCOPED_TRACE(Areas()[s.area].name);
    ClickArea(s.area);
    Frames(2);
    EXPECT_EQ(Picture(kNavSelector), s.nav_picture);
    EXPECT_EQ(Picture(kHeadingSwitch), s.heading_lever);
  }
  EXPECT_EQ(Picture(kLvlSwitch), 1);

  ClickArea(kYawOn);
  Frames();
  EXPECT_EQ(Picture(kYawDamper), 1);

  // The master off drops every hold; the yaw damper stays.
  ClickArea(kMaster);
  Frames(2);
  EXPECT_EQ(Picture(kRSwitch), 0);
  EXPECT_EQ(Picture(kLvlSwitch), 0);
  EXPECT_EQ(Picture(kAltSelSwitch), 0);
  EXPECT_EQ(Picture(kSpeedSelector), 0);
  EXPECT_EQ(Picture(kYawDamper), 1);
  EXPECT_EQ(Text(kAltSelText), "35100");  // targets survive
}

// What the GPS sends to couple the autopilot keeps working beside the panel.
TEST_F(AutopilotTest, TheGpsCouplingEventsDriveTheSameAircraft) {
  struct Step {
    uint32_t event;
    int32_t value;
    uint32_t id;
    double expected;
  };
  bench::SimState& sim = host().sim();
  sim.Set(var::kApNavHold, 1);
  for (Step s : {Step{event::kGpsHeadingHoldOn, 0, var::kApHeadingHold, 0},  // master off
                 Step{event::kApOn, 0, var::kApMaster, 1},
                 Step{event::kGpsHeadingHoldOn, 0, var::kApHeadingHold, 1},
                 Step{event::kGpsHeadingHoldOn, 0, var::kApNavHold, 0},  // lateral: replaced
                 Step{event::kGpsAltitudeHoldOn, 0, var::kApAltitudeHold, 1},
                 Step{event::kApHeadingSet, 370, var::kApHeadingTarget, 10},
                 Step{event::kApHeadingSet, -10, var::kApHeadingTarget, 350},
                 Step{event::kApAltitudeSet, 12000, var::kApAltitudeTarget, 12000},
                 Step{event::kApVerticalSpeedSet, -1800, var::kApVerticalSpeedTarget, -1800},
                 Step{event::kGpsHeadingHoldOff, 0, var::kApHeadingHold, 0},
                 Step{event::kApOff, 0, var::kApMaster, 0},
                 Step{event::kApOff, 0, var::kApAltitudeHold, 0}}) {
    sim.ApplyEvent(s.event, s.value);
    EXPECT_EQ(sim.Get(s.id), s.expected) << std::hex << s.event << " " << s.id;
  }
  Frames(2);
  EXPECT_EQ(Text(kHeadingText), "350");
  EXPECT_EQ(Text(kAltSelText), "12000");
  EXPECT_EQ(Text(kVerticalSpeedText), "-1800");
}

// Any values, clicks everywhere: texts stay within their windows and the
// host records no violation (checked at tear-down).
TEST_F(AutopilotTest, BadValuesAndClickStormsStayWithinBounds) {
  const double values[] = {kNaN,         kInf,          -kInf, 1e300, -1e300,
                           2147483648.0, -2147483649.0, 1.0,   0.5,   -0.0};
  const uint32_t ids[] = {var::kApMaster,         var::kApWingLeveler,
                          var::kApNavHold,        var::kApHeadingHold,
                          var::kApHeadingTarget,  var::kApAltitudeHold,
                          var::kApAltitudeTarget, var::kApApproachHold,
                          var::kApLocalizerHold,  var::kApBackCourseHold,
                          var::kApYawDamper,      var::kApAirspeedHold,
                          var::kApAirspeedTarget, var::kApMachHold,
                          var::kApMachTarget,     var::kApVerticalSpeedTarget,
                          var::kAutothrottleArm,  var::kSelectedCourse};
  size_t n = 0;
  for (double v : values) {
    for (uint32_t id : ids) Set(id, v);
    Frames(2);
    for (int a = 0; a < kAreaCount; ++a) ClickArea(static_cast<Area>((a + n) % kAreaCount));
    ++n;
    Frames();
    for (size_t i : {kAltSelText, kHeadingText, kCourseText, kVerticalSpeedText, kAtsText}) {
      std::string text = Text(i).value_or("");
      EXPECT_LE(text.size(), String(i)->char_count) << text;
      EXPECT_FALSE(text.empty());
    }
  }
  for (int x = 0; x < 590; x += 7)
    for (int y = -2; y < 125; y += 5) Click(x, y);
  Play({"kill", "install", "set:0x76=nan", "update:2", "kill", "install", "update:1"});
}

// ---- bitmaps ----

bool IsBlack(bench::Rgb8 c) { return c.r == 0 && c.g == 0 && c.b == 0; }
int Brightness(bench::Rgb8 c) { return (c.r + c.g + c.b) / 3; }

TEST_F(AutopilotTest, BitmapsHaveTheirSizesAndShapes) {
  struct Size {
    uint32_t id;
    int w, h;
  };
  for (Size s : {Size{0x1000, 590, 123},
                 {0x2500, 28, 68},
                 {0x2503, 28, 68},
                 {0x2510, 18, 72},
                 {0x2513, 18, 72},
                 {0x2520, 35, 35},
                 {0x2523, 35, 35},
                 {0x2526, 35, 35},
                 {0x2529, 35, 35},
                 {0x252C, 35, 35},
                 {0x2600, 35, 35},
                 {0x2603, 35, 35},
                 {0x2606, 35, 35}}) {
    const bench::Bitmap* b = host().BitmapResource(s.id);
    ASSERT_NE(b, nullptr) << std::hex << s.id;
    EXPECT_EQ(b->width, s.w) << std::hex << s.id;
    EXPECT_EQ(b->height, s.h) << std::hex << s.id;
  }
  // The R switch covers its box: no see-through pixel.
  for (uint32_t id : {0x2500u, 0x2503u}) {
    const bench::Bitmap* b = host().BitmapResource(id);
    for (int y = 0; y < b->height; ++y)
      for (int x = 0; x < b->width; ++x) ASSERT_FALSE(IsBlack(b->At(x, y))) << x << "," << y;
  }
  // Its slider is bright at the top for CMD and at the bottom for OFF.
  auto slider_row = [](const bench::Bitmap* b) {
    int best = 0, best_y = 0;
    for (int y = 0; y < b->height; ++y)
      if (Brightness(b->At(14, y)) > best) best = Brightness(b->At(14, y)), best_y = y;
    return best_y;
  };
  EXPECT_LT(slider_row(host().BitmapResource(0x2503)), 30);
  EXPECT_GT(slider_row(host().BitmapResource(0x2500)), 38);
  // Toggle levers fill exactly their rows; every other pixel is black.
  for (auto [id, first, last] : {std::tuple{0x2510u, 39, 59}, {0x2513u, 22, 42}}) {
    const bench::Bitmap* b = host().BitmapResource(id);
    for (int y = 0; y < b->height; ++y) {
      bool any = false;
      for (int x = 0; x < b->width; ++x) any = any || !IsBlack(b->At(x, y));
      EXPECT_EQ(any, y >= first && y <= last) << std::hex << id << std::dec << " row " << y;
    }
  }
}

TEST_F(AutopilotTest, SelectorKnobsAreRoundAndPointAtTheirPositions) {
  struct Knob {
    uint32_t id;
    double degrees;  // counter-clockwise from pointing right
  };
  for (Knob k : {Knob{0x2520, 180},
                 {0x2523, 135},
                 {0x2526, 90},
                 {0x2529, 0},
                 {0x252C, -45},
                 {0x2600, 135},
                 {0x2603, 45},
                 {0x2606, 0}}) {
    SCOPED_TRACE(std::to_string(k.id));
    const bench::Bitmap* b = host().BitmapResource(k.id);
    ASSERT_NE(b, nullptr);
    for (auto [x, y] : {std::pair{0, 0}, {34, 0}, {0, 34}, {34, 34}, {2, 2}, {32, 32}})
      EXPECT_TRUE(IsBlack(b->At(x, y)));
    EXPECT_FALSE(IsBlack(b->At(17, 17)));
    // The white index is the brightest thing on the rim, in its direction.
    double best = -1, best_angle = 0;
    for (int a = -180; a < 180; a += 45) {
      double r = a * 3.14159265358979 / 180.0;
      int x = static_cast<int>(std::lround(17 + 14 * std::cos(r)));
      int y = static_cast<int>(std::lround(17 - 14 * std::sin(r)));
      if (Brightness(b->At(x, y)) > best) best = Brightness(b->At(x, y)), best_angle = a;
    }
    EXPECT_EQ(best_angle == -180 ? 180 : best_angle, k.degrees);
    EXPECT_GT(best, 200);
  }
}

TEST_F(AutopilotTest, BackgroundHasDarkWindowsUnderTheReadouts) {
  const bench::Bitmap* bg = host().BitmapResource(0x1000);
  ASSERT_NE(bg, nullptr);
  for (size_t i : {kAltSelText, kHeadingText, kCourseText, kVerticalSpeedText, kAtsText}) {
    StringElement* s = String(i);
    for (uint32_t dy = 0; dy < s->box_height; ++dy)
      for (uint32_t dx = 0; dx < s->box_width; ++dx)
        ASSERT_LT(Brightness(bg->At(s->header.position.x + dx, s->header.position.y + dy)), 24)
            << "window " << i;
    // ... framed by something lighter than the window itself.
    EXPECT_GT(Brightness(bg->At(s->header.position.x - 6, s->header.position.y + 8)), 24);
  }
  // Knobs under the knob areas: a knob body, not bare panel, at each centre.
  for (auto [x, y] : {std::pair{54, 47}, {160, 104}, {255, 47}, {264, 103}}) {
    bench::Rgb8 centre = bg->At(x, y), beside = bg->At(x + 17, y + 17);
    EXPECT_NE(Brightness(centre), Brightness(beside)) << x << "," << y;
  }
}

}  // namespace
