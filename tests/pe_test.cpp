// Every shipped binary must load with LoadLibrary on the era's Windows: no
// TLS directory, OS and subsystem version 4.0, relocations, only the two data
// exports (the companion: its five functions) and imports from the allowed
// libraries and functions only. The reader itself is checked on samples that
// break those rules and on damaged files.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_check.h"
#include "report.h"

namespace {

using bench::CheckPe;
using bench::PeRole;
using bench::ReadPeFile;

std::vector<std::string> FilesIn(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> out;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "/" + pattern).c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    out.push_back(folder + "/" + found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> ShippedBinaries() {
  std::vector<std::string> all = FilesIn(GAUGE_DIR, "*.gau");
  for (const std::string& dll : FilesIn(COMPANION_DIR, "KestrelDlg.dll")) all.push_back(dll);
  return all;
}

bool Mentions(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += "  " + l + "\n";
  return all;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PeCheck, EveryShippedBinaryKeepsTheRules) {
  std::vector<std::string> files = ShippedBinaries();
  ASSERT_FALSE(files.empty()) << "no module in " << GAUGE_DIR;
  std::string report;
  for (const std::string& f : files) {
    std::vector<std::string> departures = CheckPe(ReadPeFile(f), bench::RoleOfFile(f));
    for (const std::string& d : departures) report += f + ": " + d + "\n";
  }
  EXPECT_TRUE(report.empty()) << report;
}

// The checks above pass vacuously if the reader reads nothing, so the facts of
// real binaries are compared with what their build is known to produce.
TEST(PeCheck, ReaderSeesTheFactsOfARealModule) {
  for (const std::string& f : FilesIn(GAUGE_DIR, "*.gau")) {
    SCOPED_TRACE(f);
    bench::PeFacts facts = ReadPeFile(f);
    ASSERT_TRUE(facts.parsed) << facts.error;
    EXPECT_TRUE(facts.dll);
    std::vector<std::string> names;
    for (const bench::PeExport& e : facts.exports) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ImportTable", "Linkage"}));
    // Every module formats text through wsprintf or the C runtime, so its
    // import table cannot be empty.
    EXPECT_FALSE(facts.imports.empty());
    for (const bench::PeImport& i : facts.imports) EXPECT_FALSE(i.function.empty()) << i.dll;
  }
}

TEST(PeCheck, BrokenSampleIsRejectedWithEveryReason) {
  const std::string path = std::string(SAMPLES_DIR) + "/broken/broken_sample.gau";
  bench::PeFacts facts = ReadPeFile(path);
  ASSERT_TRUE(facts.parsed) << facts.error;
  std::vector<std::string> d = CheckPe(facts, PeRole::kGaugeModule);
  EXPECT_TRUE(facts.tls);
  EXPECT_TRUE(Mentions(d, "has a TLS directory")) << Joined(d);
  EXPECT_TRUE(Mentions(d, "imports CreateFileA from KERNEL32.dll, which is not allowed"))
      << Joined(d);
  EXPECT_TRUE(Mentions(d, "exports the function ExtraFunction")) << Joined(d);
  EXPECT_TRUE(Mentions(d, "does not export ImportTable")) << Joined(d);
  EXPECT_FALSE(Mentions(d, "does not export Linkage")) << Joined(d);
}

TEST(PeCheck, CompanionMissingFunctionsIsRejected) {
  const std::string path = std::string(SAMPLES_DIR) + "/partial/KestrelDlg.dll";
  std::vector<std::string> d = CheckPe(ReadPeFile(path), PeRole::kCompanion);
  for (const char* missing : {"KestrelSetData", "KestrelSettingDialog", "KestrelAboutDialog"})
    EXPECT_TRUE(Mentions(d, std::string("does not export ") + missing)) << Joined(d);
  for (const char* present : {"KestrelGetData", "KestrelGetTourItem"})
    EXPECT_FALSE(Mentions(d, present)) << Joined(d);
}

// Damaged or hostile files are refused with a reason, never read out of bounds.
TEST(PeCheck, DamagedFilesAreRefused) {
  std::vector<uint8_t> real = Bytes(FilesIn(GAUGE_DIR, "*.gau").at(0));
  ASSERT_GT(real.size(), 1024u);
  auto with = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> b = real;
    if (at + 4 <= b.size()) std::memcpy(b.data() + at, &value, 4);
    return b;
  };
  uint32_t pe = real[0x3C] | real[0x3D] << 8;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"only MZ", {'M', 'Z'}},
      {"cut in the headers", std::vector<uint8_t>(real.begin(), real.begin() + pe + 40)},
      {"cut after the headers", std::vector<uint8_t>(real.begin(), real.begin() + 1024)},
      {"header offset past the end", with(0x3C, 0xFFFFFFF0u)},
      {"65535 sections", with(pe + 4, 0xFFFF014Cu)},
      {"export directory far away", with(pe + 24 + 96, 0x7FFFFFF0u)},
      {"import directory far away", with(pe + 24 + 104, 0xFFFFFFF0u)},
  };
  for (const Case& c : cases) {
    std::vector<std::string> d = CheckPe(bench::ParsePe(c.bytes), PeRole::kGaugeModule);
    EXPECT_FALSE(d.empty()) << c.what << " was accepted";
  }
}

TEST(PeCheck, InfoReportsTheBinary) {
  const std::string path = std::string(SAMPLES_DIR) + "/broken/broken_sample.gau";
  nlohmann::json j = bench::DescribeBinary(path);
  EXPECT_EQ(j["tls_directory"], true);
  EXPECT_FALSE(j["departures"].empty());
  const std::string module = FilesIn(GAUGE_DIR, "*.gau").at(0);
  j = bench::DescribeBinary(module);
  EXPECT_EQ(j["tls_directory"], false) << j.dump();
  EXPECT_EQ(j["os_version"], "4.0");
  EXPECT_EQ(j["subsystem_version"], "4.0");
  EXPECT_EQ(j["relocations"], true);
  EXPECT_EQ(j["exports"].size(), 2u);
}

}  // namespace
