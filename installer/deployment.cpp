#include "deployment.h"

#include "path_text.h"

namespace {

const char kRootFolder[] = "C:\\Q-Tonal\\";
const char kDosFolder[] = "C:\\Q-Tonal\\DOS\\";
const char kDosAppFolder[] = "C:\\Q-Tonal\\DOS\\DOSAPP\\";
const char kWin9xFolder[] = "C:\\Q-Tonal\\W95-98\\";
const char kNTFolder[] = "C:\\Q-Tonal\\NT40\\";

const char kDosDrivers[] = "Dosdrv\\";
const char kDosApplications[] = "DOSAPP\\";
const char kWin9xDrivers[] = "W95-98\\drv\\";
const char kNTDrivers[] = "NT40\\drv\\";

// A copy takes the source's attributes, and every file on a CD is
// read-only, so the copies of an earlier run are read-only too, and a user
// or another program may have made one hidden or system since. Windows
// refuses to overwrite a read-only file (ERROR_ACCESS_DENIED; Wine does the
// same unless it runs as root), and NT also refuses to overwrite a hidden or
// system file with a copy that lacks those attributes (CopyFile creates the
// copy as CreateFile does with CREATE_ALWAYS). So the old file is made
// FILE_ATTRIBUTE_NORMAL first; the copy then takes the source's attributes,
// as a new file does. A copy that fails (disc taken out, unreadable source)
// leaves the old file, which then gets its attributes back.
BOOL CopyOverwriting(LPCSTR from, LPCSTR to) {
  const DWORD settable =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const DWORD refusing = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  DWORD attributes = GetFileAttributesA(to);
  BOOL cleared = FALSE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (attributes & refusing) != 0)
    cleared = SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
  if (CopyFileA(from, to, FALSE)) return TRUE;
  // After a copy that failed part way the old file is gone (Windows removes
  // the partial copy), and this finds nothing to change.
  if (cleared) SetFileAttributesA(to, attributes & settable);
  return FALSE;
}

// Copies every file of `sourceFolder` into `destinationFolder` under the
// same name; both end with a backslash.
void CopyFolderFiles(LPCSTR sourceFolder, LPCSTR destinationFolder, CopyTally* tally) {

  char pattern[MAX_PATH];
  if (!PathTextCopy(pattern, sourceFolder) || !PathTextAppend(pattern, "*.*")) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return;  // a missing or empty folder copies nothing
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;  // ".", "..", subfolders
    char from[MAX_PATH];
    char to[MAX_PATH];
    // A name that would push either path past MAX_PATH is left out rather
    // than cut short into another name.
    if (!PathTextCopy(from, sourceFolder) || !PathTextAppend(from, entry.cFileName) ||
        !PathTextCopy(to, destinationFolder) || !PathTextAppend(to, entry.cFileName)) {
      ++tally->skipped;
      continue;
    }
    if (CopyOverwriting(from, to))
      ++tally->copied;
    else
      ++tally->failed;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

}  // namespace

void DeployDrivers(LPCSTR driversFolder, const OsKind& os, CopyTally* tally) {
  CopyTally ignored = {0, 0, 0};
  if (tally == NULL) tally = &ignored;

  // A folder that already exists is fine; other failures show up as copies
  // that fail.
  CreateDirectoryA(kRootFolder, NULL);
  CreateDirectoryA(kDosFolder, NULL);
  CreateDirectoryA(kDosAppFolder, NULL);

  // The DOS drivers and applications, for every Windows. A source folder
  // that does not fit in MAX_PATH is as good as missing.
  char source[MAX_PATH];
  if (PathTextCopy(source, driversFolder) && PathTextAppend(source, kDosDrivers)) {
    CopyFolderFiles(source, kDosFolder, tally);
    if (PathTextAppend(source, kDosApplications)) CopyFolderFiles(source, kDosAppFolder, tally);
  }

  // The Windows driver set of this Windows. Other systems never get here:
  // no drivers folder passes their proof.
  LPCSTR driverSet = NULL;
  LPCSTR destination = NULL;
  if (os.isWin95 || os.isWin98) {
    driverSet = kWin9xDrivers;
    destination = kWin9xFolder;
  } else if (os.isNT) {
    driverSet = kNTDrivers;
    destination = kNTFolder;
  } else {
    return;
  }
  CreateDirectoryA(destination, NULL);
  if (PathTextCopy(source, driversFolder) && PathTextAppend(source, driverSet))
    CopyFolderFiles(source, destination, tally);
}
