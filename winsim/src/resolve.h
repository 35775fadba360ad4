// Where a Windows path lands on the host: the walk from a drive's root down
// the names of a parsed path (paths.h), each name found among the host's as
// the platform compares names. Every file call that looks for an existing
// path goes through here.
#pragma once

#include <windows.h>

#include <string>

#include "paths.h"

namespace winsim::detail {

// Resolves a parsed path onto the host. Returns 0 with the host path and
// whether it is a folder, or the error: ERROR_NOT_READY (no medium),
// ERROR_PATH_NOT_FOUND (a missing drive or folder on the way) or
// ERROR_FILE_NOT_FOUND (the last name is missing).
DWORD ResolveOnHost(const WinPath& path, std::string* host, bool* isFolder);

// Parses and resolves in one; for the test-control API and for calls that
// only need to know where an existing path lies.
DWORD ResolvePath(const std::string& text, WinPath* path, std::string* host, bool* isFolder);

}  // namespace winsim::detail
