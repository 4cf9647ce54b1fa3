// The records a gauge module shares with the simulator. Every record uses
// 4-byte packing; a double may start on any 4-byte boundary. The layout is
// pinned by static_asserts below so a slip fails the build, not the host.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef double FLOAT64;

#define GAUGE_CALL __stdcall

#pragma pack(push, 4)

struct ElementHeader;
struct GaugeHeader;

// A simulator-variable record: the module sets `id`, the host fills the rest.
struct ModuleVar {
  uint32_t id;
  void* source_ptr;     // host-owned
  uint32_t value_type;  // host-owned
  FLOAT64 value;
  FLOAT64 previous_value;  // host-owned, never read by a gauge
};

typedef FLOAT64(GAUGE_CALL* ValueCallback)(ModuleVar* source);
typedef FLOAT64(GAUGE_CALL* TextCallback)(FLOAT64 value);
typedef int32_t(GAUGE_CALL* MouseCallback)(uint32_t arg1, uint32_t arg2);
typedef void(GAUGE_CALL* PlainRoutine)(void);
typedef void(GAUGE_CALL* ArgRoutine)(uint32_t arg);

enum ElementKind : uint32_t {
  kStaticImage = 0,
  kString = 2,
  kSlider = 3,
  kIcon = 4,
  kMovingImage = 5,
};

// Bit 30 of image_flags hides an element; bits 0 to 2 are drawing modes.
constexpr uint32_t ImageHidden = 0x40000000u;
constexpr uint32_t kDrawModeMask = 0x7u;

struct Point32 {
  int32_t x;
  int32_t y;
};

struct FailureRecord {
  uint32_t key;
  uint32_t action;
  uint32_t reserved;
};

struct ElementHeader {
  uint32_t kind;
  uint32_t resource_id;
  Point32 position;
  Point32 previous_position;  // host-owned
  Point32 offset;
  GaugeHeader* gauge;
  ElementHeader* back_link;  // host-owned
  ElementHeader** children;
  FailureRecord* failures;
  uint32_t image_flags;
  uint32_t special_flags;
  uint32_t reserved;
};

// The host's picture of a static image. Only the words below are relied on.
struct ImageRecord {
  uint32_t format;  // 0, 1: 8 bits per pixel; 2, 3: 16 bits per pixel
  uint32_t width;   // words 1 and 2: the size pair handed to InstallMouseRects
  uint32_t height;
  uint32_t bytes_per_line;
  uint32_t host_word4;
  uint32_t byte_size;
  uint8_t* pixels;
};

struct StaticImageElement {
  ElementHeader header;
  ImageRecord* image;  // host-owned
  uint32_t host_words[4];
};

struct IconElement {
  ElementHeader header;
  ModuleVar source;
  ValueCallback source_callback;
  uint32_t zero_words[5];
  uint32_t picture_count;
  uint32_t zero_words2[4];
};

struct SliderAxis {
  ModuleVar source;
  ValueCallback callback;
  FLOAT64 scale;  // pixels per unit
  uint32_t spare;
};

struct SliderElement {
  ElementHeader header;
  SliderAxis x_axis;
  SliderAxis y_axis;
  uint32_t host_words[5];
};

struct MovingAxis {
  ModuleVar source;
  ValueCallback callback;
  FLOAT64 limit1;
  FLOAT64 limit2;
  uint32_t spare;
};

struct MovingImageElement {
  ElementHeader header;
  MovingAxis x_axis;
  MovingAxis y_axis;
  uint32_t host_words[21];
};

struct StringElement {
  ElementHeader header;
  ModuleVar sources[3];
  uint32_t host_words[9];
  TextCallback text_callback;
  char* text;  // host-owned: at least char_count + 1 bytes
  uint32_t host_word2;
  uint32_t box_width;
  uint32_t box_height;
  uint32_t host_words3[2];
  uint32_t fore_color;
  uint32_t back_color;
  uint32_t highlight_color;
  uint32_t host_words4[7];
  char font_name[32];
  uint32_t font_weight;
  uint32_t font_charset;
  uint32_t text_format;
  uint32_t char_count;
  uint32_t host_words5[4];
};

