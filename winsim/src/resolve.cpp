// Where a Windows path lands on the host (see resolve.h). Nothing is cached
// here: unless a test froze the host folders, every walk looks at the host as
// it is now, so a test may change a medium between calls.
#include "resolve.h"

#include <string>
#include <utility>
#include <vector>

#include "drives.h"
#include "host_files.h"
#include "paths.h"
#include "sim_files.h"

namespace {

// The host name in a host folder that a Windows name names.
bool FindHostName(const std::string& folder, const std::string& name, std::string* found) {
  std::vector<std::string> fresh;
  for (const std::string& candidate : winsim::detail::HostNames(folder, &fresh)) {
    if (winsim::detail::CompareFileNames(candidate, name) == 0) {
      *found = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

namespace winsim {

std::string HostPathOf(const std::string& windowsPath) {
  detail::WinPath path;
  std::string host;
  bool folder = false;
  return detail::ResolvePath(windowsPath, &path, &host, &folder) == 0 ? host : "";
}

bool IsFileOnMachine(const std::string& windowsPath) {
  detail::WinPath path;
  std::string host;
  bool folder = false;
  return detail::ResolvePath(windowsPath, &path, &host, &folder) == 0 && !folder;
}

namespace detail {

DWORD ResolveOnHost(const WinPath& path, std::string* host, bool* isFolder) {
  std::string current;
  DWORD error = DriveRoot(path.drive, &current);
  if (error != 0) return error;
  if (!HostIsFolder(current)) return ERROR_NOT_READY;
  for (size_t i = 0; i < path.names.size(); ++i) {
    bool last = i + 1 == path.names.size();
    std::string found;
    if (!FindHostName(current, path.names[i], &found)) return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    current.append("/").append(found);
    if (!last && !HostIsFolder(current)) return ERROR_PATH_NOT_FOUND;
  }
  *isFolder = HostIsFolder(current);
  *host = std::move(current);
  return 0;
}

DWORD ResolvePath(const std::string& text, WinPath* path, std::string* host, bool* isFolder) {
  DWORD error = ParseWinPath(text, path);
  return error != 0 ? error : ResolveOnHost(*path, host, isFolder);
}

}  // namespace detail
}  // namespace winsim
