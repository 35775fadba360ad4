// The run sequence of one installation.
#include "device_wait.h"
#include "install_app.h"
#include "os_kind.h"
#include "prompts.h"

BOOL CInstallApp::RunInstall() {
  // A: the card's game-port device; B: without it, the user decides.
  if (!WaitForGamePort() && !ConfirmInstall()) return FALSE;

  // C: which Windows this is decides the drivers and the setup program.
  OsKind os = ClassifyOs();
  (void)os;

  return FALSE;
}