enum MouseRectKind : uint32_t {
  RectListEnd = 0,
  RectParent = 1,
  RectChild = 2,
  RectParentEnd = 3,
};

enum CursorCode : int32_t {
  CursorNone = -1,
  CursorIncrease = 1,
  CursorDecrease = 2,
  CursorButton = 5,
};

constexpr uint32_t LeftClick = 0x20000000u;
constexpr uint32_t StepFlag = 0x00200000u;

struct MouseBox {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

struct MouseRect {
  uint32_t kind;
  MouseBox box;
  int32_t cursor;
  uint32_t help_id;
  uint32_t mouse_flags;
  uint32_t event;
  MouseCallback callback;
  uint32_t extra;
};

struct GaugeHeader {
  uint32_t version;
  const char* name;
  ElementHeader** element_list;
  PlainRoutine query;
  ArgRoutine install;
  PlainRoutine initialize;
  PlainRoutine update;
  ArgRoutine generate;
  PlainRoutine draw;
  PlainRoutine kill;
  uint32_t reserved;
  uint32_t default_size;
  uint32_t zero_words[10];
};

struct ModuleLinkage {
  uint32_t module_id;
  PlainRoutine module_init;
  PlainRoutine module_deinit;
  uint32_t zero_words[3];
  GaugeHeader* gauges[2];  // one gauge, then the NULL that ends the list
};

struct ImportEntry {
  uint32_t id;
  void* pointer;
};

#pragma pack(pop)

constexpr uint32_t kGaugeVersion = 610;
constexpr uint32_t kModuleId = 0x13;
constexpr uint32_t kPanelServicesImportId = 0x0F;

// Layout pins. The host reads these records in place, so every offset counts.
static_assert(sizeof(void*) == 4, "gauge modules are 32-bit");
static_assert(sizeof(ModuleVar) == 28, "ModuleVar");
static_assert(offsetof(ModuleVar, source_ptr) == 4, "ModuleVar");
static_assert(offsetof(ModuleVar, value_type) == 8, "ModuleVar");
static_assert(offsetof(ModuleVar, value) == 12, "ModuleVar");
static_assert(offsetof(ModuleVar, previous_value) == 20, "ModuleVar");
static_assert(sizeof(FailureRecord) == 12, "FailureRecord");
static_assert(sizeof(ElementHeader) == 60, "ElementHeader");
static_assert(offsetof(ElementHeader, resource_id) == 4, "ElementHeader");
static_assert(offsetof(ElementHeader, position) == 8, "ElementHeader");
static_assert(offsetof(ElementHeader, previous_position) == 16, "ElementHeader");
static_assert(offsetof(ElementHeader, offset) == 24, "ElementHeader");
static_assert(offsetof(ElementHeader, gauge) == 32, "ElementHeader");
static_assert(offsetof(ElementHeader, back_link) == 36, "ElementHeader");
static_assert(offsetof(ElementHeader, children) == 40, "ElementHeader");
static_assert(offsetof(ElementHeader, failures) == 44, "ElementHeader");
static_assert(offsetof(ElementHeader, image_flags) == 48, "ElementHeader");
static_assert(offsetof(ElementHeader, special_flags) == 52, "ElementHeader");
static_assert(offsetof(ElementHeader, reserved) == 56, "ElementHeader");
static_assert(offsetof(ImageRecord, width) == 4, "ImageRecord");
static_assert(offsetof(ImageRecord, bytes_per_line) == 12, "ImageRecord");
static_assert(offsetof(ImageRecord, byte_size) == 20, "ImageRecord");
static_assert(offsetof(ImageRecord, pixels) == 24, "ImageRecord");
static_assert(offsetof(StaticImageElement, image) == 60, "StaticImageElement");
static_assert(sizeof(StaticImageElement) == 80, "StaticImageElement");
static_assert(offsetof(IconElement, source) == 60, "IconElement");
static_assert(offsetof(IconElement, source_callback) == 88, "IconElement");
static_assert(offsetof(IconElement, picture_count) == 112, "IconElement");
static_assert(sizeof(IconElement) == 132, "IconElement");
static_assert(sizeof(SliderAxis) == 44, "SliderAxis");
static_assert(offsetof(SliderAxis, callback) == 28, "SliderAxis");
static_assert(offsetof(SliderAxis, scale) == 32, "SliderAxis");
static_assert(offsetof(SliderElement, x_axis) == 60, "SliderElement");
static_assert(offsetof(SliderElement, y_axis) == 104, "SliderElement");
static_assert(sizeof(SliderElement) == 168, "SliderElement");
static_assert(sizeof(MovingAxis) == 52, "MovingAxis");
static_assert(offsetof(MovingAxis, limit1) == 32, "MovingAxis");
static_assert(offsetof(MovingAxis, limit2) == 40, "MovingAxis");
static_assert(offsetof(MovingImageElement, x_axis) == 60, "MovingImageElement");
static_assert(offsetof(MovingImageElement, y_axis) == 112, "MovingImageElement");
static_assert(sizeof(MovingImageElement) == 248, "MovingImageElement");
static_assert(offsetof(StringElement, sources) == 60, "StringElement");
static_assert(offsetof(StringElement, text_callback) == 180, "StringElement");
static_assert(offsetof(StringElement, text) == 184, "StringElement");
static_assert(offsetof(StringElement, box_width) == 192, "StringElement");
static_assert(offsetof(StringElement, box_height) == 196, "StringElement");
static_assert(offsetof(StringElement, fore_color) == 208, "StringElement");
static_assert(offsetof(StringElement, back_color) == 212, "StringElement");
static_assert(offsetof(StringElement, highlight_color) == 216, "StringElement");
static_assert(offsetof(StringElement, font_name) == 248, "StringElement");
static_assert(offsetof(StringElement, font_weight) == 280, "StringElement");
static_assert(offsetof(StringElement, font_charset) == 284, "StringElement");
static_assert(offsetof(StringElement, text_format) == 288, "StringElement");
static_assert(offsetof(StringElement, char_count) == 292, "StringElement");
static_assert(sizeof(StringElement) == 312, "StringElement");
static_assert(sizeof(MouseRect) == 44, "MouseRect");
static_assert(offsetof(MouseRect, box) == 4, "MouseRect");
static_assert(offsetof(MouseRect, cursor) == 20, "MouseRect");
static_assert(offsetof(MouseRect, help_id) == 24, "MouseRect");
static_assert(offsetof(MouseRect, mouse_flags) == 28, "MouseRect");
static_assert(offsetof(MouseRect, event) == 32, "MouseRect");
static_assert(offsetof(MouseRect, callback) == 36, "MouseRect");
static_assert(offsetof(MouseRect, extra) == 40, "MouseRect");
static_assert(sizeof(GaugeHeader) == 88, "GaugeHeader");
static_assert(offsetof(GaugeHeader, name) == 4, "GaugeHeader");
static_assert(offsetof(GaugeHeader, element_list) == 8, "GaugeHeader");
static_assert(offsetof(GaugeHeader, query) == 12, "GaugeHeader");
static_assert(offsetof(GaugeHeader, kill) == 36, "GaugeHeader");
static_assert(offsetof(GaugeHeader, reserved) == 40, "GaugeHeader");
static_assert(offsetof(GaugeHeader, default_size) == 44, "GaugeHeader");
static_assert(sizeof(ModuleLinkage) == 32, "ModuleLinkage");
static_assert(offsetof(ModuleLinkage, gauges) == 24, "ModuleLinkage");
static_assert(sizeof(ImportEntry) == 8, "ImportEntry");
