// The installer's application object: all the work happens once, in the
// start-up hook, and the program ends when it returns.
#pragma once

#include "app.h"

class CInstallApp : public CAppBase {
 public:
  // Switches off the system's critical-error and open-file boxes, so that
  // probing an empty CD drive stays silent, then runs the installation.
  BOOL InitInstance() override;

  // Phases A to I of one installation. Always returns FALSE: the program has
  // nothing left to do afterwards.
  BOOL RunInstall();
};
