// Orrin: the glideslope indicator. A pointer slides along a 7 x 50 scale
// with the deviation; scale and pointer show only while the glideslope
// status is non-zero, and a black cover lies over the gauge unless the
// status is exactly 1.0. The status comes from a variable record of the
// gauge's own, bound at install and refreshed before every element update.
#include "gauge_builders.h"
#include "gauge_math.h"
#include "gauge_routines.h"
#include "glideslope_resources.h"
#include "sim_ids.h"

namespace {

extern GaugeHeader gauge_header;
extern MouseRect mouse_rects[];
extern StaticImageElement scale;
extern SliderElement pointer;

// Glideslope status as of the last update; both callbacks read only this.
ModuleVar status = gauge::Var(var::kGlideslopeStatus);

// Pixels of pointer travel per unit of deviation: 96 units move it 19 pixels.
constexpr FLOAT64 kPointerScale = 19.0 / 96.0;
static_assert(kPointerScale == 0.19791666666666666, "the pointer scale is exactly 19/96");

// Shows scale and pointer unless the status is zero (-0.0 included; NaN is
// not zero and shows them). The simulator calls this while the pointer is
// hidden too, which is what brings both back. Returns the deviation as is.
FLOAT64 GAUGE_CALL PointerValue(ModuleVar* deviation) {
  const bool hide = status.value == 0.0;
  gauge::SetHidden(scale.header, hide);
  gauge::SetHidden(pointer.header, hide);
  return deviation ? deviation->value : 0.0;
}

// No cover picture (-1) only while the status is exactly 1.0; otherwise
// picture 0, the black bitmap.
FLOAT64 GAUGE_CALL CoverPicture(ModuleVar*) {
  return gauge::IsExactlyOne(status.value) ? -1.0 : 0.0;
}

FailureRecord failures[] = {gauge::Failure(1, 3), gauge::FailureListEnd()};

// Element tree: the background with the scale, the pointer and the cover.
StaticImageElement scale =
    gauge::StaticImage(kBmpScale, 0, 0, &gauge_header, nullptr, failures, 0x6);
SliderElement pointer =
    gauge::Slider(kBmpPointer, 1, 21, &gauge_header, nullptr, failures, 0x7, gauge::NoSliderAxis(),
                  gauge::SliderOn(var::kGlideslopeDeviation, PointerValue, kPointerScale));
IconElement cover =
    gauge::Icon(kBmpBackground, 0, 0, &gauge_header, nullptr, failures, 0x0, 0, CoverPicture, 1);
ElementHeader* background_children[] = {&scale.header, &pointer.header, &cover.header, nullptr};
StaticImageElement background =
    gauge::StaticImage(kBmpBackground, 0, 0, &gauge_header, background_children, failures, 0x1);
ElementHeader* element_list[] = {&background.header};

// No clickable area: the structural entries only.
MouseRect mouse_rects[] = {gauge::ParentRect(), gauge::ParentEndRect(), gauge::ListEndRect()};

using Common = gauge::StandardRoutines<gauge_header, mouse_rects>;

// Install binds the status record before the common install.
void GAUGE_CALL Install(uint32_t arg) {
  services::InitializeVar(&status);
  gauge::StandardInstall(gauge_header, mouse_rects, arg);
}

// Update refreshes the status before the simulator evaluates the elements,
// so both callbacks see this cycle's value.
void GAUGE_CALL Update() {
  services::LookupVar(&status);
  gauge::StandardUpdate(gauge_header);
}

GaugeHeader gauge_header =
    gauge::Gauge("ORRIN_A", element_list, Common::Query, Install, Common::Initialize, Update,
                 Common::Generate, Common::Draw, Common::Kill, 7);

}  // namespace

GAUGE_LINKAGE(gauge_header)
