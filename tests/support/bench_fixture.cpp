#include "bench_fixture.h"

#include <windows.h>

#include <algorithm>

namespace testing_support {

namespace {
// GoogleTest hands every failure message to OutputDebugStringA too, which
// raises a debug-print exception. Under Wine on qemu the unwinding after it
// kills the test process, so the first failing expectation hid every later
// result. Nobody here debugs through that channel: resume at once instead.
LONG CALLBACK ResumeAfterDebugPrint(EXCEPTION_POINTERS* info) {
  constexpr DWORD kDebugPrint = 0x40010006;  // DBG_PRINTEXCEPTION_C
  return info->ExceptionRecord->ExceptionCode == kDebugPrint ? EXCEPTION_CONTINUE_EXECUTION
                                                             : EXCEPTION_CONTINUE_SEARCH;
}
const bool debug_print_handler_installed =
    AddVectoredExceptionHandler(1, ResumeAfterDebugPrint) != nullptr;
}  // namespace

std::string GaugePath(const std::string& module_name) {
  return std::string(GAUGE_DIR) + "/" + module_name + ".gau";
}

std::vector<std::string> BuiltGauges() {
  std::vector<std::string> out;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((std::string(GAUGE_DIR) + "/*.gau").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(std::string(GAUGE_DIR) + "/" + found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
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
  // As the simulator does before unloading (and the GPS must free its
  // companion library before a test removes the library's folder).
  if (host_ && host_->installed()) host_->Kill();
  if (host_) ExpectNoViolations();
  host_.reset();
}

}  // namespace testing_support
