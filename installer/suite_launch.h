// Phases H and I: whether the card's application suite is already
// installed, and if not, the start of its setup program from the media.
#pragma once

#include <windows.h>

#include "os_kind.h"

// Uninstall keys under HKEY_LOCAL_MACHINE, tried in this order:
//   1 "Software\Plurava Applications\Uninstall"      always first
//   2 "Software\Q-Tonal\Uninstall"                   only when 1 opened without a usable "Path"
//   3 "...\CurrentVersion\Uninstall\Plurava Applications"        only when 1 did not open
//   4 "...\CurrentVersion\Uninstall\Plurava WinNT Applications"  only when 1 and 3 did not open
// Keys 1 and 2 count when their "Path" value reads, of any type, with a
// non-zero size into 260 bytes; keys 3 and 4 count when they exist. Every key
// is opened for querying values only and closed again.
BOOL SuiteCountsAsInstalled();

// Phase I: starts drivers folder + the kind setup path with SW_SHOW, quoted
// so that a folder with blanks in its name starts this program and no other,
// under the error mode the process started with, and does not wait for it.
// When the program cannot be opened any more (the disc was taken out since
// its proof) or does not start, the user is told to run it by hand in a
// "Warning" box.
void LaunchSuiteSetup(LPCSTR driversFolder, const OsKind& os);
