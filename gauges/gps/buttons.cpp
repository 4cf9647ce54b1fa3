// The five buttons along the bottom of the screen and what each click does.
// Every callback ignores its arguments and returns 1.
#include "gauge_builders.h"
#include "gps_state.h"
#include "panel_services.h"

namespace gps {

namespace {

constexpr int32_t kClickTaken = 1;

// The route changed under the selected item: fetch the item after it and
// recompute the leg and lead at once.
void ReloadLegAfterChange() {
  if (state.currentItem.mode != 1) return;
  ClearRecord(state.nextItem);
  LoadNextItem(state.currentItem.tourIndex);
  UpdateLeg();
  UpdateLead();
}

// DLG: hands the settings and the aircraft position to the companion, shows
// its dialog, takes the result back and couples or releases accordingly.
// Without the library the button only beeps: it has no settings to apply,
// and re-deciding the coupling from an empty record would switch off an
// autopilot the pilot engaged.
int32_t GAUGE_CALL SettingsClick(uint32_t, uint32_t) {
  MessageBeep(0);
  if (!CompanionLoaded()) return kClickTaken;
  if (CompanionHas("KestrelSetData")) {
    state.currentItem.aircraftLatitude = Read(latitudeVar);
    state.currentItem.aircraftLongitude = Read(longitudeVar);
    CompanionSetData(&state.currentItem);
  }
  CompanionSettingDialog(&state.currentItem);
  CompanionGetData(&state.currentItem);
  state.apCoupled = AutopilotCoupled() ? 1 : 0;
  if (state.apCoupled == 1) {
    EngageCoupling();
  } else {
    ReleaseCoupling();
  }
  ReloadLegAfterChange();
  return kClickTaken;
}

// INF: the companion's about box.
int32_t GAUGE_CALL AboutClick(uint32_t, uint32_t) {
  MessageBeep(0);
  CompanionAboutDialog();
  return kClickTaken;
}

// AP: switches the coupling for the current mode on or off.
int32_t GAUGE_CALL CouplingClick(uint32_t, uint32_t) {
  MessageBeep(0);
  GpsRecord& cur = state.currentItem;
  state.apCoupled = state.apCoupled == 0 ? 1 : 0;
  if (state.apCoupled == 1) {
    cur.coupleDirect = cur.mode == 0 ? 1 : 0;
    cur.coupleTour = cur.mode == 0 ? 0 : 1;
    EngageCoupling();
  } else {
    cur.coupleDirect = 0;
    cur.coupleTour = 0;
    ReleaseCoupling();
  }
  CompanionSetData(&cur);
  ReloadLegAfterChange();
  return kClickTaken;
}

// Prev and Next: in tour mode step the companion's cursor one item; in any
// mode re-issue the autopilot settings.
void StepRoute(int32_t direction) {
  if (state.currentItem.mode == 1) {
    MessageBeep(0);
    ClearRecord(state.nextItem);
    int32_t index = 0;
    if (CompanionGetTourItem(direction, &index)) {
      LoadNextItem(index);
      CompanionGetData(&state.currentItem);
    }
  }
  ReissueAutopilot();
}

int32_t GAUGE_CALL PreviousClick(uint32_t, uint32_t) {
  StepRoute(0);
  return kClickTaken;
}

int32_t GAUGE_CALL NextClick(uint32_t, uint32_t) {
  StepRoute(1);
  return kClickTaken;
}

constexpr int32_t kButtonTop = 84;
constexpr int32_t kButtonWidth = 28;
constexpr int32_t kButtonHeight = 10;

}  // namespace

MouseRect mouseRects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(8, kButtonTop, kButtonWidth, kButtonHeight, CursorButton, LeftClick,
                        SettingsClick),  // DLG
    gauge::CallbackRect(40, kButtonTop, kButtonWidth, kButtonHeight, CursorButton, LeftClick,
                        AboutClick),  // INF
    gauge::CallbackRect(72, kButtonTop, kButtonWidth, kButtonHeight, CursorButton, LeftClick,
                        CouplingClick),  // AP
    gauge::CallbackRect(104, kButtonTop, kButtonWidth, kButtonHeight, CursorButton, LeftClick,
                        PreviousClick),  // Prev
    gauge::CallbackRect(136, kButtonTop, kButtonWidth, kButtonHeight, CursorButton, LeftClick,
                        NextClick),  // Next
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

}  // namespace gps
