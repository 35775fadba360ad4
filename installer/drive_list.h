// Phase D: the drive list, the roots of the CD-ROM and fixed drives (for
// example "D:\"), in the order the system reports its logical drives.
// Built once per run; the source folder dialog shows it and deployment gets
// it after the drivers folder was located.
#pragma once

#include "text_list.h"

typedef TextList DriveList;

// Appends every CD-ROM and fixed drive root to `drives`, unchanged.
void ListDrives(DriveList* drives);
