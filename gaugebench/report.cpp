#include "report.h"

#include <cstdio>

#include "pe_check.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace bench {

namespace {

using nlohmann::json;

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

json ElementJson(Host& host, ElementHeader* e, int depth) {
  json j{{"kind", e->kind},
         {"resource_id", e->resource_id == 0xFFFFFFFFu ? json(-1) : json(e->resource_id)},
         {"position", {e->position.x, e->position.y}},
         {"image_flags", Hex(e->image_flags)},
         {"failures", json::array()}};
  if (e->failures)
    for (int i = 0; i < 64 && e->failures[i].key; ++i)
      j["failures"].push_back({e->failures[i].key, e->failures[i].action});
  switch (e->kind) {
    case kIcon: {
      auto* icon = reinterpret_cast<IconElement*>(e);
      j["source"] = Hex(icon->source.id);
      j["callback"] = icon->source_callback != nullptr;
      j["picture_count"] = icon->picture_count;
      break;
    }
    case kSlider: {
      auto* s = reinterpret_cast<SliderElement*>(e);
      j["x_axis"] = {{"source", Hex(s->x_axis.source.id)},
                     {"callback", s->x_axis.callback != nullptr},
                     {"scale", s->x_axis.scale}};
      j["y_axis"] = {{"source", Hex(s->y_axis.source.id)},
                     {"callback", s->y_axis.callback != nullptr},
                     {"scale", s->y_axis.scale}};
      break;
    }
    case kMovingImage: {
      auto* m = reinterpret_cast<MovingImageElement*>(e);
      for (auto [name, axis] : {std::pair{"x_axis", &m->x_axis}, std::pair{"y_axis", &m->y_axis}})
        j[name] = {{"source", Hex(axis->source.id)},
                   {"callback", axis->callback != nullptr},
                   {"limit1", axis->limit1},
                   {"limit2", axis->limit2}};
      break;
    }
    case kString: {
      auto* s = reinterpret_cast<StringElement*>(e);
      char face[33] = {};
      std::memcpy(face, s->font_name, 32);
      j["sources"] = {Hex(s->sources[0].id), Hex(s->sources[1].id), Hex(s->sources[2].id)};
      j["box"] = {s->box_width, s->box_height};
      j["char_count"] = s->char_count;
      j["colors"] = {Hex(s->fore_color), Hex(s->back_color), Hex(s->highlight_color)};
      j["font"] = {{"name", face}, {"weight", s->font_weight}, {"charset", s->font_charset}};
      j["text_format"] = Hex(s->text_format);
      break;
    }
    default:
      break;
  }
  json children = json::array();
  if (e->children && depth < 32)
    for (int i = 0; i < 256 && e->children[i]; ++i)
      children.push_back(ElementJson(host, e->children[i], depth + 1));
  j["children"] = children;
  return j;
}

}  // namespace

json DescribeModule(Host& host) {
  json j;
  ModuleLinkage* l = host.linkage();
  GaugeHeader* g = host.gauge();
  if (!l || !g) return json{{"error", "module not loaded"}};
  j["linkage"] = {{"module_id", Hex(l->module_id)},
                  {"module_init", l->module_init != nullptr},
                  {"module_deinit", l->module_deinit != nullptr},
                  {"gauges", 1}};
  j["import_table"] = {{"id", Hex(host.import_table()[0].id)}};
  json words = json::array();
  for (uint32_t w : g->zero_words) words.push_back(w);
  j["header"] = {{"version", g->version},
                 {"name", g->name ? g->name : ""},
                 {"default_size", g->default_size},
                 {"reserved", g->reserved},
                 {"zero_words", words}};
  j["elements"] = host.root() ? ElementJson(host, host.root(), 0) : json();
  json rects = json::array();
  if (MouseRect* r = host.mouse_list()) {
    for (int n = 0; n < 1024; ++n, ++r) {
      rects.push_back({{"kind", r->kind},
                       {"box", {r->box.x, r->box.y, r->box.width, r->box.height}},
                       {"cursor", r->cursor},
                       {"help_id", Hex(r->help_id)},
                       {"mouse_flags", Hex(r->mouse_flags)},
                       {"event", Hex(r->event)},
                       {"callback", r->callback != nullptr}});
      if (r->kind == RectListEnd) break;
    }
  }
  j["mouse_rects"] = rects;
  return j;
}

json DescribeBinary(const std::string& path) {
  PeFacts f = ReadPeFile(path);
  if (!f.parsed) return json{{"error", f.error}};
  json exports = json::array();
  for (const PeExport& e : f.exports)
    exports.push_back({{"name", e.name}, {"kind", e.function ? "function" : "data"}});
  json imports = json::object();
  for (const PeImport& i : f.imports) {
    // An import by ordinal shows as "#N".
    std::string name = i.function;
    if (name.empty()) name.append(1, '#').append(std::to_string(i.ordinal));
    imports[i.dll].push_back(name);
  }
  return json{{"tls_directory", f.tls},
              {"tls_callbacks", f.tls_callbacks},
              {"os_version", std::to_string(f.os_major) + "." + std::to_string(f.os_minor)},
              {"subsystem_version",
               std::to_string(f.subsystem_major) + "." + std::to_string(f.subsystem_minor)},
              {"subsystem", f.subsystem == 2 ? "windows" : std::to_string(f.subsystem)},
              {"relocations", f.relocations},
              {"exports", exports},
              {"imports", imports},
              {"departures", CheckPe(f, RoleOfFile(path))}};
}

json RunReport(Host& host) {
  json events = json::array();
  for (const SentEvent& e : host.events())
    events.push_back({{"id", e.id}, {"value", e.value}, {"from", e.from_host ? "host" : "module"}});
  json elements = json::array();
  for (const ElementView& v : host.Elements()) {
    ElementHeader* e = v.element;
    std::optional<std::string> text = host.TextOf(e);
    elements.push_back(
        {{"kind", e->kind},
         {"resource_id", e->resource_id == 0xFFFFFFFFu ? -1 : static_cast<int64_t>(e->resource_id)},
         {"x", v.draw_x},
         {"y", v.draw_y},
         {"hidden", host.IsHidden(e)},
         {"picture", e->kind == kIcon && v.picture ? json(*v.picture) : json(nullptr)},
         {"text", text ? json(*text) : json(nullptr)}});
  }
  json vars = json::object();
  for (auto& [id, value] : host.sim().vars()) {
    vars[Hex(id)] = std::isfinite(value) ? json(value) : json(std::to_string(value));
  }
  return json{{"events", events},
              {"elements", elements},
              {"violations", host.violations()},
              {"variables", vars}};
}

bool WritePng(const Picture& picture, const std::string& path) {
  std::vector<uint8_t> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (const Rgb8& c : picture.pixels) {
    rgb.push_back(c.r);
    rgb.push_back(c.g);
    rgb.push_back(c.b);
  }
  return stbi_write_png(path.c_str(), picture.width, picture.height, 3, rgb.data(),
                        picture.width * 3) != 0;
}

}  // namespace bench
