// The installer's classification of the running Windows: at most one flag is
// set; none set means a system the installer does not know ("Other").
#pragma once

#include <windows.h>

struct OsKind {
  int isWin95;
  int isWin98;
  int isNT;
};

// Phase C. Looks only at the platform identifier and the minor version:
// 9x with minor 0 is Windows 95, any later 9x counts as Windows 98.
OsKind ClassifyOs();
