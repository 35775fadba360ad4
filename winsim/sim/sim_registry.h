// The simulated registry as a test sees it. Paths are written from the root
// key, for example "HKLM\\Enum\\VIRTUAL\\*PNPB02F\\PCI_VEN_4E51". Names are
// case-insensitive; subkeys enumerate in case-insensitive alphabetical order,
// as Wine's registry does.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

void RegCreateKeyPath(const std::string& path);
void RegDeleteKeyPath(const std::string& path);
bool RegKeyExists(const std::string& path);
// Creates the key when missing. A string value is stored with its terminator.
void RegSetString(const std::string& path, const std::string& name, const std::string& text);
void RegSetValue(const std::string& path, const std::string& name, uint32_t type,
                 const std::vector<uint8_t>& bytes);
void RegDeleteValue(const std::string& path, const std::string& name);
// Every later RegOpenKeyExA of this key fails with the given error.
void RegFailOpen(const std::string& path, long error);

struct RegOpenRecord {
  std::string path;  // "HKLM\\..." as requested, trailing backslash removed
  uint32_t sam;
  long result;
};
const std::vector<RegOpenRecord>& RegOpens();
// Calls of RegEnumKeyExA since Reset.
int RegEnumCalls();
// Handles returned by RegOpenKeyExA and not yet closed.
int RegOpenHandleCount();

}  // namespace winsim
