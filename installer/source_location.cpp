#include "source_location.h"

#include "messages.h"
#include "path_text.h"
#include "prompts.h"
#include "source_dir_dlg.h"

namespace {

const char kIniSection[] = "Setup";
const char kIniKey[] = "DriversPath";

// After this many showings in a row that failed (the dialog could not even
// be created), the user is told that no drivers were found and the run ends,
// instead of trying again without end.
const int kMaxFailedShowings = 3;

// Phase E: the first drive, in list order, with "Audio\rizidid.ini" or else
// "rizidid.ini". Fills the INI path and the source root (the drive's root,
// ending with a backslash); FALSE when no drive has one.
BOOL FindMarkerIni(const DriveList& drives, LPSTR iniPath, LPSTR sourceRoot) {
  static const char* const kCandidates[] = {"Audio\\rizidid.ini", "rizidid.ini"};
  for (int i = 0; i < drives.Count(); ++i) {
    char root[MAX_PATH];
    if (!PathTextCopy(root, drives.At(i)) || !PathTextAddBackslash(root)) continue;
    for (LPCSTR candidate : kCandidates) {
      char path[MAX_PATH];
      if (!PathTextCopy(path, root) || !PathTextAppend(path, candidate)) continue;
      if (FileOpensForReading(path)) {
        PathTextCopy(iniPath, path);
        PathTextCopy(sourceRoot, root);
        return TRUE;
      }
    }
  }
  return FALSE;
}

// The INI route's drivers folder: source root + the "DriversPath" value with
// exactly one leading backslash skipped, ending with a backslash. FALSE when
// that does not fit in MAX_PATH.
BOOL BuildIniDriversFolder(LPCSTR sourceRoot, LPCSTR value, LPSTR folder) {
  char built[MAX_PATH];
  if (value[0] == '\\') ++value;  // one leading backslash, and only one
  if (!PathTextCopy(built, sourceRoot) || !PathTextAppend(built, value) || !PathTextAddBackslash(built)) return FALSE;
  return PathTextCopy(folder, built);
}

// The dialog route: asks the user until a folder passes the proof (TRUE) or
// the user leaves (FALSE).
BOOL AskForDriversFolder(const OsKind& os, const DriveList& drives, LPSTR driversFolder) {
  int failedShowings = 0;
  for (;;) {
    CSourceDirDlg dialog(drives);  // a fresh dialog for every showing
    INT_PTR result = dialog.DoModal();
    if (result == IDOK) {
      failedShowings = 0;
      // The path already ends with a backslash; it is taken unchanged.
      if (PathTextCopy(driversFolder, dialog.path) && ProveDriversFolder(driversFolder, os)) return TRUE;
      ShowWarning(NO_DRIVERS_TEXT);
    } else if (result == IDCANCEL) {
      failedShowings = 0;
      if (AskExit()) return FALSE;
    } else if (++failedShowings >= kMaxFailedShowings) {
      ShowWarning(NO_DRIVERS_TEXT);
      return FALSE;
    }
  }
}

}  // namespace

LPCSTR KindSetupPath(const OsKind& os) {
  if (os.isWin95) return "W95-98\\app\\W95\\Setup.exe";
  if (os.isWin98) return "W95-98\\app\\W98\\Setup.exe";
  if (os.isNT) return "NT40\\app\\Setup.exe";
  return "";
}

BOOL FileOpensForReading(LPCSTR path) {
  // Readers and writers are let in: a file another program holds open for
  // writing (FILE_SHARE_READ only would be refused then) still exists.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

BOOL ProveDriversFolder(LPCSTR folder, const OsKind& os) {
  char setupPath[MAX_PATH];
  if (!PathTextEndsWithBackslash(folder)) return FALSE;
  if (!PathTextCopy(setupPath, folder) || !PathTextAppend(setupPath, KindSetupPath(os))) return FALSE;
  return FileOpensForReading(setupPath);
}

BOOL LocateDriversFolder(const OsKind& os, const DriveList& drives, LPSTR driversFolder) {
  char iniPath[MAX_PATH];
  char sourceRoot[MAX_PATH];
  if (FindMarkerIni(drives, iniPath, sourceRoot)) {
    char value[MAX_PATH];
    // No default: a missing key or section, or an empty value, reads as 0
    // characters, and the run ends without a word.
    if (GetPrivateProfileStringA(kIniSection, kIniKey, "", value, MAX_PATH, iniPath) == 0) return FALSE;
    // A folder that does not pass (or is too long to build) is dropped
    // silently; the dialog takes over for the rest of the run.
    if (BuildIniDriversFolder(sourceRoot, value, driversFolder) && ProveDriversFolder(driversFolder, os))
      return TRUE;
  }
  return AskForDriversFolder(os, drives, driversFolder);
}
