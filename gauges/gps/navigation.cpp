// Navigation on the gauge's state: the leg to the selected item, the lead
// distance, the wind correction, time to go, and walking the companion
// library's route. The arithmetic itself lives in nav_math.cpp.
#include "gps_state.h"
#include "nav_math.h"

namespace gps {

double SpeedEstimate() {
  const double airspeed = Read(airspeedVar);
  const double mach = Read(machVar);
  return SpeedFrom(airspeed, mach);
}

double TurnRadius() { return TurnRadiusAt(SpeedEstimate()); }

void UpdateLeg() {
  const double lat = Read(latitudeVar);
  const double lon = Read(longitudeVar);
  const LegResult leg = LegDistanceBearing(lat, lon, state.currentItem.latitude,
                                           state.currentItem.longitude, Read(variationVar));
  state.distanceNm = leg.distanceNm;
  state.steerHeading = leg.bearing;
}

namespace {

// The bearing of the next leg changes only when one of its two items or the
// magnetic variation does, so it is kept between updates: the great-circle
// arithmetic is the dearest part of an ordinary update.
struct NextLegBearing {
  double inputs[5];
  double bearing;
  bool valid;
};
NextLegBearing nextLeg = {{0, 0, 0, 0, 0}, 0.0, false};

double BearingOfNextLeg(const GpsRecord& cur, const GpsRecord& next, double variation) {
  const double inputs[5] = {cur.latitude, cur.longitude, next.latitude, next.longitude, variation};
  bool same = nextLeg.valid;
  for (int i = 0; i < 5 && same; ++i) same = inputs[i] == nextLeg.inputs[i];
  if (!same) {
    nextLeg.bearing =
        LegDistanceBearing(cur.latitude, cur.longitude, next.latitude, next.longitude, variation)
            .bearing;
    for (int i = 0; i < 5; ++i) nextLeg.inputs[i] = inputs[i];
    nextLeg.valid = true;
  }
  return nextLeg.bearing;
}

}  // namespace

// Uses the heading UpdateLeg produced in this update, before the wind
// correction.
void UpdateLead() {
  const double nextBearing =
      BearingOfNextLeg(state.currentItem, state.nextItem, Read(variationVar));
  state.leadNm = LeadDistance(nextBearing, state.steerHeading, SpeedEstimate());
}

void CorrectForWind() {
  const double windSpeed = Read(windSpeedVar);
  const double windDirection = Read(windDirectionVar);
  state.steerHeading = WindCorrected(state.steerHeading, windSpeed, windDirection, SpeedEstimate());
}

bool TimeToGo(int32_t* hours, int32_t* minutes) {
  return TimeToGoAt(state.distanceNm, SpeedEstimate(), hours, minutes);
}

// Fills nextItem with the route item after the one under the companion's
// cursor and puts the cursor back where it was. A forward step that lands
// below `reference` wrapped past the last item: there is no next item.
void LoadNextItem(int32_t reference) {
  GpsRecord& next = state.nextItem;
  if (state.currentItem.mode != 1) {
    next.latitude = next.longitude = 0.0;
    return;
  }
  TryLoadCompanion();
  if (!CompanionLoaded()) return;
  int32_t index = 0;
  if (!CompanionGetTourItem(1, &index)) return;
  if (index < reference || !CompanionGetData(&next)) next.latitude = next.longitude = 0.0;
  CompanionGetTourItem(0, &index);
}

// Sequences to the next route item once the selected one is reached, while
// the autopilot is coupled in tour mode.
void SequencingCheck() {
  const GpsRecord& cur = state.currentItem;
  const GpsRecord& next = state.nextItem;
  if (!(state.distanceNm <= state.leadNm)) return;
  if (cur.mode != 1 || cur.coupleTour != 1) return;
  if (!CompanionLoaded() || !CompanionHas("KestrelGetTourItem")) return;
  if (next.latitude == 0.0 && next.longitude == 0.0) return;

  int32_t index = 0;
  CompanionGetTourItem(1, &index);
  // A cursor that did not get past the selected item (wrapped, or a route of
  // one item) means the route has no further item.
  if (index <= cur.tourIndex) {
    CompanionGetTourItem(0, &index);
    return;
  }
  CompanionGetData(&state.currentItem);
  LoadNextItem(state.currentItem.tourIndex);
  ReissueAutopilot();
}

}  // namespace gps
