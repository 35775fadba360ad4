// Writing files: folder creation, copies and attributes, as deployment uses
// them. Hidden and system, which the host cannot hold, go to the store of
// host_files.h, from SetFileAttributesA and from the source of a copy. Paths
// are taken apart and resolved exactly as for reading (paths.h, resolve.h);
// a name that does not exist yet is created with the case the program gave
// it.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <windows.h>

#include "drives.h"
#include "host_files.h"
#include "internal.h"
#include "opens.h"
#include "paths.h"
#include "resolve.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

namespace fs = std::filesystem;
using winsim::detail::WinPath;

std::vector<winsim::FolderCreateRecord> sFolderCreations;
std::vector<winsim::FileCopyRecord> sCopies;
std::vector<winsim::AttributeChangeRecord> sAttributeChanges;

const DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

const mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

DWORD ErrorOfErrno(int error) {
  switch (error) {
    case ENOSPC:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// Where a path that may not exist yet lies on the host. Returns 0 with the
// host path and whether it exists (and is a folder); the error otherwise,
// ERROR_PATH_NOT_FOUND when the folder that would hold it is missing.
DWORD Locate(LPCSTR text, WinPath* path, std::string* host, bool* exists, bool* isFolder) {
  DWORD error = winsim::detail::ParseWinPath(text, path);
  if (error != 0) return error;
  *isFolder = false;
  error = winsim::detail::ResolveOnHost(*path, host, isFolder);
  *exists = error == 0;
  if (error != ERROR_FILE_NOT_FOUND) return error;
  // The folder that holds it exists (ResolveOnHost checked every name but
  // the last): the new name goes into it.
  WinPath parent = *path;
  parent.names.pop_back();
  std::string parentHost;
  bool parentIsFolder = false;
  error = winsim::detail::ResolveOnHost(parent, &parentHost, &parentIsFolder);
  if (error != 0) return error;
  *host = parentHost + "/" + path->names.back();
  return 0;
}

std::string NameOf(const std::string& host) { return fs::path(host).filename().string(); }

DWORD AttributesOf(const std::string& host) { return winsim::detail::HostAttributes(NameOf(host), host); }

DWORD CreateFolder(LPCSTR text) {
  WinPath path;
  std::string host;
  bool exists = false, isFolder = false;
  DWORD error = Locate(text, &path, &host, &exists, &isFolder);
  if (error != 0) return error;
  if (path.names.empty()) return ERROR_ACCESS_DENIED;  // a drive root
  if (exists) return ERROR_ALREADY_EXISTS;
  if (winsim::detail::DriveWriteProtected(path.drive)) return ERROR_WRITE_PROTECT;
  winsim::detail::RefuseMemoryWrite(host, "a folder creation");
  if (::mkdir(host.c_str(), 0777) != 0) return ErrorOfErrno(errno);
  return 0;
}

// Copies the bytes, or only the first `stopAt` of them and then fails with
// `stopError` (stopAt -1: all of them); on a failure part way the partial
// copy is removed, as Windows removes it.
DWORD CopyBytes(const std::string& from, const std::string& to, const struct stat& source, off_t stopAt,
                DWORD stopError) {
  int in = ::open(from.c_str(), O_RDONLY);
  if (in < 0) return ErrorOfErrno(errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) {
    DWORD error = ErrorOfErrno(errno);
    ::close(in);
    return error;
  }
  DWORD error = 0;
  off_t partWay = stopAt;
  off_t written = 0;
  char buffer[64 * 1024];
  for (;;) {
    size_t want = sizeof buffer;
    if (partWay >= 0 && static_cast<off_t>(want) > partWay - written) want = static_cast<size_t>(partWay - written);
    if (partWay >= 0 && want == 0) {
      error = stopError;
      break;
    }
    ssize_t got = ::read(in, buffer, want);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = ErrorOfErrno(errno);
      break;
    }
    for (ssize_t done = 0; done < got && error == 0;) {
      ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno != EINTR) error = ErrorOfErrno(errno);
      if (put > 0) done += put;
    }
    written += got;
    if (error != 0) break;
  }
  ::close(in);
  if (::close(out) != 0 && error == 0) error = ErrorOfErrno(errno);
  if (error != 0) {
    ::unlink(to.c_str());
    winsim::detail::StoreAttributes(to, 0);
    return error;
  }
  // The copy takes the source's last-write time and attributes.
  struct timespec times[2] = {source.st_atim, source.st_mtim};
  ::utimensat(AT_FDCWD, to.c_str(), times, 0);
  ::chmod(to.c_str(), source.st_mode & 07777);
  winsim::detail::StoreAttributes(to, AttributesOf(from));
  return 0;
}

