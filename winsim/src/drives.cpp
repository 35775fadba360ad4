// Drive letters: each maps onto a host folder (or a memory folder) with a
// drive type, or is a drive without a medium; GetLogicalDriveStringsA and
// GetDriveTypeA report them.
#include <map>
#include <string>
#include <windows.h>

#include "drives.h"
#include "internal.h"
#include "paths.h"
#include "sim_files.h"
#include "sim_machine.h"

namespace {

using winsim::detail::IsDriveLetter;
using winsim::detail::UpperDriveLetter;

struct Drive {
  unsigned type;
  bool hasMedium;
  std::string host;
  bool writeProtected = false;
  int64_t freeBytes = -1;  // -1: as much as the host has
};

std::map<char, Drive> sDrives;  // by upper-case letter

Drive* DriveOf(char letter) {
  auto it = sDrives.find(UpperDriveLetter(letter));
  return it == sDrives.end() ? nullptr : &it->second;
}

Drive* MappedDrive(char letter, const char* action) {
  Drive* drive = DriveOf(letter);
  if (drive == nullptr) winsim::Unmodelled(std::string(action) + " a drive that is not mapped");
  return drive;
}

}  // namespace

namespace winsim {

void MapDrive(char letter, unsigned type, const std::string& hostFolder) {
  if (!IsDriveLetter(letter)) Unmodelled("a drive letter that is not a letter");
  sDrives[UpperDriveLetter(letter)] = Drive{type, true, hostFolder};
}

void MapEmptyDrive(char letter, unsigned type) {
  if (!IsDriveLetter(letter)) Unmodelled("a drive letter that is not a letter");
  sDrives[UpperDriveLetter(letter)] = Drive{type, false, ""};
}

void EjectMedium(char letter) {
  Drive* drive = MappedDrive(letter, "ejecting the medium of");
  drive->hasMedium = false;
  drive->host.clear();
  winsim::detail::NoteEjection(UpperDriveLetter(letter));
}

void InsertMedium(char letter, const std::string& hostFolder) {
  Drive* drive = MappedDrive(letter, "inserting a medium into");
  drive->hasMedium = true;
  drive->host = hostFolder;
}

void UnmapDrive(char letter) { sDrives.erase(UpperDriveLetter(letter)); }

void ProtectDrive(char letter, bool writeProtected) {
  MappedDrive(letter, "write-protecting")->writeProtected = writeProtected;
}

void SetFreeSpace(char letter, uint64_t bytes) {
  MappedDrive(letter, "limiting the free space of")->freeBytes = static_cast<int64_t>(bytes);
}

namespace detail {

DWORD DriveRoot(char drive, std::string* host) {
  const Drive* found = DriveOf(drive);
  if (found == nullptr) return ERROR_PATH_NOT_FOUND;
  if (!found->hasMedium) return ERROR_NOT_READY;
  *host = found->host;
  return 0;
}

bool DriveWriteProtected(char drive) {
  const Drive* found = DriveOf(drive);
  return found != nullptr && found->writeProtected;
}

int64_t DriveFreeBytes(char drive) {
  const Drive* found = DriveOf(drive);
  return found != nullptr ? found->freeBytes : -1;
}

void DriveUseBytes(char drive, int64_t bytes) {
  Drive* found = DriveOf(drive);
  if (found != nullptr && found->freeBytes >= 0) found->freeBytes -= bytes;
}

void ResetDrives() { sDrives.clear(); }

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
  char letter = 0;
  if (!winsim::detail::ParseDriveRoot(rootPath, &letter)) return DRIVE_NO_ROOT_DIR;
  const Drive* drive = DriveOf(letter);
  return drive == nullptr ? DRIVE_NO_ROOT_DIR : drive->type;
}
