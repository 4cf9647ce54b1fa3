#include "host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "gauge_math.h"
#include "sim_ids.h"

extern "C" int bench_call_stdcall(void* fn, const uint32_t* args, uint32_t nwords,
                                  uint32_t* eax_out, double* st0_out);

namespace bench {

namespace {

Host* g_current = nullptr;
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuardByte = 0xA5;
constexpr int kServiceSlots = 64;
constexpr int kMaxChildren = 256;
constexpr int kMaxDepth = 32;

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

// Service entry points: plain stdcall functions that forward to the host.
#define HOST (Host::Current())
void __stdcall QueryElementsSvc(ElementHeader* e) { HOST->SvcQueryElements(e); }
void __stdcall InstallElementsSvc(ElementHeader* e, uint32_t a) { HOST->SvcInstallElements(e, a); }
void __stdcall InitializeElementsSvc(ElementHeader* e) { HOST->SvcInitializeElements(e); }
void __stdcall UpdateElementsSvc(ElementHeader* e) { HOST->SvcUpdateElements(e); }
void __stdcall GenerateElementsSvc(ElementHeader* e, uint32_t p) {
  HOST->SvcGenerateElements(e, p);
}
void __stdcall DrawElementsSvc(ElementHeader* e) { HOST->SvcDrawElements(e); }
void __stdcall KillElementsSvc(ElementHeader* e) { HOST->SvcKillElements(e); }
void __stdcall InstallMouseRectsSvc(MouseRect* l, GaugeHeader* g, uint32_t* s) {
  HOST->SvcInstallMouseRects(l, g, s);
}
void __stdcall RegisterMouseRectsSvc(MouseRect* l, GaugeHeader* g) {
  HOST->SvcRegisterMouseRects(l, g);
}
void __stdcall UnregisterMouseRectsSvc(MouseRect* l, GaugeHeader* g) {
  HOST->SvcUnregisterMouseRects(l, g);
}
void __stdcall SendEventSvc(uint32_t id, int32_t value) { HOST->SvcSendEvent(id, value); }
void __stdcall InitializeVarSvc(ModuleVar* v) { HOST->SvcInitializeVar(v); }
void __stdcall LookupVarSvc(ModuleVar* v) { HOST->SvcLookupVar(v); }

template <int Slot>
void __stdcall UnknownSvc() {
  HOST->SvcUnknown(Slot);
}
#undef HOST

template <int... Slots>
std::vector<void*> UnknownTable(std::integer_sequence<int, Slots...>) {
  return {reinterpret_cast<void*>(&UnknownSvc<Slots>)...};
}

bool IsBlack(Rgb8 c) { return c.r == 0 && c.g == 0 && c.b == 0; }

uint16_t To555(Rgb8 c) {
  return static_cast<uint16_t>(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3));
}
Rgb8 From555(uint16_t p) {
  auto ex = [](int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
  return {ex((p >> 10) & 31), ex((p >> 5) & 31), ex(p & 31)};
}

// A picture number from a callback result: the nearest whole number.
std::optional<int> PictureNumber(double v) {
  if (!std::isfinite(v) || v > 1e9 || v < -1e9) return std::nullopt;
  return static_cast<int>(std::lround(v));
}

}  // namespace

Host* Host::Current() { return g_current; }

Host::Host(HostOptions options) : options_(options) {
  services_ = UnknownTable(std::make_integer_sequence<int, kServiceSlots>());
  services_[24] = reinterpret_cast<void*>(&QueryElementsSvc);
  services_[25] = reinterpret_cast<void*>(&InstallElementsSvc);
  services_[26] = reinterpret_cast<void*>(&InitializeElementsSvc);
  services_[27] = reinterpret_cast<void*>(&UpdateElementsSvc);
  services_[28] = reinterpret_cast<void*>(&GenerateElementsSvc);
  services_[29] = reinterpret_cast<void*>(&DrawElementsSvc);
  services_[31] = reinterpret_cast<void*>(&KillElementsSvc);
  services_[32] = reinterpret_cast<void*>(&InstallMouseRectsSvc);
  services_[33] = reinterpret_cast<void*>(&RegisterMouseRectsSvc);
  services_[34] = reinterpret_cast<void*>(&UnregisterMouseRectsSvc);
  services_[36] = reinterpret_cast<void*>(&SendEventSvc);
  services_[38] = reinterpret_cast<void*>(&InitializeVarSvc);
  services_[40] = reinterpret_cast<void*>(&LookupVarSvc);
  g_current = this;
}

Host::~Host() {
  Unload();
  if (g_current == this) g_current = nullptr;
}

void Host::AddViolation(const std::string& text) {
  // One line per distinct finding keeps reports readable over long runs.
  if (std::find(violations_.begin(), violations_.end(), text) == violations_.end())
    violations_.push_back(text);
}

bool Host::Load(const std::string& path, std::string* error) {
  Unload();
  g_current = this;
  // A full path: once --companion-dir has called SetDllDirectoryA, the
  // current folder is no longer searched for a relative one.
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  module_ = LoadLibraryA(n > 0 && n < sizeof full ? full : path.c_str());
  if (!module_) {
    if (error) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  linkage_ = reinterpret_cast<ModuleLinkage*>(GetProcAddress(module_, "Linkage"));
  import_table_ = reinterpret_cast<ImportEntry*>(GetProcAddress(module_, "ImportTable"));
  if (!linkage_ || !import_table_) {
    if (error) *error = path + " does not export Linkage and ImportTable";
    Unload();
    return false;
  }
  if (import_table_[0].id != kPanelServicesImportId)
    AddViolation("ImportTable's first entry has id " + Hex(import_table_[0].id));
  if (import_table_[0].pointer != nullptr)
    AddViolation("ImportTable's services word is not NULL as built");
  import_table_[0].pointer = services_.data();
  return true;
}

void Host::Unload() {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  linkage_ = nullptr;
  import_table_ = nullptr;
  mouse_list_ = nullptr;
  mouse_registered_ = false;
  images_.clear();
  texts_.clear();
  retired_images_.clear();
  retired_texts_.clear();
  bitmaps_.clear();
  views_.clear();
  flags_at_install_.clear();
}

GaugeHeader* Host::gauge() const { return linkage_ ? linkage_->gauges[0] : nullptr; }

ElementHeader* Host::root() const {
  GaugeHeader* g = gauge();
  return g && g->element_list ? g->element_list[0] : nullptr;
}

// ---- catching module faults ----
//
// A fault inside a module call (an access violation, an undefined-behaviour
// trap of the checked build, a division by zero) must not take the bench down:
// the handler points the faulting thread at a landing routine on a stack of
// its own, which jumps back into the CallModule that made the call. That call
// then records the fault as a violation naming the routine, and returns.
namespace {

struct FaultTrap {
  void* jump[5];  // __builtin_setjmp buffer
  DWORD code = 0;
  uintptr_t address = 0;
  FaultTrap* outer = nullptr;
};
FaultTrap* g_trap = nullptr;
uintptr_t g_module_low = 0, g_module_high = 0;
alignas(16) uint8_t g_landing_stack[16384];
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;

[[noreturn]] __attribute__((noinline)) void LandAfterFault() { __builtin_longjmp(g_trap->jump, 1); }

bool IsFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
      return true;
    default:
      return false;
  }
}

bool RedirectToLanding(EXCEPTION_POINTERS* info) {
  if (!g_trap || !IsFault(info->ExceptionRecord->ExceptionCode)) return false;
  g_trap->code = info->ExceptionRecord->ExceptionCode;
  g_trap->address = reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress);
  CONTEXT* c = info->ContextRecord;
  c->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&LandAfterFault));
  c->Esp = static_cast<DWORD>(
      reinterpret_cast<uintptr_t>(g_landing_stack + sizeof g_landing_stack - 64));
  c->EFlags &= ~0x400u;  // direction flag clear, as compiled code expects
  return true;
}