// Copies onto a drive whose free space a test may have limited: the file
// being replaced is truncated first, so its room counts; what does not fit
// fails with ERROR_DISK_FULL after writing what fits. An injected failure
// part way writes half the bytes first.
DWORD CopyWithinRoom(const std::string& from, const std::string& to, char drive, const struct stat& source,
                     bool replacing) {
  off_t stopAt = -1;
  DWORD stopError = 0;
  if (winsim::detail::FaultDue("CopyFileA.write", &stopError)) stopAt = source.st_size / 2;
  struct stat old;
  off_t replaced = replacing && ::stat(to.c_str(), &old) == 0 ? old.st_size : 0;
  int64_t room = winsim::detail::DriveFreeBytes(drive);
  if (room >= 0 && source.st_size > room + replaced && (stopAt < 0 || stopAt > room + replaced)) {
    stopAt = static_cast<off_t>(room + replaced);
    stopError = ERROR_DISK_FULL;
  }
  DWORD error = CopyBytes(from, to, source, stopAt, stopError);
  // A copy that failed before it opened the destination leaves the old file.
  bool oldGone = error == 0 || ::access(to.c_str(), F_OK) != 0;
  winsim::detail::DriveUseBytes(drive, (error == 0 ? source.st_size : 0) - (oldGone ? replaced : 0));
  return error;
}

DWORD CopyOne(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  WinPath source;
  std::string sourceHost;
  bool sourceIsFolder = false;
  DWORD error = winsim::detail::ParseWinPath(from, &source);
  if (error == 0) error = winsim::detail::ResolveOnHost(source, &sourceHost, &sourceIsFolder);
  if (error != 0) return error;
  if (sourceIsFolder) return ERROR_ACCESS_DENIED;
  if (source.trailingSeparator) return ERROR_INVALID_NAME;

  WinPath target;
  std::string targetHost;
  bool exists = false, targetIsFolder = false;
  error = Locate(to, &target, &targetHost, &exists, &targetIsFolder);
  if (error != 0) return error;
  if (target.names.empty() || targetIsFolder) return ERROR_ACCESS_DENIED;
  if (target.trailingSeparator) return ERROR_INVALID_NAME;
  if (exists) {
    if (failIfExists) return ERROR_FILE_EXISTS;
    std::error_code ec;
    if (fs::equivalent(sourceHost, targetHost, ec)) return ERROR_SHARING_VIOLATION;
  }
  // Another program holds the source or the destination open: CopyFile
  // reads one sharing reading and writes the other sharing nothing.
  if (!winsim::detail::OpenAllowed(sourceHost, GENERIC_READ, FILE_SHARE_READ) ||
      (exists && !winsim::detail::OpenAllowed(targetHost, GENERIC_WRITE, 0)))
    return ERROR_SHARING_VIOLATION;
  if (winsim::detail::DriveWriteProtected(target.drive)) return ERROR_WRITE_PROTECT;
  // Windows opens the destination for writing, which a read-only file
  // refuses. (Wine running as root is let through by the host.)
  if (exists && (AttributesOf(targetHost) & FILE_ATTRIBUTE_READONLY) != 0) return ERROR_ACCESS_DENIED;
  // NT creates the copy as CreateFile does with CREATE_ALWAYS and the
  // source's attributes, and CreateFile documents that this fails on an
  // existing hidden or system file unless the new attributes have them too.
  // Windows 95 and 98 overwrite such a file.
  if (exists && winsim::detail::IsNt() &&
      (AttributesOf(targetHost) & ~AttributesOf(sourceHost) & kHiddenOrSystem) != 0)
    return ERROR_ACCESS_DENIED;
  winsim::detail::RefuseMemoryWrite(sourceHost, "a copy from a file");
  winsim::detail::RefuseMemoryWrite(targetHost, "a copy");
  struct stat info;
  if (::stat(sourceHost.c_str(), &info) != 0) return ErrorOfErrno(errno);
  return CopyWithinRoom(sourceHost, targetHost, target.drive, info, exists);
}

