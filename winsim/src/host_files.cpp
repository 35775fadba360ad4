// The host side of the drives (see host_files.h). Memory folders and files
// are kept in one map by path, so that a folder's names are the keys that
// follow "its path/" up to the next '/'.
#include "host_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <sstream>

#include "internal.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

const char kMemoryPrefix[] = "memory:";
const size_t kMemoryPrefixSize = sizeof kMemoryPrefix - 1;

struct MemoryEntry {
  bool folder;
  std::string content;
};

// By path below "memory:" ("A", "A/Audio", "A/Audio/x.ini").
std::map<std::string, MemoryEntry, std::less<>> sMemory;

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

}  // namespace

namespace winsim {

std::string MemoryFolder(const std::string& path) {
  AddMemory(path, MemoryEntry{true, ""});
  return MemoryHostPath(path);
}

std::string MemoryHostPath(const std::string& path) { return kMemoryPrefix + path; }

void MemoryFile(const std::string& path, const std::string& content) { AddMemory(path, MemoryEntry{false, content}); }

namespace detail {

bool IsMemoryHost(const std::string& host) { return host.compare(0, kMemoryPrefixSize, kMemoryPrefix) == 0; }

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

void ResetMemoryHost() { sMemory.clear(); }

}  // namespace detail
}  // namespace winsim