// Faults in the module's own code are caught first, before any frame handler.
LONG CALLBACK ModuleFaultHandler(EXCEPTION_POINTERS* info) {
  uintptr_t at = reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress);
  if (at >= g_module_low && at < g_module_high && RedirectToLanding(info))
    return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

// Faults elsewhere during a module call (in a runtime function it called with
// a bad pointer, in the GPS companion library) are caught only if nothing
// else handles them, so that system code that probes memory keeps working.
LONG WINAPI UnhandledFaultFilter(EXCEPTION_POINTERS* info) {
  if (RedirectToLanding(info)) return EXCEPTION_CONTINUE_EXECUTION;
  return g_previous_filter ? g_previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

void InstallFaultHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  AddVectoredExceptionHandler(1, &ModuleFaultHandler);
  g_previous_filter = SetUnhandledExceptionFilter(&UnhandledFaultFilter);
}

void SetModuleRange(HMODULE module) {
  g_module_low = g_module_high = 0;
  if (!module) return;
  auto base = reinterpret_cast<const uint8_t*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  g_module_low = reinterpret_cast<uintptr_t>(base);
  g_module_high = g_module_low + nt->OptionalHeader.SizeOfImage;
}

std::string FaultName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return "access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return "illegal instruction (an undefined-behaviour trap)";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return "integer division by zero";
    case EXCEPTION_STACK_OVERFLOW:
      return "stack overflow";
    case EXCEPTION_BREAKPOINT:
      return "breakpoint";
    default:
      return "exception " + Hex(code);
  }
}

}  // namespace