// Resolves an existing file or folder for the attribute functions.
DWORD Existing(LPCSTR text, WinPath* path, std::string* host) {
  bool isFolder = false;
  DWORD error = winsim::detail::ParseWinPath(text, path);
  if (error == 0) error = winsim::detail::ResolveOnHost(*path, host, &isFolder);
  if (error == 0 && !isFolder && path->trailingSeparator) error = ERROR_INVALID_NAME;
  return error;
}

}  // namespace

namespace winsim {

const std::vector<FolderCreateRecord>& FolderCreations() { return sFolderCreations; }
const std::vector<FileCopyRecord>& FileCopies() { return sCopies; }
const std::vector<AttributeChangeRecord>& AttributeChanges() { return sAttributeChanges; }

namespace detail {
void ResetFileWrites() {
  sFolderCreations.clear();
  sCopies.clear();
  sAttributeChanges.clear();
}
}  // namespace detail
}  // namespace winsim

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  if (path == nullptr) winsim::Unmodelled("CreateDirectoryA with no path");
  if (security != nullptr) winsim::Unmodelled("CreateDirectoryA with security attributes");
  DWORD error = 0;
  if (!winsim::detail::FaultDue("CreateDirectoryA", &error)) error = CreateFolder(path);
  winsim::detail::HostFoldersChanged();
  sFolderCreations.push_back(winsim::FolderCreateRecord{path, error == 0, error});
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  if (existingFile == nullptr || newFile == nullptr) winsim::Unmodelled("CopyFileA with no source or destination");
  DWORD error = 0;
  if (!winsim::detail::FaultDue("CopyFileA", &error)) error = CopyOne(existingFile, newFile, failIfExists);
  winsim::detail::HostFoldersChanged();
  sCopies.push_back(winsim::FileCopyRecord{existingFile, newFile, failIfExists != FALSE, error == 0, error});
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  if (path == nullptr) winsim::Unmodelled("GetFileAttributesA with no path");
  DWORD error = 0;
  WinPath parsed;
  std::string host;
  if (!winsim::detail::FaultDue("GetFileAttributesA", &error)) error = Existing(path, &parsed, &host);
  DWORD attributes = error == 0 ? winsim::detail::HostAttributes(parsed.names.empty() ? "" : NameOf(host), host)
                                : INVALID_FILE_ATTRIBUTES;
  if (error == 0 && attributes == INVALID_FILE_ATTRIBUTES) error = ERROR_FILE_NOT_FOUND;
  if (error != 0) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
  if (path == nullptr) winsim::Unmodelled("SetFileAttributesA with no path");
  const DWORD known = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY;
  if ((attributes & ~known) != 0) winsim::Unmodelled("SetFileAttributesA with attributes other than the basic ones");
  DWORD error = 0;
  WinPath parsed;
  std::string host;
  if (!winsim::detail::FaultDue("SetFileAttributesA", &error)) error = Existing(path, &parsed, &host);
  if (error == 0 && winsim::detail::DriveWriteProtected(parsed.drive)) error = ERROR_WRITE_PROTECT;
  if (error == 0) {
    winsim::detail::RefuseMemoryWrite(host, "an attribute change");
    struct stat info;
    if (::stat(host.c_str(), &info) != 0) {
      error = ErrorOfErrno(errno);
    } else {
      // Read-only is the absence of every write permission, as under Wine;
      // clearing it gives the owner write permission back.
      mode_t mode = info.st_mode & 07777;
      mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? (mode & ~kWriteBits) : (mode | S_IWUSR);
      if (::chmod(host.c_str(), mode) != 0)
        error = ErrorOfErrno(errno);
      else
        winsim::detail::StoreAttributes(host, attributes);
    }
  }
  winsim::detail::HostFoldersChanged();
  sAttributeChanges.push_back(winsim::AttributeChangeRecord{path, attributes, error == 0, error});
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
