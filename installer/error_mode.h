// The system's error mode during a run. The installer probes CD drives that
// may hold no disc, so for its whole run it asks the system for no
// critical-error box ("drive not ready") and no open-file error box. Windows
// 95 and NT hand the error mode on to a program started with WinExec, so the
// suite's setup program, which reads the same CD, is started with the mode
// the process had before, and keeps the boxes that tell the user to put the
// disc back.
#pragma once

#include <windows.h>

// The mode the process started with, what a program started from here
// should inherit; taken by the first SilenceErrorBoxes of the process.
struct ProcessErrorMode {
  UINT mode;
  BOOL taken;
};
extern ProcessErrorMode gProcessErrorMode;

// Adds SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX to the process's
// error mode; the first call keeps the mode it had for
// StartWithProcessErrorMode.
void SilenceErrorBoxes();

// WinExec under the error mode the process started with (under the mode in
// force when SilenceErrorBoxes never ran); the installer's own mode is back
// when it returns. WinExec's result.
UINT StartWithProcessErrorMode(LPCSTR commandLine, UINT showCommand);
