#include "install_app.h"

#include "error_mode.h"
#include "single_instance.h"

// The program's single application object.
CInstallApp theApp;

BOOL CInstallApp::InitInstance() {
  if (!IsTheOnlyInstaller()) return FALSE;
  SilenceErrorBoxes();
  return RunInstall();
}
