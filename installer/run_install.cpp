// The run sequence of one installation.
#include "device_wait.h"
#include "drive_list.h"
#include "install_app.h"
#include "os_kind.h"
#include "prompts.h"
#include "source_location.h"

BOOL CInstallApp::RunInstall() {
  // A: the card's game-port device; B: without it, the user decides.
  if (!WaitForGamePort() && !ConfirmInstall()) return FALSE;

  // C: which Windows this is decides the drivers and the setup program.
  OsKind os = ClassifyOs();

  // D: the CD-ROM and fixed drives.
  DriveList drives;
  ListDrives(&drives);

  // E, F: the drivers folder, by the marker INI file or by the user.
  char driversFolder[MAX_PATH];
  if (!LocateDriversFolder(os, drives, driversFolder)) return FALSE;

  // G-I take the drivers folder and the drive list from here; the drive list
  // is freed at the end of a normal run.
  drives.RemoveAll();
  return FALSE;
}
