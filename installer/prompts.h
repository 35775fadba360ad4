// The installer's questions to the user. Every box has no owner window and
// exactly MB_OK or MB_YESNO, with no icon.
#pragma once

#include <windows.h>

// Phase B: asks whether to go on although the card's device was not seen.
// Returns FALSE when the user chose to leave the installation.
BOOL ConfirmInstall();

// "Do you want to EXIT ...?": TRUE only for an explicit Yes.
BOOL AskExit();

// After copies that failed: "Do you want to try again?" in a Yes/No box
// captioned "Warning"; TRUE only for an explicit Yes.
BOOL AskCopyAgain();

// An OK box captioned "Warning".
void ShowWarning(LPCSTR text);