std::string Host::DescribeAddress(uintptr_t address) const {
  HMODULE owner = nullptr;
  char name[MAX_PATH] = "?";
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(address), &owner) &&
      owner) {
    GetModuleFileNameA(owner, name, sizeof name);
    const char* base = std::strrchr(name, '\\');
    return std::string(base ? base + 1 : name) + "+" +
           Hex(static_cast<uint32_t>(address - reinterpret_cast<uintptr_t>(owner)));
  }
  return Hex(static_cast<uint32_t>(address));
}

double Host::CallModule(const char* what, void* fn, std::initializer_list<uint32_t> args,
                        bool returns_double, uint32_t* eax) {
  if (!fn) return 0.0;
  double st0 = 0.0;
  InstallFaultHandlers();
  SetModuleRange(module_);
  uint16_t fpu_control;
  asm volatile("fnstcw %0" : "=m"(fpu_control));
  FaultTrap trap;
  trap.outer = g_trap;
  if (__builtin_setjmp(trap.jump) != 0) {
    g_trap = trap.outer;
    asm volatile("fninit\n\tfldcw %0" : : "m"(fpu_control));
    ++faults_;
    AddViolation(std::string("module fault: ") + FaultName(trap.code) + " at " +
                 DescribeAddress(trap.address) + " in the " + what);
    if (eax) *eax = 0;
    return 0.0;
  }
  g_trap = &trap;
  // The caller's argument list lives until its call expression ends: no copy.
  int imbalance = bench_call_stdcall(fn, args.begin(), static_cast<uint32_t>(args.size()), eax,
                                     returns_double ? &st0 : nullptr);
  g_trap = trap.outer;
  if (imbalance != 0)
    AddViolation(std::string(what) + " broke the calling convention (stack off by " +
                 std::to_string(imbalance) + " bytes)");
  CheckGuards();
  CheckFlags();
  return st0;
}

void Host::CheckServicesWord(const char* routine) {
  if (!import_table_ || import_table_[0].pointer != services_.data())
    AddViolation(std::string(routine) + " called before ImportTable was filled");
}

void Host::CallRoutine(const char* name, void* fn, std::initializer_list<uint32_t> args) {
  CheckServicesWord(name);
  CallModule(name, fn, args, false);
}

void Host::Query() {
  if (GaugeHeader* g = gauge()) CallRoutine("query", reinterpret_cast<void*>(g->query), {});
}
void Host::Install() {
  if (GaugeHeader* g = gauge()) {
    CallRoutine("install", reinterpret_cast<void*>(g->install), {options_.install_argument});
    installed_ = true;
  }
}
void Host::Initialize() {
  if (GaugeHeader* g = gauge())
    CallRoutine("initialize", reinterpret_cast<void*>(g->initialize), {});
}
void Host::Update() {
  if (GaugeHeader* g = gauge()) CallRoutine("update", reinterpret_cast<void*>(g->update), {});
}
void Host::Generate(uint32_t phase) {
  if (GaugeHeader* g = gauge())
    CallRoutine("generate", reinterpret_cast<void*>(g->generate), {phase});
}
void Host::Draw() {
  if (GaugeHeader* g = gauge()) CallRoutine("draw", reinterpret_cast<void*>(g->draw), {});
}
void Host::Kill() {
  if (GaugeHeader* g = gauge()) CallRoutine("kill", reinterpret_cast<void*>(g->kill), {});
  installed_ = false;
}
void Host::ModuleInit() {
  if (linkage_) CallRoutine("ModuleInit", reinterpret_cast<void*>(linkage_->module_init), {});
}
void Host::ModuleDeinit() {
  if (linkage_) CallRoutine("ModuleDeinit", reinterpret_cast<void*>(linkage_->module_deinit), {});
}

void Host::Frame() {
  elements_updated_this_frame_ = false;
  Update();
  // The host keeps every element current each frame, whether or not the
  // gauge asked for its tree's update in this one.
  if (!elements_updated_this_frame_) Evaluate();
  Generate(0);
  Draw();
}

