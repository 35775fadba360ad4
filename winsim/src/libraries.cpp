// Libraries by file name, each with a table of exports.
#include <memory>
#include <mutex>
#include <windows.h>

#include "internal.h"
#include "sim_libraries.h"
#include "sim_machine.h"

namespace {

struct Library {
  std::string fileName;
  winsim::ExportTable exports;
};

std::mutex sMutex;
std::map<std::string, std::shared_ptr<Library>, winsim::detail::LessNoCase> sLibraries;
std::vector<std::string> sLoadCalls;
std::vector<std::string> sProcCalls;

}  // namespace

namespace winsim {

void RegisterLibrary(const std::string& fileName, const ExportTable& exports) {
  std::lock_guard<std::mutex> lock(sMutex);
  sLibraries[fileName] = std::make_shared<Library>(Library{fileName, exports});
}

std::vector<std::string> LoadLibraryCalls() {
  std::lock_guard<std::mutex> lock(sMutex);
  return sLoadCalls;
}

std::vector<std::string> GetProcAddressCalls() {
  std::lock_guard<std::mutex> lock(sMutex);
  return sProcCalls;
}

namespace detail {
void ResetLibraries() {
  std::lock_guard<std::mutex> lock(sMutex);
  sLibraries.clear();
  sLoadCalls.clear();
  sProcCalls.clear();
}
}  // namespace detail
}  // namespace winsim

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr) winsim::Unmodelled("LoadLibraryA with no name");
  std::string name = fileName;
  if (name.find_first_of("\\/:") != std::string::npos)
    winsim::Unmodelled("LoadLibraryA with a folder part: " + name);
  if (name.find('.') == std::string::npos) name += ".DLL";
  std::lock_guard<std::mutex> lock(sMutex);
  sLoadCalls.push_back(fileName);
  auto it = sLibraries.find(name);
  if (it == sLibraries.end()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // The library lives until Reset, so the handle stays good, as a library
  // that is never freed stays loaded.
  return reinterpret_cast<HMODULE>(it->second.get());
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  // A value below 64K is an ordinal, not the address of a name.
  if (reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF) winsim::Unmodelled("GetProcAddress by ordinal");
  std::lock_guard<std::mutex> lock(sMutex);
  sProcCalls.push_back(name);
  for (const auto& entry : sLibraries) {
    if (reinterpret_cast<HMODULE>(entry.second.get()) != module) continue;
    auto found = entry.second->exports.find(name);
    if (found == entry.second->exports.end() || found->second == nullptr) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return found->second;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}
