// The drive table as the other file parts of the machine ask it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace winsim::detail {

// The host folder at the root of a drive (upper-case letter). Returns 0, or
// ERROR_PATH_NOT_FOUND for a drive that is not mapped and ERROR_NOT_READY
// for one without a medium.
DWORD DriveRoot(char drive, std::string* host);

// Whether a test write-protected the drive (upper-case letter).
bool DriveWriteProtected(char drive);

// The bytes free on the drive (upper-case letter) when a test limited them,
// else -1; and a change of what its files use.
int64_t DriveFreeBytes(char drive);
void DriveUseBytes(char drive, int64_t bytes);

}  // namespace winsim::detail
