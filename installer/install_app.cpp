#include "install_app.h"

#include "error_mode.h"

// The program's single application object.
CInstallApp theApp;

BOOL CInstallApp::InitInstance() {
  SilenceErrorBoxes();
  return RunInstall();
}