bool Host::Click(int x, int y) {
  if (!mouse_list_ || !mouse_registered_) return false;
  for (MouseRect* r = mouse_list_; r->kind != RectListEnd; ++r) {
    if (r->kind != RectChild) continue;
    const MouseBox& b = r->box;
    if (x < b.x || y < b.y || x >= b.x + b.width || y >= b.y + b.height) continue;
    if (r->callback) {
      CallModule("mouse callback", reinterpret_cast<void*>(r->callback), {0, LeftClick}, false);
    } else if (r->event) {
      events_.push_back({r->event, 0, true});
      if (!catalogue::IsEvent(r->event))
        AddViolation("mouse area sends event " + Hex(r->event) + ", which is not catalogued");
      sim_.ApplyEvent(r->event, 0);
    }
    return true;
  }
  return false;
}

std::vector<ElementHeader*> Host::Children(ElementHeader* e) const {
  std::vector<ElementHeader*> out;
  if (!e || !e->children) return out;
  for (int i = 0; i < kMaxChildren && e->children[i]; ++i) out.push_back(e->children[i]);
  return out;
}

void Host::ForEachElement(ElementHeader* e, int depth,
                          const std::function<void(ElementHeader*, int)>& fn) const {
  if (!e || depth > kMaxDepth) return;
  fn(e, depth);
  for (ElementHeader* c : Children(e)) ForEachElement(c, depth + 1, fn);
}

// ---- services ----

void Host::SvcQueryElements(ElementHeader*) { service_log_.push_back(24); }

const Bitmap* Host::BitmapResource(uint32_t id) {
  auto it = bitmaps_.find(id);
  if (it != bitmaps_.end()) return it->second.get();
  Bitmap* result = nullptr;
  HRSRC res = module_ ? FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2)) : nullptr;
  HGLOBAL mem = res ? LoadResource(module_, res) : nullptr;
  const uint8_t* data = mem ? static_cast<const uint8_t*>(LockResource(mem)) : nullptr;
  DWORD size = res ? SizeofResource(module_, res) : 0;
  if (data && size >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof h);
    int w = h.biWidth, hgt = std::abs(h.biHeight);
    uint32_t colours = h.biClrUsed ? h.biClrUsed : 256;
    size_t stride = (static_cast<size_t>(w) + 3) & ~size_t(3);
    size_t bits = h.biSize + colours * 4;
    if (h.biBitCount == 8 && h.biCompression == BI_RGB && w > 0 && hgt > 0 && colours <= 256 &&
        bits + stride * hgt <= size) {
      auto bmp = std::make_unique<Bitmap>();
      bmp->width = w;
      bmp->height = hgt;
      bmp->palette.resize(256);
      for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t* q = data + h.biSize + i * 4;
        bmp->palette[i] = {q[2], q[1], q[0]};
      }
      bmp->indices.resize(static_cast<size_t>(w) * hgt);
      for (int y = 0; y < hgt; ++y) {
        int src_row = h.biHeight > 0 ? hgt - 1 - y : y;
        std::memcpy(&bmp->indices[static_cast<size_t>(y) * w], data + bits + stride * src_row, w);
      }
      result = bmp.get();
      bitmaps_[id] = std::move(bmp);
      return result;
    }
    AddViolation("bitmap " + Hex(id) + " is not an uncompressed 8-bit bitmap");
  }
  bitmaps_[id] = nullptr;
  return nullptr;
}

void Host::SvcInstallElements(ElementHeader* root, uint32_t) {
  service_log_.push_back(25);
  ForEachElement(root, 0, [this](ElementHeader* e, int) {
    flags_at_install_[e] = e->image_flags & ~ImageHidden;
    switch (e->kind) {
      case kStaticImage: {
        auto img = std::make_unique<HostImage>();
        const Bitmap* bmp = BitmapResource(e->resource_id);
        img->bitmap = bmp;
        if (bmp) {
          const bool wide = options_.image_format == 2 || options_.image_format == 3;
          uint32_t bpp = wide ? 2 : 1;
          img->record.format = options_.image_format;
          img->record.width = bmp->width;
          img->record.height = bmp->height;
          img->record.bytes_per_line = bmp->width * bpp;  // unpadded
          img->record.host_word4 = bpp * 8;
          img->record.byte_size = img->record.bytes_per_line * bmp->height;
          img->storage.assign(img->record.byte_size + kGuardBytes, kGuardByte);
          for (size_t i = 0; i < bmp->indices.size(); ++i) {
            if (wide) {
              uint16_t p = To555(bmp->palette[bmp->indices[i]]);
              std::memcpy(&img->storage[i * 2], &p, 2);
            } else {
              img->storage[i] = bmp->indices[i];
            }
          }
          img->record.pixels = img->storage.data();
        } else {
          AddViolation("static image bitmap " + Hex(e->resource_id) + " is missing");
        }
        auto* s = reinterpret_cast<StaticImageElement*>(e);
        if (images_.count(e)) retired_images_.push_back(std::move(images_[e]));
        s->image = &img->record;
        images_[e] = std::move(img);
        break;
      }
      case kString: {
        auto* s = reinterpret_cast<StringElement*>(e);
        auto buf = std::make_unique<TextBuffer>();
        buf->capacity = std::min<uint32_t>(s->char_count, 4096) + 1;
        buf->storage.assign(buf->capacity + kGuardBytes, static_cast<char>(kGuardByte));
        std::fill(buf->storage.begin(), buf->storage.begin() + buf->capacity, '\0');
        if (texts_.count(e)) retired_texts_.push_back(std::move(texts_[e]));
        s->text = buf->storage.data();
        texts_[e] = std::move(buf);
        break;
      }
      case kIcon:
      case kSlider:
      case kMovingImage:
        break;
      default:
        AddViolation("element kind " + std::to_string(e->kind) + " is not one the host knows");
    }
  });
}

