// Drives, paths, folder searches, opening files for reading, and profiles.
//
// Drives map onto host folders, or onto folders held in memory (see
// host_files.h). Nothing is cached unless a test froze the host folders:
// every call looks at the host folder as it is now, so a test may change a
// medium between calls.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <utility>
#include <set>
#include <windows.h>

#include "emulator_domains.h"
#include "files_internal.h"
#include "host_files.h"
#include "internal.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

using winsim::detail::CompareNoCase;

const DWORD kErrorBadNetPath = 53;

struct Drive {
  unsigned type;
  bool hasMedium;
  std::string host;
  bool writeProtected = false;
};

// A file open by the program (a handle) or held open by another program.
struct OpenFile {
  std::string host;
  DWORD access;
  DWORD share;
};

struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next;
};

std::map<char, Drive> sDrives;  // by upper-case letter
std::string sCurrentFolder = "C:\\";
std::vector<winsim::FileOpenRecord> sOpens;
std::vector<std::string> sSearches;
std::vector<winsim::ProfileReadRecord> sProfileReads;
std::set<OpenFile*> sFiles;
std::map<int, OpenFile> sHeldFiles;  // by id, opened by other programs
int sNextHeldId = 1;
std::set<Search*> sSearchHandles;

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

Drive* DriveOf(char letter) {
  auto it = sDrives.find(UpperLetter(letter));
  return it == sDrives.end() ? nullptr : &it->second;
}

// Characters Windows refuses in a file name; '*' and '?' are wildcards in a
// search pattern.
bool IsInvalidNameChar(char c, bool pattern) {
  if (static_cast<unsigned char>(c) < 32) return true;
  if (pattern && (c == '*' || c == '?')) return false;
  return std::strchr("<>:\"|?*", c) != nullptr;
}

// A host name that a Windows path can name.
bool IsAddressable(const std::string& name) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  for (char c : name)
    if (c == '\\' || c == '/' || IsInvalidNameChar(c, false)) return false;
  char last = name.back();
  return name == "." || name == ".." || (last != '.' && last != ' ');
}

// Windows drops trailing dots and blanks from every name of a path.
std::string StripTrailingDotsAndBlanks(const std::string& name) {
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  return name.substr(0, end);
}

// What FreezeHostFolders keeps: each host folder's visible names, and each
// host path's mode (-1 where nothing is). Dropped by every write of the
// platform and by Reset.
bool sHostFrozen = false;
std::map<std::string, std::vector<std::string>> sKeptNames;
std::map<std::string, long> sKeptModes;

long HostMode(const std::string& host) {
  if (sHostFrozen) {
    auto kept = sKeptModes.find(host);
    if (kept != sKeptModes.end()) return kept->second;
  }
  struct stat info;
  long mode = winsim::detail::HostStat(host, &info) ? static_cast<long>(info.st_mode) : -1;
  if (sHostFrozen) sKeptModes[host] = mode;
  return mode;
}

bool IsFolder(const std::string& host) {
  long mode = HostMode(host);
  return mode != -1 && S_ISDIR(static_cast<mode_t>(mode));
}

std::vector<std::string> ListHostNames(const std::string& folder);

// The visible names of a host folder, in the order searches return them:
// case-insensitive alphabetical, ties broken by the exact bytes.
// While frozen this is the kept list itself (no copy per path lookup: that
// was much of a fuzz run's allocations); otherwise a fresh listing, held in
// *fresh for as long as the caller needs it.
const std::vector<std::string>& HostNames(const std::string& folder, std::vector<std::string>* fresh) {
  if (!sHostFrozen) return *fresh = ListHostNames(folder);
  auto kept = sKeptNames.find(folder);
  if (kept != sKeptNames.end()) return kept->second;
  return sKeptNames[folder] = ListHostNames(folder);
}

std::vector<std::string> ListHostNames(const std::string& folder) {
  std::vector<std::string> names = winsim::detail::HostFolderNames(folder);
  names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& name) { return !IsAddressable(name); }),
              names.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

bool FindHostName(const std::string& folder, const std::string& name, std::string* found) {
  std::vector<std::string> fresh;
  for (const std::string& candidate : HostNames(folder, &fresh)) {
    if (CompareNoCase(candidate, name) == 0) {
      *found = candidate;
      return true;
    }
  }
  return false;
}

