// Phases E and F: finding the drivers folder, the folder of the installation
// media that holds the DOS drivers, the Windows drivers and the application
// suite's setup programs.
//
// Installation media layout (names as the installer builds them; the file
// system ignores case):
//   marker INI        root + "Audio\rizidid.ini", else root + "rizidid.ini";
//                     section "Setup", key "DriversPath", relative to the root
//   drivers folder    root + DriversPath
//   DOS drivers       drivers folder + "Dosdrv\", applications "Dosdrv\DOSAPP\"
//   Windows drivers   drivers folder + "W95-98\drv\" or "NT40\drv\"
//   suite setup       drivers folder + the kind setup path (KindSetupPath)
#pragma once

#include <windows.h>

#include "drive_list.h"
#include "os_kind.h"

// The relative path of the suite's setup program for this Windows, which
// proves a drivers folder: "W95-98\app\W95\Setup.exe",
// "W95-98\app\W98\Setup.exe", "NT40\app\Setup.exe", or "" for any other
// system.
LPCSTR KindSetupPath(const OsKind& os);

// TRUE when the file can be opened for reading, sharing reading and writing
// with other programs; it is closed again at once.
BOOL FileOpensForReading(LPCSTR path);

// A folder passes when folder + kind setup path opens for reading. A folder
// that does not end with a backslash, or that leaves no room for the kind
// setup path within MAX_PATH, fails without any file being opened. With no
// kind setup path the folder itself is tried, which never opens.
BOOL ProveDriversFolder(LPCSTR folder, const OsKind& os);

// Phases E and F. Returns TRUE with the drivers folder, or FALSE when the
// run ends here: the INI file has no "DriversPath", or the user gave up.
BOOL LocateDriversFolder(const OsKind& os, const DriveList& drives, LPSTR driversFolder);
