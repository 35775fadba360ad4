// Phase G: the driver files of the installation media copied into the fixed
// tree on drive C:, whatever the system drive is.
//
//   C:\Q-Tonal\               created first; receives nothing itself
//   C:\Q-Tonal\DOS\           every file of drivers folder + "Dosdrv\"
//   C:\Q-Tonal\DOS\DOSAPP\    every file of drivers folder + "Dosdrv\DOSAPP\"
//   C:\Q-Tonal\W95-98\        Windows 95 and 98: every file of "W95-98\drv\"
//   C:\Q-Tonal\NT40\          Windows NT: every file of "NT40\drv\"
//
// A folder that cannot be created shows up as the copies into it failing. A
// copy that fails, or a media folder that cannot be read, counts as failed,
// and the run offers to make the copies again. A media folder the CD does
// not have copies nothing and is no failure.
#pragma once

#include <windows.h>

#include "os_kind.h"

class StatusWindow;

// What the copies did. `failed` counts copies that failed and media folders
// whose search failed; `skipped` counts files whose source or destination
// path would not fit in MAX_PATH: they are not attempted, and trying again
// cannot help them.
struct CopyTally {
  int copied;
  int failed;
  int skipped;
};

// Phase G: creates the tree and copies the DOS drivers, the DOS applications
// and the Windows driver set of this Windows. Each folder's files are copied
// in search order under the same names, overwriting what is there;
// subfolders are not entered, and hidden, system and read-only files are
// copied like any other. `driversFolder` ends with a backslash and is not
// changed. `tally` may be NULL. The status window shows each file's name
// as it is copied, and the bar the files of the whole phase; it stays up
// when the phase ends.
void DeployDrivers(LPCSTR driversFolder, const OsKind& os, CopyTally* tally, StatusWindow& status);
