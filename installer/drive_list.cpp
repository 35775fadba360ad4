#include "drive_list.h"

#include "text.h"

namespace {
const DWORD kDriveStringsSize = 1024;
}

void ListDrives(DriveList* drives) {
  char strings[kDriveStringsSize];
  DWORD length = GetLogicalDriveStringsA(kDriveStringsSize, strings);
  // 0: no drives. A length that does not fit means the strings were not
  // written (26 drives take 105 bytes, so this never happens).
  if (length == 0 || length >= kDriveStringsSize) return;
  strings[length] = '\0';
  for (LPCSTR root = strings; *root != '\0'; root += TextLength(root) + 1) {
    UINT type = GetDriveTypeA(root);
    if (type == DRIVE_CDROM || type == DRIVE_FIXED) drives->Add(root);
  }
}
