#include "error_mode.h"

namespace {

// The mode the process started with: what a program started from here
// should inherit.
UINT sProcessMode = 0;

}  // namespace

void SilenceErrorBoxes() {
  // SetErrorMode only returns the old mode while replacing it, so the flags
  // are added to what the process already had.
  sProcessMode = SetErrorMode(0);
  SetErrorMode(sProcessMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

UINT StartWithProcessErrorMode(LPCSTR commandLine, UINT showCommand) {
  // CREATE_DEFAULT_ERROR_MODE would do this on NT alone, and WinExec cannot
  // pass it: the mode is set back around the start instead.
  UINT silent = SetErrorMode(sProcessMode);
  UINT result = WinExec(commandLine, showCommand);
  SetErrorMode(silent);
  return result;
}