void Host::SvcInitializeElements(ElementHeader*) { service_log_.push_back(26); }

void Host::SvcUpdateElements(ElementHeader*) {
  service_log_.push_back(27);
  elements_updated_this_frame_ = true;
  Evaluate();
}

void Host::SvcGenerateElements(ElementHeader*, uint32_t) { service_log_.push_back(28); }

void Host::SvcDrawElements(ElementHeader*) {
  service_log_.push_back(29);
  last_drawn_ = Compose();
}

void Host::SvcKillElements(ElementHeader* root) {
  service_log_.push_back(31);
  // The host's records stay allocated until the module is unloaded, so a
  // gauge that touches them after kill writes into memory that still exists.
  ForEachElement(root, 0, [this](ElementHeader* e, int) {
    if (e->kind == kStaticImage && images_.count(e)) {
      reinterpret_cast<StaticImageElement*>(e)->image = nullptr;
      retired_images_.push_back(std::move(images_[e]));
      images_.erase(e);
    } else if (e->kind == kString && texts_.count(e)) {
      reinterpret_cast<StringElement*>(e)->text = nullptr;
      retired_texts_.push_back(std::move(texts_[e]));
      texts_.erase(e);
    }
  });
}

void Host::SvcInstallMouseRects(MouseRect* list, GaugeHeader*, uint32_t*) {
  service_log_.push_back(32);
  mouse_list_ = list;
  if (!list) return;
  int n = 0;
  for (MouseRect* r = list; r->kind != RectListEnd && n < 1024; ++r, ++n) {
    if (r->kind == RectChild && r->callback && r->event)
      AddViolation("mouse area " + std::to_string(n) + " has both an event and a callback");
    if (r->kind == RectChild && r->event && !catalogue::IsEvent(r->event))
      AddViolation("mouse area sends event " + Hex(r->event) + ", which is not catalogued");
  }
}

void Host::SvcRegisterMouseRects(MouseRect* list, GaugeHeader*) {
  service_log_.push_back(33);
  if (list != mouse_list_) AddViolation("RegisterMouseRects with a list that was not installed");
  mouse_registered_ = true;
}

void Host::SvcUnregisterMouseRects(MouseRect*, GaugeHeader*) {
  service_log_.push_back(34);
  mouse_registered_ = false;
}

void Host::SvcSendEvent(uint32_t id, int32_t value) {
  service_log_.push_back(36);
  events_.push_back({id, value, false});
  if (!catalogue::IsEvent(id)) AddViolation("event " + Hex(id) + " is not catalogued");
  sim_.ApplyEvent(id, value);
}

void Host::SvcInitializeVar(ModuleVar* record) {
  service_log_.push_back(38);
  if (!record) return AddViolation("InitializeVar with no record");
  if (!catalogue::IsVariable(record->id))
    return AddViolation("variable " + Hex(record->id) + " is not catalogued");
  variables_read_.insert(record->id);
  record->value = sim_.Get(record->id);
}

void Host::SvcLookupVar(ModuleVar* record) {
  service_log_.push_back(40);
  if (!record) return AddViolation("LookupVar with no record");
  if (!catalogue::IsVariable(record->id))
    return AddViolation("variable " + Hex(record->id) + " is not catalogued");
  variables_read_.insert(record->id);
  record->value = sim_.Get(record->id);
}

