#include "error_mode.h"

ProcessErrorMode gProcessErrorMode = {0, FALSE};

void SilenceErrorBoxes() {
  // SetErrorMode only returns the old mode while replacing it, so the flags
  // are added to what the process already had.
  UINT current = SetErrorMode(0);
  // A later call finds the installer's own mode in force: the mode the
  // process started with is the one taken first.
  if (!gProcessErrorMode.taken) {
    gProcessErrorMode.mode = current;
    gProcessErrorMode.taken = TRUE;
  }
  SetErrorMode(current | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

UINT StartWithProcessErrorMode(LPCSTR commandLine, UINT showCommand) {
  // Nothing silenced yet: the mode in force is the process's own.
  if (!gProcessErrorMode.taken) return WinExec(commandLine, showCommand);
  // CREATE_DEFAULT_ERROR_MODE would do this on NT alone, and WinExec cannot
  // pass it: the mode is set back around the start instead.
  UINT silent = SetErrorMode(gProcessErrorMode.mode);
  UINT result = WinExec(commandLine, showCommand);
  SetErrorMode(silent);
  return result;
}
