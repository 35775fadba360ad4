// The run sequence of one installation; the phases A to I are listed at
// CInstallApp::RunInstall in install_app.h.
#include "deployment.h"
#include "device_wait.h"
#include "drive_list.h"
#include "install_app.h"
#include "os_kind.h"
#include "prompts.h"
#include "source_location.h"
#include "status_window.h"
#include "suite_launch.h"

BOOL CInstallApp::RunInstall() {
  // The status window shows the long waits; its destructor takes it away on
  // every way out of the run.
  StatusWindow status;
  status.Open(Instance());

  // A: the card's game-port device; B: without it, the user decides.
  if (!WaitForGamePort(status) && !ConfirmInstall()) return FALSE;

  // C: which Windows this is decides the drivers and the setup program.
  OsKind os = ClassifyOs();

  // D: the CD-ROM and fixed drives.
  DriveList drives;
  ListDrives(&drives);

  // E, F: the drivers folder, by the marker INI file or by the user.
  char driversFolder[MAX_PATH];
  if (!LocateDriversFolder(os, drives, driversFolder)) return FALSE;

  // G: the tree on C: and the copies. The drivers folder stays as it is for
  // phase I; deployment builds its paths in buffers of its own. While
  // copies fail, the user may put the disc back or make room on C: and have
  // phase G made again as a whole: every copy overwrites, so the tree ends
  // complete and current, with nothing twice.
  CopyTally tally;
  do {
    tally.copied = tally.failed = tally.skipped = 0;
    DeployDrivers(driversFolder, os, &tally, status);
    status.Hide();  // the box has no owner: it would share the screen
  } while (tally.failed > 0 && AskCopyAgain());

  // H: a suite that is already installed ends the run, silently.
  if (SuiteCountsAsInstalled()) return FALSE;

  // I: the suite's setup program, then the end of a normal run. The status
  // window goes first: nothing of this run stays over the setup's windows.
  status.Close();
  LaunchSuiteSetup(driversFolder, os);
  drives.RemoveAll();
  return FALSE;
}
