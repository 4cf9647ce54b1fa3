// Reads the PE headers, export table and import table of a module file by
// plain file parsing (no Windows loader), and checks them against what a
// module must be to load on every Windows a flight simulator of its era runs
// on: no TLS directory, OS and subsystem version 4.0, a windows subsystem,
// relocations, only the two data exports, and imports from an allow-list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct PeImport {
  std::string dll;
  std::string function;  // empty when imported by ordinal
  uint32_t ordinal = 0;
};

struct PeExport {
  std::string name;
  bool function = false;  // the address lies in an executable section
};

struct PeFacts {
  bool parsed = false;
  std::string error;  // why the file could not be read as a 32-bit PE image
  bool dll = false;
  uint16_t os_major = 0, os_minor = 0;
  uint16_t subsystem_major = 0, subsystem_minor = 0;
  uint16_t subsystem = 0;  // 2 = windows, 3 = console
  bool tls = false;
  uint32_t tls_callbacks = 0;  // entries of the callback array, when readable
  bool relocations = false;
  std::vector<PeExport> exports;
  std::vector<PeImport> imports;
  std::vector<std::string> damage;  // tables the headers point to that cannot be read
};

// What kind of binary the file is meant to be; each has its own allow-list.
enum class PeRole { kGaugeModule, kCompanion };

PeFacts ReadPeFile(const std::string& path);
PeFacts ParsePe(const std::vector<uint8_t>& bytes);

// Every departure from the rules for the role, one readable line each;
// empty when the binary is sound.
std::vector<std::string> CheckPe(const PeFacts& facts, PeRole role);

// The role a file name implies: *.gau is a gauge module, anything else the
// companion library.
PeRole RoleOfFile(const std::string& path);

}  // namespace bench