bool IsPatternAll(const std::string& mask) { return mask == "*" || mask == "*.*"; }

// '*' matches any run of characters, '?' any one; case is ignored.
bool MatchMask(const char* mask, const char* name) {
  for (; *mask != '\0'; ++mask, ++name) {
    if (*mask == '*') {
      for (const char* rest = name;; ++rest) {
        if (MatchMask(mask + 1, rest)) return true;
        if (*rest == '\0') return false;
      }
    }
    if (*name == '\0') return false;
    if (*mask != '?' && CompareNoCase(std::string(1, *mask), std::string(1, *name)) != 0) return false;
  }
  return *name == '\0';
}

FILETIME ToFileTime(const struct stat& info) {
  // 100 ns intervals since 1601-01-01.
  uint64_t ticks = (static_cast<uint64_t>(info.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                   static_cast<uint64_t>(info.st_mtim.tv_nsec) / 100u;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xffffffffu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

WIN32_FIND_DATAA FindDataOf(const std::string& name, const std::string& host) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  std::memcpy(data.cFileName, name.c_str(), name.size() + 1);  // names are below MAX_PATH
  struct stat info;
  if (!winsim::detail::HostStat(host, &info)) {
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    return data;
  }
  bool folder = S_ISDIR(info.st_mode);
  data.dwFileAttributes = winsim::detail::HostAttributes(name, host);
  data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = ToFileTime(info);
  if (!folder) {
    uint64_t size = static_cast<uint64_t>(info.st_size);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  }
  return data;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Looks a key up in profile text as Windows' profile reader does: the first
// section whose name matches (the name between '[' and the line's last ']',
// untrimmed), and in it the first key before its first '='. A key line
// without '=' has no value. Returns false when there is no value.
bool ProfileLookup(const std::string& bytes, const std::string& section, const std::string& key,
                   std::string* value) {
  std::string wantedSection = Trim(section);
  std::string wantedKey = Trim(key);
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  // Keys before any section header form a first section with an empty name.
  bool inSection = wantedSection.empty();
  size_t pos = start;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    std::string line = bytes.substr(pos, end - pos);
    pos = end;
    while (pos < bytes.size() && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    // A NUL byte ends what the reader sees of a line.
    size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    line = Trim(line);
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close != std::string::npos && close > 0) {
        // Only the first section of that name is searched.
        if (inSection) return false;
        inSection = CompareNoCase(line.substr(1, close - 1), wantedSection) == 0;
        continue;
      }
      // Without a closing bracket the line is an ordinary key line.
    }
    if (!inSection) continue;
    size_t equals = line.find('=');
    std::string name = Trim(line.substr(0, equals));
    if (CompareNoCase(name, wantedKey) != 0) continue;
    if (equals == std::string::npos) return false;
    *value = Trim(line.substr(equals + 1));
    return true;
  }
  return false;
}

// One pair of matching quotes around a value is removed.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

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

bool OpenAllowed(const std::string& host, DWORD access, DWORD share) {
  for (const OpenFile* file : sFiles)
    if (winsim::detail::HostSameFile(file->host, host) && !SharesWith(*file, access, share)) return false;
  for (const auto& held : sHeldFiles)
    if (winsim::detail::HostSameFile(held.second.host, host) && !SharesWith(held.second, access, share)) return false;
  return true;
}

HANDLE WINAPI CreateFileOnDrive(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
  if ((access & ~static_cast<DWORD>(GENERIC_READ)) != 0 || disposition != OPEN_EXISTING || security != nullptr ||
      (share & ~static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE)) != 0 ||
      templateFile != nullptr || (flags & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) != 0)
    winsim::Unmodelled(std::string("CreateFileA other than opening an existing file for reading: ") + name);
  winsim::FileOpenRecord record{name, access, disposition, false, 0};
  DWORD error = 0;
  std::string host;
  if (!winsim::detail::FaultDue("CreateFileA", &error)) {
    winsim::detail::WinPath path;
    bool folder = false;
    error = winsim::detail::ParseWinPath(name, &path);
    if (error == 0) error = winsim::detail::ResolveOnHost(path, &host, &folder);
    // A folder does not open as a file, and a file does not open as a folder.
    if (error == 0 && folder) error = ERROR_ACCESS_DENIED;
    if (error == 0 && path.trailingSeparator) error = ERROR_INVALID_NAME;
    if (error == 0) {
      if (!winsim::detail::HostOpensForReading(host)) error = ERROR_ACCESS_DENIED;
    }
    if (error == 0 && !OpenAllowed(host, access, share)) error = ERROR_SHARING_VIOLATION;
  }
  record.opened = error == 0;
  record.error = error;
  sOpens.push_back(record);
  if (error != 0) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new OpenFile{host, access, share};
  sFiles.insert(file);
  return file;
}

