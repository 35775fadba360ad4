#include "install_app.h"

#include "error_mode.h"
#include "image_private.h"
#include "single_instance.h"

// The program's single application object.
CInstallApp theApp;

BOOL CInstallApp::InitInstance() {
  // First of all: from here on the program needs its disc no more.
  MakeImagePrivate();
  if (!IsTheOnlyInstaller()) return FALSE;
  SilenceErrorBoxes();
  return RunInstall();
}
