#include "bench_fixture.h"

namespace testing_support {

std::string GaugePath(const std::string& module_name) {
  return std::string(GAUGE_DIR) + "/" + module_name + ".gau";
}

void GaugeTest::Start(const std::string& name, bench::HostOptions options) {
  host_ = std::make_unique<bench::Host>(options);
  std::string error;
  ASSERT_TRUE(bench::StartGauge(*host_, GaugePath(name), &error)) << error;
}

void GaugeTest::Play(const std::vector<std::string>& actions) {
  std::string error;
  ASSERT_TRUE(bench::RunActions(*host_, actions, &error)) << error;
}

void GaugeTest::Frames(int n) {
  for (int i = 0; i < n; ++i) host_->Frame();
}

bench::ElementView GaugeTest::Element(size_t index) {
  std::vector<bench::ElementView> all = host_->Elements();
  if (index >= all.size()) {
    ADD_FAILURE() << "no element " << index << " (the tree has " << all.size() << ")";
    return {};
  }
  return all[index];
}

std::vector<std::pair<uint32_t, int32_t>> GaugeTest::ModuleEvents() {
  std::vector<std::pair<uint32_t, int32_t>> out;
  for (const bench::SentEvent& e : host_->events())
    if (!e.from_host) out.emplace_back(e.id, e.value);
  return out;
}

void GaugeTest::ExpectNoViolations() {
  EXPECT_TRUE(host_->violations().empty()) << [&] {
    std::string all;
    for (const std::string& v : host_->violations()) all += v + "\n";
    return all;
  }();
}

void GaugeTest::TearDown() {
  if (host_) ExpectNoViolations();
  host_.reset();
}

}  // namespace testing_support
