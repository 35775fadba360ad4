// Common ground of the installer's tests: a typical machine before each
// test, and the program run through its real entry point.
//
// The typical machine runs Windows 98 and has a fixed drive C: and the
// installation CD in the CD-ROM drive D:, with the marker INI file
// D:\Audio\rizidid.ini (DriversPath=\DRIVERS) and a complete media tree, so a
// run finds its drivers folder D:\DRIVERS\ by itself. Every drive is a
// temporary host folder of the test, removed afterwards. A test that wants
// another machine changes it (ClearDrives, MapDrive, WriteMediaFile, ...).
//
// After every test, whatever it ran: nothing left open, the status window
// and its thread gone, and no window of the installer's own on screen at any
// message box or showing of the folder dialog, nor alive at the start of
// the setup program.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "box_texts.h"
#include "error_mode.h"
#include "sim_dialogs.h"
#include "sim_faults.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_process.h"
#include "sim_registry.h"
#include "sim_threads.h"
#include "sim_user.h"
#include "sim_windows.h"
#include "temp_folder.h"

namespace qtest {

constexpr const char* kGamePortRoot = "HKLM\\Enum\\VIRTUAL\\*PNPB02F";
constexpr const char* kCard = "PCI_VEN_4E51&DEV_0001";

inline std::string GamePortKey(const std::string& instance) { return std::string(kGamePortRoot) + "\\" + instance; }

// The kind setup paths, relative to a drivers folder, in host form.
constexpr const char* kSetup95 = "W95-98/app/W95/Setup.exe";
constexpr const char* kSetup98 = "W95-98/app/W98/Setup.exe";
constexpr const char* kSetupNT = "NT40/app/Setup.exe";

class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    winsim::LoadProgramResources(QT_INSTALLER_RES);
    root_ = temp_.path();
    ASSERT_FALSE(root_.empty()) << "no temporary folder";
    winsim::MapDrive('C', winsim::kDriveFixed, HostFolder("c"));
    winsim::MapDrive('D', winsim::kDriveCdrom, HostFolder("d"));
    WriteMediaTree("d", "DRIVERS");
    WriteMediaFile("d/Audio/rizidid.ini", "[Setup]\r\nDriversPath=\\DRIVERS\r\n");
  }

  void TearDown() override {
    EXPECT_EQ(winsim::RegOpenHandleCount(), 0) << "a registry key was left open";
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0) << "a file was left open";
    EXPECT_EQ(winsim::OpenSearchHandleCount(), 0) << "a folder search was left open";
    EXPECT_EQ(winsim::WindowCount(), 0) << "a window was left behind";
    EXPECT_EQ(winsim::PendingDialogScripts(), 0u) << "a scripted dialog was never shown";
    ExpectNothingInTheUsersWay();
  }

  // The status window and its thread are gone, every thread and event handle
  // is closed, and no window of the installer's own classes was on screen at
  // any box or dialog, or alive when the setup program started.
  static void ExpectNothingInTheUsersWay() {
    EXPECT_EQ(winsim::ProgramThreadsRunning(), 0) << "a thread of the installer still runs";
    winsim::SyncHandleCounts handles = winsim::OpenSyncHandles();
    EXPECT_EQ(handles.threads + handles.events, 0) << "a thread or event handle was left open";
    for (const auto& box : winsim::Boxes()) EXPECT_EQ(box.visibleWindows, 0) << "a window over the box " << box.text;
    for (const auto& dialog : winsim::Dialogs()) EXPECT_EQ(dialog.visibleWindows, 0) << "a window over the dialog";
    for (const auto& start : winsim::ProcessStarts()) {
      EXPECT_EQ(start.windows, 0) << "a window still there at the start of " << start.commandLine;
      EXPECT_EQ(start.threads, 0) << "a thread still running at the start of " << start.commandLine;
    }
  }

  // What the user saw of the installer's own windows, one line a change: the
  // virtual time, then the bar and the text ("@5000 2/24 Waiting ...") or
  // "hidden".
  static std::vector<std::string> ScreenSeen() {
    std::vector<std::string> seen;
    for (const auto& change : winsim::ScreenChanges()) {
      const auto& controls = change.window.controls;
      std::string line = "@" + std::to_string(change.time) + " ";
      if (!change.window.visible)
        line += "hidden";
      else if (controls.size() == 2)
        line += std::to_string(controls[1].barPosition) + "/" + std::to_string(controls[1].barHigh) + " " +
                controls[0].text;
      else
        line += "a window of " + std::to_string(controls.size()) + " controls";
      seen.push_back(line);
    }
    return seen;
  }

  // The status window at `time` with the device wait's text and the bar at
  // `attempt` of 24, as ScreenSeen writes it.
  static std::string WaitSeen(uint64_t time, int attempt) {
    return "@" + std::to_string(time) + " " + std::to_string(attempt) + "/24 " + texts::kDeviceWait;
  }

  // Runs InstallQTonal from its entry point, then ends its process as the
  // system does (its handles closed, its named mutex gone); returns its
  // exit code.
  // A new process keeps nothing of an earlier run's error mode either.
  static int RunInstaller() {
    gProcessErrorMode = ProcessErrorMode{0, FALSE};
    int code = WinMain(nullptr, nullptr, const_cast<char*>(""), 1);
    winsim::SyncHandleCounts handles = winsim::OpenSyncHandles();
    EXPECT_EQ(handles.threads + handles.events, 0) << "a thread or event handle was left open";
    winsim::ProgramExits();
    return code;
  }

  // Makes the card's device present, with a description from the start.
  static void DevicePresent() { winsim::RegSetString(GamePortKey(kCard), "DeviceDesc", "Game port"); }

  // A folder below the test's temporary root (created), as a host path.
  std::string HostFolder(const std::string& relative) {
    std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(path);
    return path.string();
  }

  // A file below the test's root, with its folders.
  void WriteMediaFile(const std::string& relative, const std::string& content = "x") {
    std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  void RemoveMediaFile(const std::string& relative) { std::filesystem::remove(std::filesystem::path(root_) / relative); }

  // A complete drivers folder below `medium`: the setup programs of every
  // kind and one file in each driver folder.
  void WriteMediaTree(const std::string& medium, const std::string& driversFolder) {
    std::string base = medium + "/" + driversFolder + "/";
    for (const char* setup : {kSetup95, kSetup98, kSetupNT}) WriteMediaFile(base + setup, "setup");
    WriteMediaFile(base + "Dosdrv/QTDOS.SYS");
    WriteMediaFile(base + "Dosdrv/DOSAPP/QTMIX.EXE");
    WriteMediaFile(base + "W95-98/drv/QTONAL.VXD");
    WriteMediaFile(base + "NT40/drv/QTONAL.SYS");
  }

  // No drives at all.
  static void ClearDrives() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) winsim::UnmapDrive(letter);
  }

  TempFolder temp_{"qtonal-test"};  // removed after TearDown
  std::string root_;
};

}  // namespace qtest