void Host::SvcUnknown(int slot) {
  service_log_.push_back(slot);
  AddViolation("service slot " + std::to_string(slot) + " is not one of the thirteen");
}

// ---- evaluation ----

double Host::Refresh(ModuleVar& v) {
  if (v.id != 0) {
    if (catalogue::IsVariable(v.id)) {
      variables_read_.insert(v.id);
      v.value = sim_.Get(v.id);
    } else {
      AddViolation("element reads variable " + Hex(v.id) + ", which is not catalogued");
    }
  }
  return v.value;
}

double Host::AxisValue(ModuleVar& source, ValueCallback callback, const char* what) {
  Refresh(source);
  if (!callback) return source.value;
  return CallModule(what, reinterpret_cast<void*>(callback),
                    {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&source))}, true);
}

void Host::Evaluate() {
  ForEachElement(root(), 0, [this](ElementHeader* e, int) { EvaluateElement(e); });
}

void Host::EvaluateElement(ElementHeader* e) {
  ElementView& view = views_[e];
  view.element = e;
  view.draw_x = e->position.x;
  view.draw_y = e->position.y;
  view.drawable = true;
  switch (e->kind) {
    case kIcon: {
      auto* icon = reinterpret_cast<IconElement*>(e);
      view.picture = PictureNumber(AxisValue(icon->source, icon->source_callback, "icon callback"));
      break;
    }
    case kSlider: {
      auto* s = reinterpret_cast<SliderElement*>(e);
      view.axis_x = AxisValue(s->x_axis.source, s->x_axis.callback, "slider callback");
      view.axis_y = AxisValue(s->y_axis.source, s->y_axis.callback, "slider callback");
      double dx = view.axis_x * s->x_axis.scale, dy = view.axis_y * s->y_axis.scale;
      if (s->x_axis.scale == 0) dx = 0;
      if (s->y_axis.scale == 0) dy = 0;
      view.drawable = std::isfinite(dx) && std::isfinite(dy);
      if (view.drawable) {
        view.draw_x += static_cast<int>(std::lround(std::clamp(dx, -1e6, 1e6)));
        view.draw_y += static_cast<int>(std::lround(std::clamp(dy, -1e6, 1e6)));
      }
      break;
    }
    case kMovingImage: {
      auto* m = reinterpret_cast<MovingImageElement*>(e);
      view.axis_x = AxisValue(m->x_axis.source, m->x_axis.callback, "moving image callback");
      view.axis_y = AxisValue(m->y_axis.source, m->y_axis.callback, "moving image callback");
      break;
    }
    case kString: {
      auto* s = reinterpret_cast<StringElement*>(e);
      for (ModuleVar& v : s->sources) Refresh(v);
      if (s->text_callback && s->text) {
        uint32_t lo = 0, hi = 0;
        double arg = s->sources[0].value;
        std::memcpy(&lo, &arg, 4);
        std::memcpy(&hi, reinterpret_cast<char*>(&arg) + 4, 4);
        CallModule("text callback", reinterpret_cast<void*>(s->text_callback), {lo, hi}, true);
      }
      break;
    }
    default:
      break;
  }
}

void Host::CheckGuards() {
  for (auto& [e, img] : images_) {
    if (img->storage.empty()) continue;
    for (size_t i = img->record.byte_size; i < img->storage.size(); ++i)
      if (img->storage[i] != kGuardByte) {
        AddViolation("pixels written past the end of the image of element at " +
                     std::to_string(e->position.x) + "," + std::to_string(e->position.y));
        std::fill(img->storage.begin() + img->record.byte_size, img->storage.end(), kGuardByte);
        break;
      }
  }
  for (auto& [e, buf] : texts_) {
    for (size_t i = buf->capacity; i < buf->storage.size(); ++i)
      if (static_cast<uint8_t>(buf->storage[i]) != kGuardByte) {
        AddViolation("text written past char_count + 1 bytes of the string at " +
                     std::to_string(e->position.x) + "," + std::to_string(e->position.y));
        std::fill(buf->storage.begin() + buf->capacity, buf->storage.end(),
                  static_cast<char>(kGuardByte));
        break;
      }
  }
}

void Host::CheckFlags() {
  for (auto& [e, flags] : flags_at_install_)
    if ((e->image_flags & ~ImageHidden) != flags)
      AddViolation("image_flags changed outside bit 30 on the element at " +
                   std::to_string(e->position.x) + "," + std::to_string(e->position.y));
}

