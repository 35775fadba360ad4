#include "install_app.h"

#include "error_mode.h"
#include "image_private.h"

// The program's single application object.
CInstallApp theApp;

BOOL CInstallApp::InitInstance() {
  // First of all: from here on the program needs its disc no more.
  MakeImagePrivate();
  SilenceErrorBoxes();
  return RunInstall();
}
