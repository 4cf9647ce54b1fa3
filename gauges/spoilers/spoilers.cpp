// Brakewell1: the spoiler auto-arm switch. A click in the switch strip arms
// or disarms; while armed the lever and the red lamp are drawn, and every
// update that finds the deploy condition at exactly 1.0 sends the deploy
// event. The armed state is the gauge's own and lasts while the module is
// loaded, across kill and install.
#include "gauge_builders.h"
#include "gauge_math.h"
#include "gauge_routines.h"
#include "sim_ids.h"
#include "spoilers_resources.h"

namespace {

extern GaugeHeader gauge_header;
extern MouseRect mouse_rects[];

// Not armed at load. The lever's and lamp's hidden bits always equal !armed.
bool armed = false;

// The deploy condition; refreshed by LookupVar alone, never bound.
ModuleVar deploy_condition = gauge::Var(var::kSpoilerDeployCondition);

FailureRecord failures[] = {gauge::Failure(1, 1), gauge::FailureListEnd()};

// Element tree: the background with the lever and then the lamp. Neither
// icon has a variable or callback, so each shows its one picture whenever
// it is not hidden; both start hidden.
IconElement lever = gauge::Icon(kBmpLever, 17, 8, &gauge_header, nullptr, nullptr,
                                ImageHidden | 0x3, 0, nullptr, 1);
IconElement lamp = gauge::Icon(kBmpLamp, 55, 16, &gauge_header, nullptr, failures,
                               ImageHidden | 0x7, 0, nullptr, 1);
ElementHeader* background_children[] = {&lever.header, &lamp.header, nullptr};
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, failures, 0x1);
ElementHeader* element_list[] = {&background.header};

// Flips the armed state and shows or hides lever and lamp to match. No
// event is sent; the next update and draw act on the new state.
int32_t GAUGE_CALL ArmToggle(uint32_t, uint32_t) {
  armed = !armed;
  gauge::SetHidden(lever.header, !armed);
  gauge::SetHidden(lamp.header, !armed);
  return 0;
}

// The switch strip: columns 12 to 41, the gauge's full height.
MouseRect mouse_rects[] = {
    gauge::ParentRect(),
    gauge::CallbackRect(12, 0, 30, 66, CursorButton, LeftClick, ArmToggle),
    gauge::ParentEndRect(),
    gauge::ListEndRect(),
};

using Common = gauge::StandardRoutines<gauge_header, mouse_rects>;

// The deploy check has no memory: it fires on every update for as long as
// the gauge is armed and the condition reads exactly 1.0 (bit for bit).
void GAUGE_CALL Update() {
  services::LookupVar(&deploy_condition);
  if (armed && gauge::IsExactlyOne(deploy_condition.value)) {
    services::SendEvent(event::kDeploySpoilers, 0);
  }
  gauge::StandardUpdate(gauge_header);
}

// The elements go first, then the mouse list.
void GAUGE_CALL Kill() {
  services::KillElements(gauge::Root(gauge_header));
  services::UnregisterMouseRects(mouse_rects, &gauge_header);
}

GaugeHeader gauge_header =
    gauge::Gauge("Moru Brakewell (Toggle type)", element_list, Common::Query, Common::Install,
                 Common::Initialize, Update, Common::Generate, Common::Draw, Kill, 57);

}  // namespace

GAUGE_LINKAGE(gauge_header)
