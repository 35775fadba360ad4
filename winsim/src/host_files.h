// The host side of the drives: the host's own file system, or folders a test
// holds in memory (host paths beginning with "memory:"). Every look at what
// lies on a drive goes through here; writes to memory folders are refused
// as unmodelled, since only tests that merely read their drives use them.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace winsim::detail {

bool IsMemoryHost(const std::string& host);

// What stat(2) tells of a host path; false when nothing is there. A memory
// entry has no time (the epoch) and full permissions.
bool HostStat(const std::string& host, struct stat* info);

// The names in a host folder, unsorted, without "." and "..".
std::vector<std::string> HostFolderNames(const std::string& folder);

// A whole file's bytes; false when it cannot be read.
bool HostReadFile(const std::string& host, std::string* bytes);

// Whether the host lets the file be opened for reading.
bool HostOpensForReading(const std::string& host);

// Whether two host paths name the same file.
bool HostSameFile(const std::string& a, const std::string& b);

// Ends the run loudly when a write would land in a memory folder.
void RefuseMemoryWrite(const std::string& host, const char* what);

// Drops every memory folder and file.
void ResetMemoryHost();

}  // namespace winsim::detail