BOOL WINAPI CloseFileHandle(HANDLE handle) {
  auto it = sFiles.find(static_cast<OpenFile*>(handle));
  if (it == sFiles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete *it;
  sFiles.erase(it);
  return TRUE;
}

// Where a test's Windows path lies on the host; false when it names nothing.
bool ResolveTestPath(const std::string& windowsPath, std::string* host, bool* folder) {
  winsim::detail::WinPath path;
  return winsim::detail::ParseWinPath(windowsPath, &path) == 0 && winsim::detail::ResolveOnHost(path, host, folder) == 0;
}

}  // namespace

namespace winsim {

void MapDrive(char letter, unsigned type, const std::string& hostFolder) {
  if (!IsLetter(letter)) Unmodelled("a drive letter that is not a letter");
  sDrives[UpperLetter(letter)] = Drive{type, true, hostFolder};
}

void MapEmptyDrive(char letter, unsigned type) {
  if (!IsLetter(letter)) Unmodelled("a drive letter that is not a letter");
  sDrives[UpperLetter(letter)] = Drive{type, false, ""};
}

void EjectMedium(char letter) {
  Drive* drive = DriveOf(letter);
  if (drive == nullptr) Unmodelled("ejecting the medium of a drive that is not mapped");
  drive->hasMedium = false;
  drive->host.clear();
}

void InsertMedium(char letter, const std::string& hostFolder) {
  Drive* drive = DriveOf(letter);
  if (drive == nullptr) Unmodelled("inserting a medium into a drive that is not mapped");
  drive->hasMedium = true;
  drive->host = hostFolder;
}

void UnmapDrive(char letter) { sDrives.erase(UpperLetter(letter)); }

void ProtectDrive(char letter, bool writeProtected) {
  Drive* drive = DriveOf(letter);
  if (drive == nullptr) Unmodelled("write-protecting a drive that is not mapped");
  drive->writeProtected = writeProtected;
}

void FreezeHostFolders() {
  detail::HostFoldersChanged();
  sHostFrozen = true;
}

void SetCurrentFolder(const std::string& windowsPath) {
  detail::WinPath path;
  if (detail::ParseWinPath(windowsPath, &path) != 0) Unmodelled("a current folder that is not a path: " + windowsPath);
  std::string folder = std::string(1, path.drive) + ":\\";
  for (const auto& name : path.names) folder += name + "\\";
  sCurrentFolder = folder;
}

std::string HostPathOf(const std::string& windowsPath) {
  std::string host;
  bool folder = false;
  return ResolveTestPath(windowsPath, &host, &folder) ? host : "";
}

bool IsFileOnMachine(const std::string& windowsPath) {
  std::string host;
  bool folder = false;
  return ResolveTestPath(windowsPath, &host, &folder) && !folder;
}

const std::vector<FileOpenRecord>& FileOpens() { return sOpens; }
const std::vector<std::string>& FileSearches() { return sSearches; }
const std::vector<ProfileReadRecord>& ProfileReads() { return sProfileReads; }
int HoldFileOpen(const std::string& windowsPath, uint32_t access, uint32_t share) {
  if ((access & ~static_cast<uint32_t>(GENERIC_READ | GENERIC_WRITE)) != 0 ||
      (share & ~static_cast<uint32_t>(FILE_SHARE_READ | FILE_SHARE_WRITE)) != 0)
    Unmodelled("HoldFileOpen with access or sharing other than reading and writing");
  std::string host;
  bool folder = false;
  if (!ResolveTestPath(windowsPath, &host, &folder) || folder)
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
int OpenSearchHandleCount() { return static_cast<int>(sSearchHandles.size()); }

namespace detail {

void HostFoldersChanged() {
  sKeptNames.clear();
  sKeptModes.clear();
}

DWORD HostAttributes(const std::string& name, const std::string& host) {
  long found = HostMode(host);
  if (found == -1) return INVALID_FILE_ATTRIBUTES;
  mode_t mode = static_cast<mode_t>(found);
  DWORD attributes = S_ISDIR(mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes | StoredAttributes(host);
}

bool DriveWriteProtected(char drive) {
  Drive* found = DriveOf(drive);
  return found != nullptr && found->writeProtected;
}

DWORD ParseWinPath(const std::string& text, WinPath* out) {
  *out = WinPath();
  // The ANSI functions take at most MAX_PATH - 1 characters.
  if (text.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (text.empty()) return ERROR_PATH_NOT_FOUND;
  std::string path = text;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.compare(0, 2, "\\\\") == 0) return kErrorBadNetPath;

  std::string full;
  if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
    char drive = UpperLetter(path[0]);
    std::string rest = path.substr(2);
    if (!rest.empty() && rest[0] == '\\') {
      full = std::string(1, drive) + ":" + rest;
    } else {
      // "C:name": relative to the current folder if it is on that drive.
      std::string base = sCurrentFolder[0] == drive ? sCurrentFolder : std::string(1, drive) + ":\\";
      full = base + rest;
    }
  } else if (path[0] == '\\') {
    full = sCurrentFolder.substr(0, 2) + path;
  } else {
    full = sCurrentFolder + path;
  }

  out->drive = full[0];
  out->trailingSeparator = full.back() == '\\';
  std::string name;
  std::vector<std::string> names;
  for (size_t i = 2; i <= full.size(); ++i) {
    if (i < full.size() && full[i] != '\\') {
      name += full[i];
      continue;
    }
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      for (char c : name)
        if (IsInvalidNameChar(c, false)) return ERROR_INVALID_NAME;
      std::string stripped = StripTrailingDotsAndBlanks(name);
      if (!stripped.empty()) names.push_back(stripped);
    }
    name.clear();
  }
  out->names = names;
  return 0;
}

DWORD ResolveOnHost(const WinPath& path, std::string* host, bool* isFolder) {
  Drive* drive = DriveOf(path.drive);
  if (drive == nullptr) return ERROR_PATH_NOT_FOUND;
  if (!drive->hasMedium) return ERROR_NOT_READY;
  std::string current = drive->host;
  if (!IsFolder(current)) return ERROR_NOT_READY;
  for (size_t i = 0; i < path.names.size(); ++i) {
    bool last = i + 1 == path.names.size();
    std::string found;
    if (!FindHostName(current, path.names[i], &found)) return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    current.append("/").append(found);
    if (!last && !IsFolder(current)) return ERROR_PATH_NOT_FOUND;
  }
  *isFolder = IsFolder(current);
  *host = std::move(current);
  return 0;
}

void ResetFiles() {
  for (OpenFile* file : sFiles) delete file;
  sFiles.clear();
  sHeldFiles.clear();
  sNextHeldId = 1;
  for (Search* search : sSearchHandles) delete search;
  sSearchHandles.clear();
  sDrives.clear();
  ResetMemoryHost();
  sCurrentFolder = "C:\\";
  sOpens.clear();
  sSearches.clear();
  sProfileReads.clear();
  sHostFrozen = false;
  HostFoldersChanged();
  // CreateFileA and CloseHandle live with the devices; they hand paths and
  // handles that are not a device's to this part.
  SetFileHandleHooks(CreateFileOnDrive, CloseFileHandle);
}

}  // namespace detail
}  // namespace winsim

