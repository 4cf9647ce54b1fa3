// Tandem: the auto-coordination switch. One lever with a position of its own
// (1, lever up, at load); each click flips it and sends the new position's
// event. It never reads the simulator's setting.
#include "gauge_builders.h"
#include "gauge_routines.h"
#include "sim_ids.h"
#include "tandem_resources.h"

namespace {

// The switch position; 1 (lever up) whenever the library is loaded.
int32_t SwitchState = 1;

extern GaugeHeader gauge_header;
extern MouseRect mouse_rects[];

FLOAT64 GAUGE_CALL SwitchPicture(ModuleVar*) { return SwitchState ? 1.0 : 0.0; }

int32_t GAUGE_CALL SwitchClick(uint32_t, uint32_t) {
  if (SwitchState != 0) {
    SwitchState = 0;
    services::SendEvent(event::kCoordinationPosition0, 0);
  } else {
    SwitchState = 1;
    services::SendEvent(event::kCoordinationPosition1, 0);
  }
  return 1;
}

// Element tree: the background and its one child, the switch.
IconElement switch_icon =
    gauge::Icon(kBmpSwitchDown, 13, 19, &gauge_header, nullptr, nullptr, 0x3, 0, SwitchPicture, 2);
ElementHeader* background_children[] = {&switch_icon.header, nullptr};
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, nullptr, 0x5);
ElementHeader* element_list[] = {&background.header};

MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(13, 19, 22, 33, CursorButton, LeftClick, SwitchClick),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Routines = gauge::StandardRoutines<gauge_header, mouse_rects>;
GaugeHeader gauge_header = gauge::StandardGauge<Routines>("Tandem", element_list, 47);

}  // namespace

GAUGE_LINKAGE(gauge_header)
