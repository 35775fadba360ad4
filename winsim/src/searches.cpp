// Folder searches: FindFirstFileA, FindNextFileA and FindClose. A search
// takes its entries all at once, in the order the host listing gives them,
// with "." and ".." first below a root.
#include <set>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

#include "host_files.h"
#include "internal.h"
#include "paths.h"
#include "resolve.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next;
};

std::vector<std::string> sSearches;
std::set<Search*> sSearchHandles;

// Every entry of the searched folder that matches the mask, in order.
std::vector<WIN32_FIND_DATAA> MatchingEntries(const winsim::detail::WinPath& folder, const std::string& host,
                                              const std::string& mask) {
  std::vector<std::pair<std::string, std::string>> entries;  // name, host path
  if (!folder.names.empty()) {
    entries.emplace_back(".", host);
    entries.emplace_back("..", host);
  }
  std::vector<std::string> fresh;
  for (const std::string& name : winsim::detail::HostNames(host, &fresh))
    entries.emplace_back(name, std::string(host).append("/").append(name));
  std::vector<WIN32_FIND_DATAA> found;
  for (const auto& entry : entries)
    if (winsim::detail::MatchesMask(mask, entry.first))
      found.push_back(winsim::detail::HostFindData(entry.first, entry.second));
  return found;
}

}  // namespace

namespace winsim {

const std::vector<std::string>& FileSearches() { return sSearches; }
int OpenSearchHandleCount() { return static_cast<int>(sSearchHandles.size()); }

namespace detail {
void ResetSearches() {
  for (Search* search : sSearchHandles) delete search;
  sSearchHandles.clear();
  sSearches.clear();
}
}  // namespace detail
}  // namespace winsim

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (pattern == nullptr || data == nullptr) winsim::Unmodelled("FindFirstFileA with no pattern or no record");
  sSearches.push_back(pattern);
  DWORD error = 0;
  if (winsim::detail::FaultDue("FindFirstFileA", &error)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  winsim::detail::WinPath folder;
  std::string mask, host;
  bool isFolder = false;
  error = winsim::detail::ParseSearchPattern(pattern, &folder, &mask);
  if (error == 0) error = winsim::detail::ResolveOnHost(folder, &host, &isFolder);
  if (error == ERROR_FILE_NOT_FOUND || (error == 0 && !isFolder)) error = ERROR_PATH_NOT_FOUND;
  std::vector<WIN32_FIND_DATAA> entries;
  if (error == 0) entries = MatchingEntries(folder, host, mask);
  if (error == 0 && entries.empty()) error = ERROR_FILE_NOT_FOUND;
  if (error != 0) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *data = entries[0];
  auto* search = new Search{std::move(entries), 1};
  sSearchHandles.insert(search);
  return search;
}

BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  if (data == nullptr) winsim::Unmodelled("FindNextFileA with no record");
  DWORD error = 0;
  if (winsim::detail::FaultDue("FindNextFileA", &error)) {
    SetLastError(error);
    return FALSE;
  }
  auto it = sSearchHandles.find(static_cast<Search*>(handle));
  if (it == sSearchHandles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Search* search = *it;
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = search->entries[search->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE handle) {
  auto it = sSearchHandles.find(static_cast<Search*>(handle));
  if (it == sSearchHandles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete *it;
  sSearchHandles.erase(it);
  return TRUE;
}
