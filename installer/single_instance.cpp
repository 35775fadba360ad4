#include "single_instance.h"

#include "status_window.h"

BOOL IsTheOnlyInstaller() {
  // The documentation promises ERROR_ALREADY_EXISTS for a name that exists,
  // and nothing for a new one: a stale error must not pass for the answer.
  SetLastError(ERROR_SUCCESS);
  // Never closed: the name goes with this process.
  HANDLE mutex = CreateMutexA(NULL, FALSE, INSTALLER_MUTEX_NAME);
  if (mutex == NULL || GetLastError() != ERROR_ALREADY_EXISTS) return TRUE;

  // Only a window on screen comes forward: activating the hidden window
  // would take the keyboard from the first installer's message box.
  HWND first = FindWindowA(STATUS_WINDOW_CLASS, NULL);
  if (first != NULL && (GetWindowLongPtrA(first, GWL_STYLE) & WS_VISIBLE)) SetForegroundWindow(first);
  return FALSE;
}
