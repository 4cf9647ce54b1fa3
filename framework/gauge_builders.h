// Constant-initialised builders for the static records, so a gauge's
// definition reads like a table: one line per element or mouse area. All of
// them are constexpr, so the records stay plain initialised data (no static
// constructors run in a module).
#pragma once

#include "gauge_records.h"

namespace gauge {

constexpr ModuleVar Var(uint32_t id) { return ModuleVar{id, nullptr, 0, 0.0, 0.0}; }

constexpr ElementHeader Header(uint32_t kind, uint32_t resource_id, int32_t x, int32_t y,
                               GaugeHeader* gauge, ElementHeader** children,
                               FailureRecord* failures, uint32_t image_flags) {
  return ElementHeader{kind,    resource_id, {x, y},   {0, 0},      {0, 0}, gauge,
                       nullptr, children,    failures, image_flags, 0,      0};
}

constexpr StaticImageElement StaticImage(uint32_t resource_id, int32_t x, int32_t y,
                                         GaugeHeader* gauge, ElementHeader** children,
                                         FailureRecord* failures, uint32_t image_flags) {
  return StaticImageElement{
      Header(kStaticImage, resource_id, x, y, gauge, children, failures, image_flags),
      nullptr,
      {0, 0, 0, 0}};
}

constexpr IconElement Icon(uint32_t resource_id, int32_t x, int32_t y, GaugeHeader* gauge,
                           ElementHeader** children, FailureRecord* failures, uint32_t image_flags,
                           uint32_t source_id, ValueCallback callback, uint32_t picture_count) {
  return IconElement{Header(kIcon, resource_id, x, y, gauge, children, failures, image_flags),
                     Var(source_id),
                     callback,
                     {0, 0, 0, 0, 0},
                     picture_count,
                     {0, 0, 0, 0}};
}

constexpr SliderAxis NoSliderAxis() { return SliderAxis{Var(0), nullptr, 0.0, 0}; }
constexpr SliderAxis SliderOn(uint32_t source_id, ValueCallback callback, FLOAT64 scale) {
  return SliderAxis{Var(source_id), callback, scale, 0};
}

constexpr SliderElement Slider(uint32_t resource_id, int32_t x, int32_t y, GaugeHeader* gauge,
                               ElementHeader** children, FailureRecord* failures,
                               uint32_t image_flags, SliderAxis x_axis, SliderAxis y_axis) {
  return SliderElement{Header(kSlider, resource_id, x, y, gauge, children, failures, image_flags),
                       x_axis,
                       y_axis,
                       {0, 0, 0, 0, 0}};
}

constexpr MovingAxis NoMovingAxis() { return MovingAxis{Var(0), nullptr, 0.0, 0.0, 0}; }
constexpr MovingAxis MovingOn(uint32_t source_id, ValueCallback callback, FLOAT64 limit1,
                              FLOAT64 limit2) {
  return MovingAxis{Var(source_id), callback, limit1, limit2, 0};
}

constexpr MovingImageElement MovingImage(uint32_t resource_id, int32_t x, int32_t y,
                                         GaugeHeader* gauge, ElementHeader** children,
                                         FailureRecord* failures, uint32_t image_flags,
                                         MovingAxis x_axis, MovingAxis y_axis) {
  return MovingImageElement{
      Header(kMovingImage, resource_id, x, y, gauge, children, failures, image_flags),
      x_axis,
      y_axis,
      {}};
}

// Every string element of these gauges uses Courier New, weight 400,
// charset 1 and centred single-line text (0x25).
constexpr uint32_t kTextFormatCentredLine = 0x25;

struct StringStyle {
  uint32_t box_width;
  uint32_t box_height;
  uint32_t fore_color;
  uint32_t back_color;
  uint32_t highlight_color;
  uint32_t char_count;
};

constexpr StringElement String(int32_t x, int32_t y, GaugeHeader* gauge, ElementHeader** children,
                               FailureRecord* failures, uint32_t image_flags, uint32_t source_id,
                               TextCallback callback, StringStyle style) {
  return StringElement{Header(kString, 0xFFFFFFFFu, x, y, gauge, children, failures, image_flags),
                       {Var(source_id), Var(0), Var(0)},
                       {},
                       callback,
                       nullptr,
                       0,
                       style.box_width,
                       style.box_height,
                       {0, 0},
                       style.fore_color,
                       style.back_color,
                       style.highlight_color,
                       {},
                       "Courier New",
                       400,
                       1,
                       kTextFormatCentredLine,
                       style.char_count,
                       {0, 0, 0, 0}};
}

constexpr MouseRect ParentRect(uint32_t help_id = 0) {
  return MouseRect{RectParent, {0, 0, 0, 0}, CursorNone, help_id, 0, 0, nullptr, 0};
}
constexpr MouseRect ParentEndRect() {
  return MouseRect{RectParentEnd, {0, 0, 0, 0}, CursorNone, 0, 0, 0, nullptr, 0};
}
constexpr MouseRect ListEndRect() {
  return MouseRect{RectListEnd, {0, 0, 0, 0}, CursorNone, 0, 0, 0, nullptr, 0};
}
constexpr MouseRect EventRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cursor,
                              uint32_t flags, uint32_t event) {
  return MouseRect{RectChild, {x, y, w, h}, cursor, 0, flags, event, nullptr, 0};
}
constexpr MouseRect CallbackRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t cursor,
                                 uint32_t flags, MouseCallback callback) {
  return MouseRect{RectChild, {x, y, w, h}, cursor, 0, flags, 0, callback, 0};
}

constexpr FailureRecord Failure(uint32_t key, uint32_t action) {
  return FailureRecord{key, action, 0};
}
constexpr FailureRecord FailureListEnd() { return FailureRecord{0, 0, 0}; }

constexpr GaugeHeader Gauge(const char* name, ElementHeader** element_list, PlainRoutine query,
                            ArgRoutine install, PlainRoutine initialize, PlainRoutine update,
                            ArgRoutine generate, PlainRoutine draw, PlainRoutine kill,
                            uint32_t default_size) {
  return GaugeHeader{kGaugeVersion, name, element_list, query, install,      initialize, update,
                     generate,      draw, kill,         0,     default_size, {}};
}

// Header with the seven routines of a StandardRoutines instantiation.
template <typename Routines>
constexpr GaugeHeader StandardGauge(const char* name, ElementHeader** element_list,
                                    uint32_t default_size) {
  return Gauge(name, element_list, Routines::Query, Routines::Install, Routines::Initialize,
               Routines::Update, Routines::Generate, Routines::Draw, Routines::Kill, default_size);
}

}  // namespace gauge

// Exports the module's Linkage record naming its one gauge header. Every
// module defines this exactly once, beside its header.
#define GAUGE_LINKAGE(header)                                                            \
  extern "C" {                                                                           \
  __declspec(dllexport) ModuleLinkage Linkage = {                                        \
      kModuleId, gauge::ModuleNoOp, gauge::ModuleNoOp, {0, 0, 0}, {&(header), nullptr}}; \
  }

namespace gauge {
// ModuleInit and ModuleDeinit: one empty routine serves both.
void GAUGE_CALL ModuleNoOp();
}  // namespace gauge
