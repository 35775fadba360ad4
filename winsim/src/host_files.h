// The host side of the drives: the host's own file system, or folders a test
// holds in memory (host paths beginning with "memory:"). Every look at what
// lies on a drive goes through here, and so does FreezeHostFolders' promise:
// while the host folders are frozen, listings and what a path is are kept
// until the platform itself writes. Writes to memory folders are refused as
// unmodelled, since only tests that merely read their drives use them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::detail {

// Whether a host path is a folder.
bool HostIsFolder(const std::string& host);

// The names of a host folder that a Windows path can name, in the order
// searches return them: as file names compare, ties broken by the exact
// bytes. While frozen this is the kept list itself (no copy per path lookup:
// that was much of a fuzz run's allocations); otherwise a fresh listing,
// held in *fresh for as long as the caller needs it.
const std::vector<std::string>& HostNames(const std::string& folder, std::vector<std::string>* fresh);

// The attributes a search or GetFileAttributesA reports for a host file or
// folder named `name`: directory, archive for a file, read-only without any
// write permission, hidden for a name beginning with a dot, and the hidden
// and system attributes stored for it (StoreAttributes).
// INVALID_FILE_ATTRIBUTES when the host path is gone.
DWORD HostAttributes(const std::string& name, const std::string& host);

// Hidden and system have no place on the host, so they are kept here by
// host path until Reset: the hidden and system bits of `attributes`, as
// SetFileAttributesA or a copy leaves them; none forgets the path.
void StoreAttributes(const std::string& host, DWORD attributes);

// A search's record of the entry `name` at a host path: attributes, size and
// times.
WIN32_FIND_DATAA HostFindData(const std::string& name, const std::string& host);

// A whole file's bytes; false when it cannot be read.
bool HostReadFile(const std::string& host, std::string* bytes);

// Whether the host lets the file be opened for reading.
bool HostOpensForReading(const std::string& host);

// Whether two host paths name the same file.
bool HostSameFile(const std::string& a, const std::string& b);

// Ends the run loudly when a write would land in a memory folder.
void RefuseMemoryWrite(const std::string& host, const char* what);

// The platform changed the host folders: drops what FreezeHostFolders kept.
void HostFoldersChanged();

}  // namespace winsim::detail
