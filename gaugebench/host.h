// The bench's stand-in for the simulator: loads a gauge module exactly as the
// simulator does, serves the thirteen panel services, keeps the host-owned
// parts of the element records, evaluates and draws the element tree and
// delivers clicks through the mouse list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gauge_records.h"
#include "sim_state.h"

namespace bench {

struct SentEvent {
  uint32_t id;
  int32_t value;
  bool from_host;  // sent by the host for a mouse area's event, not by the module
};

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
};

// A bitmap resource of the module, decoded: palette indices and colour table.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;  // top-down rows, width bytes each
  std::vector<Rgb8> palette;     // 256 entries
  Rgb8 At(int x, int y) const { return palette[indices[static_cast<size_t>(y) * width + x]]; }
};

// A picture in true colour: the composed gauge.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb8> pixels;
  Rgb8 At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, Rgb8 c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<size_t>(y) * width + x] = c;
  }
};

// What the host worked out for one element at its last evaluation.
struct ElementView {
  ElementHeader* element = nullptr;
  int depth = 0;
  std::optional<int> picture;     // icons: the picture number, if a number
  double axis_x = 0, axis_y = 0;  // sliders and moving images: the axis values
  int draw_x = 0, draw_y = 0;     // the drawn position
  bool drawable = true;           // false when the axis values are not numbers
};

struct HostOptions {
  uint32_t image_format = 0;  // format code of host image records: 0 (8-bit) or 2 (16-bit)
  uint32_t install_argument = 0;
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The one host whose services the loaded module reaches.
  static Host* Current();

  bool Load(const std::string& path, std::string* error);
  void Unload();
  bool loaded() const { return module_ != nullptr; }
  // Installed and not killed since: the simulator kills every gauge it
  // installed before it unloads the module.
  bool installed() const { return installed_; }
  HMODULE module() const { return module_; }

  // Gauge routines, called as the simulator calls them.
  void Query();
  void Install();
  void Initialize();
  void Update();
  void Generate(uint32_t phase);
  void Draw();
  void Kill();
  void ModuleInit();
  void ModuleDeinit();

  // One simulator frame: update routine, element evaluation, generate, draw.
  void Frame();
  // A left click at gauge pixel (x, y); returns false when no area took it.
  bool Click(int x, int y);

  // The module's records.
  ModuleLinkage* linkage() const { return linkage_; }
  ImportEntry* import_table() const { return import_table_; }
  GaugeHeader* gauge() const;
  ElementHeader* root() const;
  MouseRect* mouse_list() const { return mouse_list_; }
  bool mouse_registered() const { return mouse_registered_; }

  SimState& sim() { return sim_; }
  const std::vector<SentEvent>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  const std::vector<std::string>& violations() const { return violations_; }
  // Every catalogued variable the module or its elements have read so far.
  const std::set<uint32_t>& variables_read() const { return variables_read_; }
  void AddViolation(const std::string& text);

  // The element tree in pre-order, with the host's view of each element.
  std::vector<ElementView> Elements() const;
  bool IsHidden(const ElementHeader* e) const { return (e->image_flags & ImageHidden) != 0; }
  std::optional<std::string> TextOf(const ElementHeader* e) const;
  const Bitmap* BitmapResource(uint32_t id);
  Picture Compose();
  const Picture& last_drawn() const { return last_drawn_; }

  // Service implementations (reached through the services table).
  void SvcQueryElements(ElementHeader* root);
  void SvcInstallElements(ElementHeader* root, uint32_t arg);
  void SvcInitializeElements(ElementHeader* element);
  void SvcUpdateElements(ElementHeader* root);
  void SvcGenerateElements(ElementHeader* root, uint32_t phase);
  void SvcDrawElements(ElementHeader* root);
  void SvcKillElements(ElementHeader* root);
  void SvcInstallMouseRects(MouseRect* list, GaugeHeader* gauge, uint32_t* size);
  void SvcRegisterMouseRects(MouseRect* list, GaugeHeader* gauge);
  void SvcUnregisterMouseRects(MouseRect* list, GaugeHeader* gauge);
  void SvcSendEvent(uint32_t id, int32_t value);
  void SvcInitializeVar(ModuleVar* record);
  void SvcLookupVar(ModuleVar* record);
  void SvcUnknown(int slot);

  // Counts of service calls, by slot, for lifecycle checks.
  const std::vector<int>& service_log() const { return service_log_; }
  void ClearServiceLog() { service_log_.clear(); }

  // Calls a module routine with the standard calling convention and checks
  // that it removed exactly its arguments. Returns st(0) for double results.
  double CallModule(const char* what, void* fn, std::initializer_list<uint32_t> args,
                    bool returns_double, uint32_t* eax = nullptr);
  // Module faults caught during calls (each is also recorded as a violation).
  int faults() const { return faults_; }

 private:
  struct HostImage {
    ImageRecord record{};
    std::vector<uint8_t> storage;  // pixels, then guard bytes
    const Bitmap* bitmap = nullptr;
  };
  struct TextBuffer {
    std::vector<char> storage;  // char_count + 1 bytes, then guard bytes
    uint32_t capacity = 0;
  };

  void ForEachElement(ElementHeader* e, int depth,
                      const std::function<void(ElementHeader*, int)>& fn) const;
  void Evaluate();
  void EvaluateElement(ElementHeader* e);
  double Refresh(ModuleVar& var);
  double AxisValue(ModuleVar& source, ValueCallback callback, const char* what);
  void CheckGuards();
  void CheckFlags();
  void CheckServicesWord(const char* routine);
  void CallRoutine(const char* name, void* fn, std::initializer_list<uint32_t> args);
  void DrawElement(Picture& pic, const ElementView& view);
  void DrawString(Picture& pic, StringElement* s, int x, int y);
  std::vector<ElementHeader*> Children(ElementHeader* e) const;

  HostOptions options_;
  HMODULE module_ = nullptr;
  ModuleLinkage* linkage_ = nullptr;
  ImportEntry* import_table_ = nullptr;
  std::vector<void*> services_;
  SimState sim_;
  std::vector<SentEvent> events_;
  std::vector<std::string> violations_;
  std::set<uint32_t> variables_read_;
  std::map<uint32_t, std::unique_ptr<Bitmap>> bitmaps_;
  std::map<ElementHeader*, std::unique_ptr<HostImage>> images_;
  std::map<ElementHeader*, std::unique_ptr<TextBuffer>> texts_;
  std::vector<std::unique_ptr<HostImage>> retired_images_;
  std::vector<std::unique_ptr<TextBuffer>> retired_texts_;
  std::map<ElementHeader*, uint32_t> flags_at_install_;
  std::map<ElementHeader*, ElementView> views_;
  MouseRect* mouse_list_ = nullptr;
  bool mouse_registered_ = false;
  bool installed_ = false;
  bool elements_updated_this_frame_ = false;
  std::vector<int> service_log_;
  Picture last_drawn_;
  int faults_ = 0;
  std::string DescribeAddress(uintptr_t address) const;
};

}  // namespace bench