std::optional<std::string> Host::TextOf(const ElementHeader* e) const {
  if (e->kind != kString) return std::nullopt;
  auto it = texts_.find(const_cast<ElementHeader*>(e));
  if (it == texts_.end()) return std::nullopt;
  const TextBuffer& buf = *it->second;
  size_t n = 0;
  while (n < buf.capacity && buf.storage[n] != '\0') ++n;
  return std::string(buf.storage.data(), n);
}

std::vector<ElementView> Host::Elements() const {
  std::vector<ElementView> out;
  ForEachElement(root(), 0, [&](ElementHeader* e, int depth) {
    auto it = views_.find(e);
    ElementView v = it != views_.end() ? it->second : ElementView{};
    if (it == views_.end()) {
      v.element = e;
      v.draw_x = e->position.x;
      v.draw_y = e->position.y;
    }
    v.depth = depth;
    out.push_back(v);
  });
  return out;
}

// ---- drawing ----

Picture Host::Compose() {
  Picture pic;
  ElementHeader* r = root();
  const Bitmap* bg = r ? BitmapResource(r->resource_id) : nullptr;
  pic.width = bg ? bg->width : 1;
  pic.height = bg ? bg->height : 1;
  pic.pixels.assign(static_cast<size_t>(pic.width) * pic.height, Rgb8{});
  for (const ElementView& v : Elements())
    if (!IsHidden(v.element)) DrawElement(pic, v);
  return pic;
}

namespace {
void Blit(Picture& pic, const Bitmap& bmp, int x0, int y0, bool black_transparent) {
  for (int y = 0; y < bmp.height; ++y)
    for (int x = 0; x < bmp.width; ++x) {
      Rgb8 c = bmp.At(x, y);
      if (black_transparent && IsBlack(c)) continue;
      pic.Set(x0 + x, y0 + y, c);
    }
}
}  // namespace

void Host::DrawElement(Picture& pic, const ElementView& v) {
  ElementHeader* e = v.element;
  const bool transparent = (e->image_flags & 1) != 0;
  switch (e->kind) {
    case kStaticImage: {
      auto it = images_.find(e);
      if (it == images_.end() || !it->second->bitmap) return;
      const HostImage& img = *it->second;
      const bool wide = img.record.format == 2 || img.record.format == 3;
      for (uint32_t y = 0; y < img.record.height; ++y)
        for (uint32_t x = 0; x < img.record.width; ++x) {
          size_t at = y * img.record.bytes_per_line + x * (wide ? 2 : 1);
          Rgb8 c;
          if (wide) {
            uint16_t p;
            std::memcpy(&p, &img.storage[at], 2);
            c = From555(p);
          } else {
            c = img.bitmap->palette[img.storage[at]];
          }
          if (transparent && IsBlack(c)) continue;
          pic.Set(v.draw_x + x, v.draw_y + y, c);
        }
      break;
    }
    case kIcon: {
      auto* icon = reinterpret_cast<IconElement*>(e);
      if (!v.picture || *v.picture < 0 || static_cast<uint32_t>(*v.picture) >= icon->picture_count)
        return;
      if (const Bitmap* bmp = BitmapResource(e->resource_id + 3 * *v.picture))
        Blit(pic, *bmp, v.draw_x, v.draw_y, transparent);
      break;
    }
    case kSlider: {
      if (!v.drawable) return;
      if (const Bitmap* bmp = BitmapResource(e->resource_id))
        Blit(pic, *bmp, v.draw_x, v.draw_y, transparent);
      break;
    }
    case kMovingImage: {
      auto* m = reinterpret_cast<MovingImageElement*>(e);
      const Bitmap* image = BitmapResource(e->resource_id);
      const Bitmap* window = BitmapResource(e->resource_id + 3);
      if (!image || !window) return;
      // The image is seen through the window at an offset set by where the
      // axis value lies between the axis's two limits.
      auto offset = [](double v, double l1, double l2, int span) {
        if (span <= 0 || l1 == l2) return 0;
        double t = (v - l1) / (l2 - l1);
        if (!(t == t)) t = 0;
        t = std::clamp(t, 0.0, 1.0);
        return static_cast<int>(std::lround(t * span));
      };
      int ox = offset(v.axis_x, m->x_axis.limit1, m->x_axis.limit2, image->width - window->width);
      int oy = offset(v.axis_y, m->y_axis.limit1, m->y_axis.limit2, image->height - window->height);
      for (int y = 0; y < window->height; ++y)
        for (int x = 0; x < window->width; ++x) {
          if (IsBlack(window->At(x, y))) continue;
          int ix = x + ox, iy = y + oy;
          if (ix >= image->width || iy >= image->height) continue;
          Rgb8 c = image->At(ix, iy);
          if (transparent && IsBlack(c)) continue;
          pic.Set(v.draw_x + x, v.draw_y + y, c);
        }
      break;
    }
    case kString:
      DrawString(pic, reinterpret_cast<StringElement*>(e), v.draw_x, v.draw_y);
      break;
    default:
      break;
  }
}

