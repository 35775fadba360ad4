// Shared by the file parts of the simulated platform (files, faults, and the
// dialogs that read the program's resources); never seen by tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::detail {

// Counts a call of `function` and tells whether an injected fault is due for
// it; if so, *error receives the error the call fails with.
bool FaultDue(const char* function, DWORD* error);

// A Windows path taken apart: the drive letter (upper case) and the names
// below its root, with "." and ".." collapsed and empty names folded away.
struct WinPath {
  char drive = 0;
  std::vector<std::string> names;
  bool trailingSeparator = false;  // the text ended with '\' or '/'
};

// Parses a path against the current folder. Returns 0, or the error Windows
// gives for such a text (too long, a network path, an invalid character).
DWORD ParseWinPath(const std::string& text, WinPath* out);

// Resolves a parsed path onto the host. Returns 0 with the host path and
// whether it is a folder, or the error: ERROR_NOT_READY (no medium),
// ERROR_PATH_NOT_FOUND (a missing drive or folder on the way) or
// ERROR_FILE_NOT_FOUND (the last name is missing).
DWORD ResolveOnHost(const WinPath& path, std::string* host, bool* isFolder);

// The attributes a search or GetFileAttributesA reports for a host file or
// folder named `name`: directory, archive for a file, read-only without any
// write permission, hidden for a name beginning with a dot, and the hidden
// and system attributes stored for it (StoredAttributes).
// INVALID_FILE_ATTRIBUTES when the host path is gone.
DWORD HostAttributes(const std::string& name, const std::string& host);

// Hidden and system as SetFileAttributesA or a copy left them on a host
// path (files_write.cpp); 0 for none.
DWORD StoredAttributes(const std::string& host);

// The platform changed the host folders: drops what FreezeHostFolders kept.
void HostFoldersChanged();

// Whether a test write-protected the drive (upper-case letter).
bool DriveWriteProtected(char drive);

}  // namespace winsim::detail
