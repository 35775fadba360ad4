// The installer's application object: all the work happens once, in the
// start-up hook, and the program ends when it returns.
#pragma once

#include "app.h"

class CInstallApp : public CAppBase {
 public:
  // Makes the program's image its own, so that it never needs its disc
  // again (image_private.h); ends at once, silently, while another
  // installer runs (single_instance.h). Otherwise switches off the system's
  // critical-error and open-file boxes, so that probing an empty CD drive
  // stays silent (error_mode.h), then runs the installation.
  BOOL InitInstance() override;

  // One installation, in nine phases (run_install.cpp). Their letters name
  // the phases in the comments and tests of the whole installer:
  //   A  wait for the card's game-port device          device_wait.h
  //   B  without it, ask the user whether to go on     prompts.h
  //   C  classify the running Windows                  os_kind.h
  //   D  list the CD-ROM and fixed drives              drive_list.h
  //   E  find the marker INI file on a drive           source_location.h
  //   F  prove the drivers folder, or let the user     source_location.h,
  //      pick it in the source folder dialog           source_dir_dlg.h
  //   G  create the tree on C: and copy the drivers,   deployment.h
  //      again while copies fail and the user asks     prompts.h
  //   H  end silently when the suite is installed      suite_launch.h
  //   I  start the suite's setup program               suite_launch.h
  // Always returns FALSE: the program has nothing left to do afterwards.
  BOOL RunInstall();
};
