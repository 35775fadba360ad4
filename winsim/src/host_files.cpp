// The host side of the drives (see host_files.h). Memory folders and files
// are kept in one map by path, so that a folder's names are the keys that
// follow "its path/" up to the next '/'.
#include "host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

#include "internal.h"
#include "paths.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

using winsim::detail::CompareFileNames;

const char kMemoryPrefix[] = "memory:";
const size_t kMemoryPrefixSize = sizeof kMemoryPrefix - 1;

struct MemoryEntry {
  bool folder;
  std::string content;
};

// By path below "memory:" ("A", "A/Audio", "A/Audio/x.ini").
std::map<std::string, MemoryEntry, std::less<>> sMemory;

// What FreezeHostFolders keeps: each host folder's visible names, and each
// host path's mode (-1 where nothing is). Dropped by every write of the
// platform and by Reset.
bool sHostFrozen = false;
std::map<std::string, std::vector<std::string>> sKeptNames;
std::map<std::string, long> sKeptModes;

// Hidden and system by host path (StoreAttributes); kept until Reset.
const DWORD kStoredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
std::map<std::string, DWORD> sStoredAttributes;

bool IsMemoryHost(const std::string& host) { return host.compare(0, kMemoryPrefixSize, kMemoryPrefix) == 0; }

std::string_view MemoryPath(const std::string& host) {
  return std::string_view(host).substr(kMemoryPrefixSize);
}

const MemoryEntry* FindMemory(const std::string& host) {
  auto it = sMemory.find(MemoryPath(host));
  return it == sMemory.end() ? nullptr : &it->second;
}

// A test's memory path must be new, and its parent a memory folder.
void AddMemory(const std::string& path, MemoryEntry entry) {
  if (path.empty() || path.front() == '/' || path.back() == '/' || path.find("//") != std::string::npos)
    winsim::Unmodelled("a memory path that is not names separated by '/': \"" + path + "\"");
  if (sMemory.count(path) != 0) winsim::Unmodelled("a memory path made twice: \"" + path + "\"");
  size_t slash = path.rfind('/');
  if (slash != std::string::npos) {
    auto parent = sMemory.find(std::string_view(path).substr(0, slash));
    if (parent == sMemory.end() || !parent->second.folder)
      winsim::Unmodelled("a memory path whose parent is no memory folder: \"" + path + "\"");
  }
  sMemory.emplace(path, std::move(entry));
}

// What stat(2) tells of a host path; false when nothing is there. A memory
// entry has no time (the epoch) and full permissions.
bool HostStat(const std::string& host, struct stat* info) {
  if (!IsMemoryHost(host)) return ::stat(host.c_str(), info) == 0;
  const MemoryEntry* entry = FindMemory(host);
  if (entry == nullptr) return false;
  std::memset(info, 0, sizeof *info);
  info->st_mode = entry->folder ? (S_IFDIR | 0777) : (S_IFREG | 0666);
  info->st_size = static_cast<off_t>(entry->content.size());
  info->st_nlink = 1;
  return true;
}

// The names in a host folder, unsorted, without "." and "..".
std::vector<std::string> HostFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (IsMemoryHost(folder)) {
    std::string prefix = std::string(MemoryPath(folder)) + "/";
    for (auto it = sMemory.lower_bound(prefix); it != sMemory.end(); ++it) {
      if (it->first.compare(0, prefix.size(), prefix) != 0) break;
      std::string_view name = std::string_view(it->first).substr(prefix.size());
      if (name.find('/') == std::string_view::npos) names.emplace_back(name);
    }
    return names;
  }
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> ListHostNames(const std::string& folder) {
  std::vector<std::string> names = HostFolderNames(folder);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) { return !winsim::detail::IsAddressableName(name); }),
              names.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int order = CompareFileNames(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

long HostMode(const std::string& host) {
  if (sHostFrozen) {
    auto kept = sKeptModes.find(host);
    if (kept != sKeptModes.end()) return kept->second;
  }
  struct stat info;
  long mode = HostStat(host, &info) ? static_cast<long>(info.st_mode) : -1;
  if (sHostFrozen) sKeptModes[host] = mode;
  return mode;
}

DWORD StoredAttributes(const std::string& host) {
  auto found = sStoredAttributes.find(host);
  return found == sStoredAttributes.end() ? 0 : found->second;
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

}  // namespace

namespace winsim {

std::string MemoryFolder(const std::string& path) {
  AddMemory(path, MemoryEntry{true, ""});
  return MemoryHostPath(path);
}

std::string MemoryHostPath(const std::string& path) { return kMemoryPrefix + path; }

void MemoryFile(const std::string& path, const std::string& content) { AddMemory(path, MemoryEntry{false, content}); }

void FreezeHostFolders() {
  detail::HostFoldersChanged();
  sHostFrozen = true;
}

namespace detail {

bool HostIsFolder(const std::string& host) {
  long mode = HostMode(host);
  return mode != -1 && S_ISDIR(static_cast<mode_t>(mode));
}

const std::vector<std::string>& HostNames(const std::string& folder, std::vector<std::string>* fresh) {
  if (!sHostFrozen) return *fresh = ListHostNames(folder);
  auto kept = sKeptNames.find(folder);
  if (kept != sKeptNames.end()) return kept->second;
  return sKeptNames[folder] = ListHostNames(folder);
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

void StoreAttributes(const std::string& host, DWORD attributes) {
  if ((attributes & kStoredBits) != 0)
    sStoredAttributes[host] = attributes & kStoredBits;
  else
    sStoredAttributes.erase(host);
}

WIN32_FIND_DATAA HostFindData(const std::string& name, const std::string& host) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  std::memcpy(data.cFileName, name.c_str(), name.size() + 1);  // names are below MAX_PATH
  struct stat info;
  if (!HostStat(host, &info)) {
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    return data;
  }
  bool folder = S_ISDIR(info.st_mode);
  data.dwFileAttributes = HostAttributes(name, host);
  data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = ToFileTime(info);
  if (!folder) {
    uint64_t size = static_cast<uint64_t>(info.st_size);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  }
  return data;
}

bool HostReadFile(const std::string& host, std::string* bytes) {
  if (IsMemoryHost(host)) {
    const MemoryEntry* entry = FindMemory(host);
    if (entry == nullptr || entry->folder) return false;
    *bytes = entry->content;
    return true;
  }
  std::ifstream in(host, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *bytes = text.str();
  return true;
}

bool HostOpensForReading(const std::string& host) {
  if (IsMemoryHost(host)) return FindMemory(host) != nullptr;
  int fd = ::open(host.c_str(), O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool HostSameFile(const std::string& a, const std::string& b) {
  if (IsMemoryHost(a) || IsMemoryHost(b)) return a == b && FindMemory(a) != nullptr;
  struct stat first, second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

void RefuseMemoryWrite(const std::string& host, const char* what) {
  if (IsMemoryHost(host)) Unmodelled(std::string(what) + " in a memory folder: " + host);
}

void HostFoldersChanged() {
  sKeptNames.clear();
  sKeptModes.clear();
}

void ResetHostFiles() {
  sMemory.clear();
  sStoredAttributes.clear();
  sHostFrozen = false;
  HostFoldersChanged();
}

}  // namespace detail
}  // namespace winsim
