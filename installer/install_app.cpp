#include "install_app.h"

// The program's single application object.
CInstallApp theApp;

BOOL CInstallApp::InitInstance() {
  // SetErrorMode only returns the old mode while replacing it, so the flags
  // are added to what the process already had.
  UINT mode = SetErrorMode(0);
  SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  return RunInstall();
}
