#include "device_wait.h"

#include "messages.h"
#include "status_window.h"
#include "text.h"

namespace {

const int kAttemptsPerCandidate = 24;
const DWORD kRetryDelayMs = 5000;
const DWORD kSubkeyNameSize = 1024;
const DWORD kDeviceDescSize = 256;

// One attempt, number `attempt` from 1, on one instance key. A key that
// cannot be opened ends the attempt at once; an empty or unreadable
// description costs one 5 s wait, which the status window shows.
BOOL ProbeInstance(LPCSTR subkeyName, int attempt, StatusWindow& status) {
  char keyPath[sizeof(GAMEPORT_ENUM_KEY) + kSubkeyNameSize];
  // Both fit: the buffer holds the key text and its terminator plus 1024
  // bytes, and the name came from a 1024-byte buffer, terminator included.
  const size_t head = sizeof(GAMEPORT_ENUM_KEY) - 1;
  MemoryCopy(keyPath, GAMEPORT_ENUM_KEY, head);
  MemoryCopy(keyPath + head, subkeyName, TextLength(subkeyName) + 1);

  HKEY instance;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &instance) != ERROR_SUCCESS) return FALSE;

  char description[kDeviceDescSize];
  description[0] = '\0';
  DWORD type = REG_SZ;
  DWORD size = sizeof description;
  LONG rc = RegQueryValueExA(instance, "DeviceDesc", NULL, &type, reinterpret_cast<LPBYTE>(description), &size);
  RegCloseKey(instance);
  // Only the first byte is looked at, so a value that filled the buffer
  // without a terminator is still read safely.
  if (rc == ERROR_SUCCESS && size > 0 && description[0] != '\0') return TRUE;
  status.Show(DEVICE_WAIT_TEXT, attempt, kAttemptsPerCandidate);
  Sleep(kRetryDelayMs);
  return FALSE;
}

}  // namespace

BOOL IsGamePortCandidate(LPCSTR subkeyName) {
  return TextFind(subkeyName, "PCI") != NULL && TextFind(subkeyName, "VEN_4E51") != NULL;
}

BOOL WaitForGamePort(StatusWindow& status) {
  HKEY enumKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, GAMEPORT_ENUM_KEY, 0, KEY_ALL_ACCESS, &enumKey) != ERROR_SUCCESS)
    return FALSE;

  BOOL found = FALSE;
  char name[kSubkeyNameSize];
  // The enumeration runs to its end even after the device was found; later
  // candidates are then skipped without being opened.
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = kSubkeyNameSize;
    if (RegEnumKeyExA(enumKey, index, name, &nameSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    if (found || !IsGamePortCandidate(name)) continue;
    for (int attempt = 1; attempt <= kAttemptsPerCandidate && !found; ++attempt)
      found = ProbeInstance(name, attempt, status);
  }
  RegCloseKey(enumKey);
  status.Hide();
  return found;
}
