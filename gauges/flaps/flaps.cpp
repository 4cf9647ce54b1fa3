// Flaps: the flaps tape indicator. A tape moving over a cyan bar marks the
// flap position with a blue line, and a two-character readout beside it
// shows the detent that position belongs to. It only displays: no clicks,
// no state, no events.
#include "flaps_resources.h"
#include "gauge_builders.h"
#include "gauge_math.h"
#include "gauge_routines.h"
#include "gauge_text.h"
#include "sim_ids.h"

namespace {

extern GaugeHeader gauge_header;
extern ElementHeader* background_children[];
extern StringElement readout;

FailureRecord failures[] = {
    gauge::Failure(2, 3),
    gauge::Failure(1, 3),
    gauge::FailureListEnd(),
};

// Detents by flap position: a row holds the positions above the previous
// row's bound up to and including its own. Above the last bound: 30.
struct DetentRow {
  FLOAT64 upper;
  FLOAT64 detent;
};
// clang-format off
const DetentRow kDetents[] = {
    { 2000.0,  0.0},
    { 4000.0,  1.0},
    { 6100.0,  2.0},
    { 8100.0,  5.0},
    {10200.0, 10.0},
    {12200.0, 15.0},
    {14300.0, 20.0},
    {16300.0, 25.0},
};
// clang-format on
constexpr FLOAT64 kFullFlapsDetent = 30.0;

// NaN fails every comparison and lands on the first row, as do negative
// positions; +inf and huge positions run past the table to full flaps.
FLOAT64 DetentOf(double position) {
  if (!(position > kDetents[0].upper)) return kDetents[0].detent;
  for (const DetentRow& row : kDetents) {
    if (position <= row.upper) return row.detent;
  }
  return kFullFlapsDetent;
}

// Reads the flap position from the readout's own record, not the argument.
FLOAT64 GAUGE_CALL DetentText(FLOAT64) {
  const FLOAT64 detent = DetentOf(readout.sources[0].value);
  gauge::FormatBounded(readout.text, readout.char_count, "%2d", gauge::TruncateToInt32(detent));
  return detent;
}

// Element tree: the background with two children, the readout and the tape.
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, nullptr, 0x5);
StringElement readout =
    gauge::String(13, 13, &gauge_header, nullptr, failures, 0x6, var::kFlapPosition, DetentText,
                  gauge::StringStyle{8, 8, 0xFF8000, 0, 0x5C5C5C, 2});
// The tape moves on the y axis alone, between the flap positions 17000 and 400.
MovingImageElement tape = gauge::MovingImage(
    kBmpTape, -1, 1, &gauge_header, nullptr, failures, 0x7, gauge::NoMovingAxis(),
    gauge::MovingOn(var::kFlapPosition, gauge::PassThrough, 17000.0, 400.0));

ElementHeader* background_children[] = {&readout.header, &tape.header, nullptr};
ElementHeader* element_list[] = {&background.header};

// No clickable area: the parent entry only carries the tape's help text.
MouseRect mouse_rects[] = {
    gauge::ParentRect(help::kFlapsTape),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Routines = gauge::StandardRoutines<gauge_header, mouse_rects>;
GaugeHeader gauge_header = gauge::StandardGauge<Routines>("Stratum. by Norlo", element_list, 50);

}  // namespace

GAUGE_LINKAGE(gauge_header)
