// Autopilot coupling: the GPS steers the autopilot only by sending events,
// and never reads the autopilot back.
#include <math.h>

#include "gauge_math.h"
#include "gps_state.h"
#include "panel_services.h"
#include "sim_ids.h"

namespace gps {

namespace {

constexpr double kFeetPerMetre = 3.281;
constexpr double kFastClimbSelect = 65535.0;

void Send(uint32_t id, int32_t value) { services::SendEvent(id, value); }

bool AltitudeCoupled() {
  const GpsRecord& cur = state.currentItem;
  return (cur.mode == 0 && cur.coupleDirect == 1 && cur.altHoldDirect == 1) ||
         (cur.mode == 1 && cur.coupleTour == 1 && cur.altHoldTour == 1);
}

// The target altitude of the current mode in feet, or 0 when the altitude
// is not coupled.
double TargetAltitude() {
  if (!AltitudeCoupled()) return 0.0;
  return state.currentItem.mode == 0 ? state.currentItem.altitudeDirect
                                     : state.currentItem.altitudeTour;
}

// steerHeading rounded up to the next whole degree: 359.5 goes out as 360.
int32_t HeadingCommand() { return gauge::TruncateToInt32(ceil(state.steerHeading)); }

void SendHeading() {
  Send(event::kGpsHeadingHoldOn, 0);
  Send(event::kApHeadingSet, HeadingCommand());
}

void SendAltitudePart() {
  if (!AltitudeCoupled()) return;
  Send(event::kGpsAltitudeHoldOn, 0);
  Send(event::kApAltitudeSet, gauge::TruncateToInt32(TargetAltitude()));
  Send(event::kApVerticalSpeedSet, VerticalSpeedCommand());
}

}  // namespace

bool AutopilotCoupled() {
  const GpsRecord& cur = state.currentItem;
  return (cur.mode == 0 && cur.coupleDirect == 1) || (cur.mode == 1 && cur.coupleTour == 1);
}

// Climb or descend at the selected rate unless within a foot of the target.
int32_t VerticalSpeedCommand() {
  const double altitudeFeet = Read(altitudeVar) * kFeetPerMetre;
  const double difference = TargetAltitude() - altitudeFeet;
  const double rate = Read(climbRateVar) == kFastClimbSelect ? 1800.0 : 700.0;
  double command = 0.0;
  if (difference > 1.0) {
    command = rate;
  } else if (difference < -1.0) {
    command = -rate;
  }
  return gauge::TruncateToInt32(command);
}

void EngageCoupling() {
  Send(event::kApOn, 0);
  Send(event::kGpsHeadingHoldOn, 0);
  Send(event::kApHeadingSet, HeadingCommand());
  SendAltitudePart();
}

void ReleaseCoupling() {
  Send(event::kApOff, 0);
  Send(event::kGpsHeadingHoldOff, 0);
}

// After a change of the selected item: the vertical speed always goes to 0
// first; the master is not switched on again.
void ReissueAutopilot() {
  Send(event::kApVerticalSpeedSet, 0);
  if (!AutopilotCoupled()) return;
  SendHeading();
  SendAltitudePart();
}

// Every refresh block: the heading only.
void RefreshHeading() {
  if (AutopilotCoupled()) SendHeading();
}

}  // namespace gps
