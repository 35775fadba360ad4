// The common controls the programs use: the progress bar of comctl32 4.00,
// the version of the first Windows 95, with the two messages it had then.
#pragma once

#include "winsim/types.h"

#define PROGRESS_CLASSA "msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSA

#define PBM_SETRANGE (0x0400 + 1)  // lParam: MAKELPARAM(low, high); the previous range
#define PBM_SETPOS (0x0400 + 2)    // wParam: the position; the previous position

// Makes the common controls' classes available to the program.
void WINAPI InitCommonControls(void);
