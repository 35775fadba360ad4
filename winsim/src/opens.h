// Files opened for reading, as the devices part hands them on: CreateFileA
// and CloseHandle live in devices.cpp, which serves "\\.\NAME" itself and
// calls these for every other path and handle.
#pragma once

#include <windows.h>

#include <string>

namespace winsim::detail {

// CreateFileA on a path that is not a device name.
HANDLE OpenFileOnDrive(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                       DWORD flags, HANDLE templateFile);

// Whether another open of the file at `host` (by the program or held by
// another program) lets an open with `access` and `share` through.
bool OpenAllowed(const std::string& host, DWORD access, DWORD share);

// CloseHandle on a handle that is not a device's: closes a file the program
// opened, or fails with ERROR_INVALID_HANDLE.
BOOL CloseFileOnDrive(HANDLE handle);

}  // namespace winsim::detail
