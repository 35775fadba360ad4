#include "suite_launch.h"

#include "error_mode.h"
#include "messages.h"
#include "path_text.h"
#include "prompts.h"
#include "source_location.h"
#include "text.h"

namespace {

const char kSuiteKey[] = "Software\\Plurava Applications\\Uninstall";
const char kCardKey[] = "Software\\Q-Tonal\\Uninstall";
const char kSuiteUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava Applications";
const char kSuiteNTUninstallEntry[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava WinNT Applications";

const DWORD kPathValueSize = MAX_PATH;

// WinExec's results up to 31 are errors.
const UINT kHighestExecError = 31;

BOOL OpenForQuery(LPCSTR subKey, HKEY* key) {
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
}

// Whether the key's "Path" value reads with a non-zero size. Its type and
// text do not matter; a value too long for the buffer fails to read, and
// every failure counts as size 0.
BOOL HasPathValue(HKEY key) {
  BYTE path[kPathValueSize];
  DWORD type = REG_SZ;
  DWORD size = kPathValueSize;
  if (RegQueryValueExA(key, "Path", NULL, &type, path, &size) != ERROR_SUCCESS) return FALSE;
  return size != 0;
}

// Opens a key, asks whether it has a usable "Path", and closes it again.
// FALSE in *opened when the key did not open.
BOOL KeyHasPathValue(LPCSTR subKey, BOOL* opened) {
  HKEY key;
  *opened = OpenForQuery(subKey, &key);
  if (!*opened) return FALSE;
  BOOL has = HasPathValue(key);
  RegCloseKey(key);
  return has;
}

BOOL KeyExists(LPCSTR subKey) {
  HKEY key;
  if (!OpenForQuery(subKey, &key)) return FALSE;
  RegCloseKey(key);
  return TRUE;
}

}  // namespace

BOOL SuiteCountsAsInstalled() {
  BOOL opened = FALSE;
  if (KeyHasPathValue(kSuiteKey, &opened)) return TRUE;
  // The suite's own key exists but names no installation: only the card's
  // key can still tell; the system's uninstall list is not consulted.
  if (opened) return KeyHasPathValue(kCardKey, &opened);
  return KeyExists(kSuiteUninstallEntry) || KeyExists(kSuiteNTUninstallEntry);
}

void LaunchSuiteSetup(LPCSTR driversFolder, const OsKind& os) {
  char setupPath[MAX_PATH];
  BOOL started = FALSE;
  // The path was proved in phase F, so it fits; it opens unless the file
  // vanished since, for example with the disc taken out during the copies.
  if (PathTextCopy(setupPath, driversFolder) && PathTextAppend(setupPath, KindSetupPath(os)) &&
      FileOpensForReading(setupPath)) {
    // Quoted: unquoted, Windows cuts the command line at the first blank
    // that leaves a program, so "C:\My Drivers\..." would start C:\My.exe.
    char commandLine[1 + MAX_PATH + 1];  // quote, at most 259 characters, quote, terminator
    size_t length = TextLength(setupPath);
    commandLine[0] = '"';
    MemoryCopy(commandLine + 1, setupPath, length);
    commandLine[1 + length] = '"';
    commandLine[2 + length] = '\0';
    // The installer does not wait for the setup program. A start that
    // fails gets the same advice as a missing program: the user would
    // otherwise wait for a setup that never comes. Everything before this
    // probed silently; the setup program gets the error mode the process
    // started with.
    started = StartWithProcessErrorMode(commandLine, SW_SHOW) > kHighestExecError;
  }
  if (!started) ShowWarning(NO_SETUP_TEXT);
}