DWORD WINAPI GetLogicalDriveStringsA(DWORD bufferLength, LPSTR buffer) {
  DWORD error = 0;
  if (winsim::detail::FaultDue("GetLogicalDriveStringsA", &error)) {
    SetLastError(error);
    return 0;
  }
  DWORD needed = static_cast<DWORD>(sDrives.size() * 4 + 1);
  if (needed > bufferLength) return needed;
  if (buffer == nullptr) winsim::Unmodelled("GetLogicalDriveStringsA with no buffer");
  char* out = buffer;
  for (const auto& drive : sDrives) {
    *out++ = drive.first;
    *out++ = ':';
    *out++ = '\\';
    *out++ = '\0';
  }
  *out = '\0';
  return needed - 1;
}

UINT WINAPI GetDriveTypeA(LPCSTR rootPath) {
  if (rootPath == nullptr) winsim::Unmodelled("GetDriveTypeA of the current drive");
  DWORD error = 0;
  if (winsim::detail::FaultDue("GetDriveTypeA", &error)) {
    SetLastError(error);
    return DRIVE_UNKNOWN;
  }
  std::string root = rootPath;
  bool isRoot = root.size() >= 2 && IsLetter(root[0]) && root[1] == ':' &&
                (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
  if (!isRoot) return DRIVE_NO_ROOT_DIR;
  Drive* drive = DriveOf(root[0]);
  return drive == nullptr ? DRIVE_NO_ROOT_DIR : drive->type;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (pattern == nullptr || data == nullptr) winsim::Unmodelled("FindFirstFileA with no pattern or no record");
  sSearches.push_back(pattern);
  DWORD error = 0;
  if (winsim::detail::FaultDue("FindFirstFileA", &error)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  std::string text = pattern;
  std::replace(text.begin(), text.end(), '/', '\\');
  size_t split = text.rfind('\\');
  std::string mask = split == std::string::npos ? text : text.substr(split + 1);
  std::string folderText = split == std::string::npos ? "." : text.substr(0, split + 1);
  if (folderText.size() == 2 && folderText[1] == ':') folderText += ".";  // "C:*.*"

  winsim::detail::WinPath folder;
  std::string host;
  bool isFolder = false;
  error = text.size() >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : 0;
  if (error == 0 && mask.empty()) error = ERROR_FILE_NOT_FOUND;
  for (char c : mask)
    if (error == 0 && IsInvalidNameChar(c, true)) error = ERROR_INVALID_NAME;
  if (error == 0) error = winsim::detail::ParseWinPath(folderText, &folder);
  if (error == 0) error = winsim::detail::ResolveOnHost(folder, &host, &isFolder);
  if (error == ERROR_FILE_NOT_FOUND || (error == 0 && !isFolder)) error = ERROR_PATH_NOT_FOUND;

  auto search = std::make_unique<Search>();
  if (error == 0) {
    std::vector<std::pair<std::string, std::string>> entries;  // name, host path
    if (!folder.names.empty()) {
      entries.emplace_back(".", host);
      entries.emplace_back("..", host);
    }
    std::vector<std::string> fresh;
    for (const std::string& name : HostNames(host, &fresh)) entries.emplace_back(name, std::string(host).append("/").append(name));
    for (const auto& entry : entries) {
      if (IsPatternAll(mask) || MatchMask(mask.c_str(), entry.first.c_str()))
        search->entries.push_back(FindDataOf(entry.first, entry.second));
    }
    if (search->entries.empty()) error = ERROR_FILE_NOT_FOUND;
  }
  if (error != 0) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *data = search->entries[0];
  search->next = 1;
  Search* handle = search.release();
  sSearchHandles.insert(handle);
  return handle;
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

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                      LPCSTR fileName) {
  if (section == nullptr || key == nullptr) winsim::Unmodelled("GetPrivateProfileStringA listing sections or keys");
  if (fileName == nullptr) winsim::Unmodelled("GetPrivateProfileStringA with no file");
  std::string file = fileName;
  if (file.find_first_of("\\/:") == std::string::npos)
    winsim::Unmodelled("GetPrivateProfileStringA on a file in the Windows folder: " + file);
  if (buffer == nullptr || size == 0) return 0;

  // Trailing blanks of the default are dropped.
  std::string text = defaultValue != nullptr ? defaultValue : "";
  while (!text.empty() && text.back() == ' ') text.pop_back();
  DWORD error = 0;
  if (!winsim::detail::FaultDue("GetPrivateProfileStringA", &error)) {
    winsim::detail::WinPath path;
    std::string host, bytes, value;
    bool folder = false;
    if (winsim::detail::ParseWinPath(file, &path) == 0 && winsim::detail::ResolveOnHost(path, &host, &folder) == 0 &&
        !folder && winsim::detail::HostReadFile(host, &bytes) && ProfileLookup(bytes, section, key, &value))
      text = value;
  }
  text = Unquote(text);
  size_t copied = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  sProfileReads.push_back(winsim::ProfileReadRecord{file, section, key, std::string(buffer, copied),
                                                    static_cast<uint32_t>(copied)});
  return static_cast<DWORD>(copied);
}
