// One installer at a time. A user who sees nothing happen for a while may
// start the installer again; two runs would copy over each other and start
// the setup program twice. The first run holds a named mutex for the life
// of its process; a second run finds it, brings the first one's status
// window to the front when it is on screen, and ends silently: no copies,
// no boxes, no setup program.
#pragma once

#include <windows.h>

#define INSTALLER_MUTEX_NAME "Q-Tonal InstallQTonal"

// TRUE for the first installer, also when the mutex cannot be made at all
// (the run then goes on as it always did); FALSE when another one runs.
BOOL IsTheOnlyInstaller();
