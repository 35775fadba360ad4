// Opening existing files for reading (CreateFileA), with Windows' share
// rules against the program's own open files and the files a test holds
// open as another program.
#include <map>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

#include "host_files.h"
#include "internal.h"
#include "opens.h"
#include "paths.h"
#include "resolve.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

// A file open by the program (a handle) or held open by another program.
struct OpenFile {
  std::string host;
  DWORD access;
  DWORD share;
};

std::vector<winsim::FileOpenRecord> sOpens;
std::set<OpenFile*> sFiles;
std::map<int, OpenFile> sHeldFiles;  // by id, opened by other programs
int sNextHeldId = 1;

// Windows opens a file again only when each open so far shares the access
// the new one asks for, and the new one shares the access each earlier one
// holds.
bool SharesWith(const OpenFile& earlier, DWORD access, DWORD share) {
  auto conflicts = [](DWORD wanted, DWORD allowed) {
    return ((wanted & GENERIC_READ) != 0 && (allowed & FILE_SHARE_READ) == 0) ||
           ((wanted & GENERIC_WRITE) != 0 && (allowed & FILE_SHARE_WRITE) == 0);
  };
  return !conflicts(access, earlier.share) && !conflicts(earlier.access, share);
}

}  // namespace

bool winsim::detail::OpenAllowed(const std::string& host, DWORD access, DWORD share) {
  for (const OpenFile* file : sFiles)
    if (winsim::detail::HostSameFile(file->host, host) && !SharesWith(*file, access, share)) return false;
  for (const auto& held : sHeldFiles)
    if (winsim::detail::HostSameFile(held.second.host, host) && !SharesWith(held.second, access, share)) return false;
  return true;
}

namespace {

using winsim::detail::OpenAllowed;

// Where the file to open lies on the host; 0 or the error the open fails with.
DWORD LocateForReading(LPCSTR name, DWORD access, DWORD share, std::string* host) {
  winsim::detail::WinPath path;
  bool folder = false;
  DWORD error = winsim::detail::ResolvePath(name, &path, host, &folder);
  if (error != 0) return error;
  // A folder does not open as a file, and a file does not open as a folder.
  if (folder) return ERROR_ACCESS_DENIED;
  if (path.trailingSeparator) return ERROR_INVALID_NAME;
  if (!winsim::detail::HostOpensForReading(*host)) return ERROR_ACCESS_DENIED;
  if (!OpenAllowed(*host, access, share)) return ERROR_SHARING_VIOLATION;
  return 0;
}

}  // namespace

namespace winsim {

const std::vector<FileOpenRecord>& FileOpens() { return sOpens; }

int HoldFileOpen(const std::string& windowsPath, uint32_t access, uint32_t share) {
  if ((access & ~static_cast<uint32_t>(GENERIC_READ | GENERIC_WRITE)) != 0 ||
      (share & ~static_cast<uint32_t>(FILE_SHARE_READ | FILE_SHARE_WRITE)) != 0)
    Unmodelled("HoldFileOpen with access or sharing other than reading and writing");
  detail::WinPath path;
  std::string host;
  bool folder = false;
  if (detail::ResolvePath(windowsPath, &path, &host, &folder) != 0 || folder)
    Unmodelled("HoldFileOpen of a path that names no file: " + windowsPath);
  if (!OpenAllowed(host, access, share)) return 0;
  int id = sNextHeldId++;
  sHeldFiles[id] = OpenFile{host, access, share};
  return id;
}

void ReleaseFile(int id) {
  if (sHeldFiles.erase(id) == 0) Unmodelled("ReleaseFile of a file that is not held open");
}

int OpenFileHandleCount() { return static_cast<int>(sFiles.size()); }

namespace detail {

HANDLE OpenFileOnDrive(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                       DWORD flags, HANDLE templateFile) {
  if ((access & ~static_cast<DWORD>(GENERIC_READ)) != 0 || disposition != OPEN_EXISTING || security != nullptr ||
      (share & ~static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE)) != 0 || templateFile != nullptr ||
      (flags & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) != 0)
    Unmodelled(std::string("CreateFileA other than opening an existing file for reading: ") + name);
  DWORD error = 0;
  std::string host;
  if (!FaultDue("CreateFileA", &error)) error = LocateForReading(name, access, share, &host);
  sOpens.push_back(FileOpenRecord{name, access, disposition, error == 0, error});
  if (error != 0) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new OpenFile{host, access, share};
  sFiles.insert(file);
  return file;
}

BOOL CloseFileOnDrive(HANDLE handle) {
  auto it = sFiles.find(static_cast<OpenFile*>(handle));
  if (it == sFiles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete *it;
  sFiles.erase(it);
  return TRUE;
}

void ResetOpens() {
  for (OpenFile* file : sFiles) delete file;
  sFiles.clear();
  sHeldFiles.clear();
  sNextHeldId = 1;
  sOpens.clear();
}

}  // namespace detail
}  // namespace winsim
