// Lumaris.LIGHTS: the PANEL, STROB and LAND switches. Each lever shows its
// light's simulator variable as it is; a click makes the simulator send the
// light's toggle event, and the lever follows once the variable has flipped.
// The gauge keeps no state of its own and its routines are the common ones.
#include "gauge_builders.h"
#include "gauge_routines.h"
#include "lights_resources.h"
#include "sim_ids.h"

namespace {

extern GaugeHeader gauge_header;

// The picture number is the light's value: 0 lever up (OFF), 1 lever down
// (ON). Each switch has a callback of its own.
FLOAT64 GAUGE_CALL PanelPicture(ModuleVar* source) { return gauge::PassThrough(source); }
FLOAT64 GAUGE_CALL StrobePicture(ModuleVar* source) { return gauge::PassThrough(source); }
FLOAT64 GAUGE_CALL LandingPicture(ModuleVar* source) { return gauge::PassThrough(source); }

// Element tree: the background and, as its children, PANEL, STROB and LAND.
IconElement panel_switch = gauge::Icon(kBmpSwitchOff, 4, 22, &gauge_header, nullptr, nullptr, 3,
                                       var::kPanelLights, PanelPicture, 2);
IconElement strobe_switch = gauge::Icon(kBmpSwitchOff, 62, 22, &gauge_header, nullptr, nullptr, 3,
                                        var::kStrobeLights, StrobePicture, 2);
IconElement landing_switch = gauge::Icon(kBmpSwitchOff, 120, 22, &gauge_header, nullptr, nullptr, 3,
                                         var::kLandingLights, LandingPicture, 2);
ElementHeader* background_children[] = {&panel_switch.header, &strobe_switch.header,
                                        &landing_switch.header, nullptr};
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, nullptr, 5);
ElementHeader* element_list[] = {&background.header};

// Each area covers its switch picture exactly; the simulator sends the event.
MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::EventRect(4, 22, 26, 54, CursorButton, LeftClick, event::kTogglePanelLights),
    gauge::EventRect(62, 22, 26, 54, CursorButton, LeftClick, event::kToggleStrobeLights),
    gauge::EventRect(120, 22, 26, 54, CursorButton, LeftClick, event::kToggleLandingLights),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Routines = gauge::StandardRoutines<gauge_header, mouse_rects>;
GaugeHeader gauge_header = gauge::StandardGauge<Routines>("Lumaris.LIGHTS", element_list, 140);

}  // namespace

GAUGE_LINKAGE(gauge_header)
