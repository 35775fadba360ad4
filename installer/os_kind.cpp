#include "os_kind.h"

#include "text.h"

OsKind ClassifyOs() {
  OsKind kind = {0, 0, 0};
  OSVERSIONINFOA info;
  MemoryFill(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // 148: the ANSI record without the extended fields
  // A failed query leaves platform 0, which classifies as no known system.
  GetVersionExA(&info);
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    if (info.dwMinorVersion == 0)
      kind.isWin95 = 1;
    else
      kind.isWin98 = 1;
  } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    kind.isNT = 1;
  }
  return kind;
}
