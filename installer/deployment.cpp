#include "deployment.h"

#include "path_text.h"
#include "status_window.h"

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

// TRUE when the folder can be searched: it is there, on a disc that reads.
BOOL FolderIsThere(LPCSTR folder) {
  char pattern[MAX_PATH];
  if (!PathTextCopy(pattern, folder) || !PathTextAppend(pattern, "*.*")) return FALSE;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(search);
  return TRUE;
}

// A search of a media folder that failed with `error`: TRUE when the CD
// simply lacks the folder (or it is empty), which is no failure. "Not
// found" with the drivers folder gone as well means the disc went away (as
// Wine reports a drive whose medium is gone); any other error (no disc:
// ERROR_NOT_READY; a bad sector: ERROR_CRC) is a failure too.
BOOL LackedByTheMedia(DWORD error, LPCSTR driversFolder) {
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && FolderIsThere(driversFolder);
}

// How far phase G is, on the status window: files passed so far, of all.
struct Progress {
  StatusWindow* status;
  int done;
  int total;
};

// Copies every file of `sourceFolder` into `destinationFolder` under the
// same name; both end with a backslash. `sourceFolder` lies in
// `driversFolder`.
void CopyFolderFiles(LPCSTR driversFolder, LPCSTR sourceFolder, LPCSTR destinationFolder, CopyTally* tally,
                     Progress* progress) {
  char pattern[MAX_PATH];
  if (!PathTextCopy(pattern, sourceFolder) || !PathTextAppend(pattern, "*.*")) return;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) {
    if (!LackedByTheMedia(GetLastError(), driversFolder)) ++tally->failed;
    return;
  }
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;  // ".", "..", subfolders
    progress->status->ShowCopying(entry.cFileName, progress->done++, progress->total);
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
  // A listing cut short (the disc taken out while it was read) has files
  // that were never copied.
  if (GetLastError() != ERROR_NO_MORE_FILES) ++tally->failed;
  FindClose(search);
}

// The files of a folder, for the status window's bar; 0 when it cannot be
// searched (the copy then tells why).
int CountFolderFiles(LPCSTR folder) {
  char pattern[MAX_PATH];
  if (!PathTextCopy(pattern, folder) || !PathTextAppend(pattern, "*.*")) return 0;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int files = 0;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++files;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return files;
}

// A media folder and the folder of the tree that receives its files.
struct CopyStep {
  char source[MAX_PATH];
  LPCSTR destination;
};

// The copies of phase G for this Windows: the DOS drivers, the DOS
// applications and the Windows driver set. A source folder that does not
// fit in MAX_PATH is as good as missing. Returns the number of steps.
int PlanCopies(LPCSTR driversFolder, const OsKind& os, CopyStep steps[3]) {
  int count = 0;
  if (PathTextCopy(steps[count].source, driversFolder) && PathTextAppend(steps[count].source, kDosDrivers)) {
    steps[count++].destination = kDosFolder;
    if (PathTextCopy(steps[count].source, steps[count - 1].source) &&
        PathTextAppend(steps[count].source, kDosApplications))
      steps[count++].destination = kDosAppFolder;
  }
  // Other systems never get here: no drivers folder passes their proof.
  LPCSTR driverSet = os.isNT ? kNTDrivers : kWin9xDrivers;
  if ((os.isWin95 || os.isWin98 || os.isNT) && PathTextCopy(steps[count].source, driversFolder) &&
      PathTextAppend(steps[count].source, driverSet))
    steps[count++].destination = os.isNT ? kNTFolder : kWin9xFolder;
  return count;
}

}  // namespace

void DeployDrivers(LPCSTR driversFolder, const OsKind& os, CopyTally* tally, StatusWindow& status) {
  CopyTally ignored = {0, 0, 0};
  if (tally == NULL) tally = &ignored;

  // A folder that already exists is fine; other failures show up as copies
  // that fail.
  CreateDirectoryA(kRootFolder, NULL);
  CreateDirectoryA(kDosFolder, NULL);
  CreateDirectoryA(kDosAppFolder, NULL);
  if (os.isWin95 || os.isWin98)
    CreateDirectoryA(kWin9xFolder, NULL);
  else if (os.isNT)
    CreateDirectoryA(kNTFolder, NULL);

  CopyStep steps[3];
  int count = PlanCopies(driversFolder, os, steps);
  // The bar counts the files of the whole phase: they are counted first.
  Progress progress = {&status, 0, 0};
  for (int i = 0; i < count; ++i) progress.total += CountFolderFiles(steps[i].source);
  for (int i = 0; i < count; ++i)
    CopyFolderFiles(driversFolder, steps[i].source, steps[i].destination, tally, &progress);
}