namespace {

// 3 x 5 digits for text boxes too small for any outline font to stay legible
// (the flaps readout shows two digits in 8 x 8 pixels). Rows top down, bit 2
// the leftmost column.
const uint8_t* TinyGlyph(char c) {
  static const uint8_t kDigits[10][5] = {
      {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
      {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
  static const uint8_t kSpace[5] = {0, 0, 0, 0, 0};
  static const uint8_t kMinus[5] = {0, 0, 7, 0, 0};
  static const uint8_t kDot[5] = {0, 0, 0, 0, 2};
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  if (c == ' ') return kSpace;
  if (c == '-') return kMinus;
  if (c == '.') return kDot;
  return nullptr;
}

bool TinyFontCovers(const std::string& text) {
  for (char c : text)
    if (!TinyGlyph(c)) return false;
  return true;
}

// Draws text centred in a w x h box with the 3 x 5 digits, 4 pixels apart.
void DrawTinyText(Picture& pic, const std::string& text, int x0, int y0, int w, int h, Rgb8 fore,
                  Rgb8 back, bool transparent) {
  if (!transparent || !IsBlack(back))
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pic.Set(x0 + x, y0 + y, back);
  int width = static_cast<int>(text.size()) * 4 - 1;
  int left = x0 + (w - width) / 2, top = y0 + (h - 5) / 2;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* glyph = TinyGlyph(text[i]);
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col)
        if (glyph[row] & (4 >> col)) {
          int x = left + static_cast<int>(i) * 4 + col, y = top + row;
          if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) pic.Set(x, y, fore);
        }
  }
}

Rgb8 ColorOf(uint32_t colorref) {
  return {static_cast<uint8_t>(colorref & 0xFF), static_cast<uint8_t>((colorref >> 8) & 0xFF),
          static_cast<uint8_t>((colorref >> 16) & 0xFF)};
}

}  // namespace

void Host::DrawString(Picture& pic, StringElement* s, int x0, int y0) {
  std::optional<std::string> text = TextOf(&s->header);
  int w = static_cast<int>(std::min<uint32_t>(s->box_width, 2048));
  int h = static_cast<int>(std::min<uint32_t>(s->box_height, 2048));
  if (!text || w <= 0 || h <= 0) return;
  // A fixed-pitch face whose char_count characters fit the box.
  uint32_t chars = std::max<uint32_t>(1, std::min<uint32_t>(s->char_count, 256));
  int height = std::min(h, static_cast<int>(w / (chars * 0.6)));
  const bool transparent = (s->header.image_flags & 1) != 0;
  if (height < 9 && TinyFontCovers(*text)) {
    DrawTinyText(pic, *text, x0, y0, w, h, ColorOf(s->fore_color), ColorOf(s->back_color),
                 transparent);
    return;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp || !bits) {
    if (bmp) DeleteObject(bmp);
    DeleteDC(dc);
    return;
  }
  HGDIOBJ old_bmp = SelectObject(dc, bmp);
  char face[33];
  std::memcpy(face, s->font_name, 32);
  face[32] = '\0';
  HFONT font = CreateFontA(std::max(height, 6), 0, 0, 0, s->font_weight, 0, 0, 0,
                           static_cast<BYTE>(s->font_charset), OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH, face);
  HGDIOBJ old_font = SelectObject(dc, font);
  HBRUSH back = CreateSolidBrush(s->back_color & 0xFFFFFF);
  RECT rc{0, 0, w, h};
  FillRect(dc, &rc, back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, s->fore_color & 0xFFFFFF);
  DrawTextA(dc, text->c_str(), static_cast<int>(text->size()), &rc, s->text_format | DT_NOPREFIX);
  GdiFlush();
  const uint32_t* px = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = px[y * w + x];
      Rgb8 c{static_cast<uint8_t>((p >> 16) & 0xFF), static_cast<uint8_t>((p >> 8) & 0xFF),
             static_cast<uint8_t>(p & 0xFF)};
      if (transparent && IsBlack(c)) continue;
      pic.Set(x0 + x, y0 + y, c);
    }
  SelectObject(dc, old_font);
  SelectObject(dc, old_bmp);
  DeleteObject(font);
  DeleteObject(back);
  DeleteObject(bmp);
  DeleteDC(dc);
}

}  // namespace bench
