// WinExec finds the program as Windows and Wine do, and records each start
// with the error mode in force.
// Under Wine 8.0: an unquoted "C:\probe\My Dir\Setup.exe" started
// C:\probe\My.exe when that existed; quoted, it started the setup program;
// a missing program, or a missing folder, gave 2.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim_faults.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_process.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    root_ = temp_.path();
    ASSERT_FALSE(root_.empty()) << "no temporary folder";
    winsim::MapDrive('C', winsim::kDriveFixed, root_);
    File("My Dir/Setup.exe");
  }
  void File(const std::string& relative) {
    fs::path path = fs::path(root_) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "program";
  }
  // The program a command line started, "" when none.
  static std::string Started(const char* commandLine) {
    UINT result = WinExec(commandLine, SW_SHOW);
    const winsim::ProcessStartRecord& start = winsim::ProcessStarts().back();
    EXPECT_EQ(start.commandLine, commandLine);
    EXPECT_EQ(start.result, result);
    EXPECT_EQ(result > 31, !start.program.empty()) << commandLine;
    return start.program;
  }
  TempFolder temp_{"qtonal-winsim"};  // removed after TearDown
  std::string root_;
};

TEST_F(ProcessTest, UnquotedPathWithABlankStartsTheProgramAtTheBlank) {
  EXPECT_EQ(Started("C:\\My Dir\\Setup.exe"), "C:\\My Dir\\Setup.exe");  // no C:\My.exe yet
  File("My.exe");
  EXPECT_EQ(Started("C:\\My Dir\\Setup.exe"), "C:\\My.exe");
  EXPECT_EQ(Started("\"C:\\My Dir\\Setup.exe\""), "C:\\My Dir\\Setup.exe");
  EXPECT_EQ(Started("\"C:\\My Dir\\Setup.exe\" /quiet"), "C:\\My Dir\\Setup.exe");
  EXPECT_EQ(Started("  \"C:\\my dir\\SETUP\""), "C:\\my dir\\SETUP.exe");  // ".exe" added
}

TEST_F(ProcessTest, ResultsWhenNoProgramStarts) {
  fs::create_directories(root_ + "/Folder.exe");
  EXPECT_EQ(WinExec("C:\\None.exe", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("C:\\Nodir\\None.exe", SW_SHOW), 2u);  // Wine: 2 for a missing folder too
  EXPECT_EQ(WinExec("\"C:\\Folder.exe\"", SW_SHOW), 2u);
  EXPECT_EQ(WinExec("", SW_SHOW), 2u);
  winsim::InjectFault("WinExec", 5, 11);
  SetErrorMode(SEM_FAILCRITICALERRORS);  // in force at the call only
  EXPECT_EQ(WinExec("\"C:\\My Dir\\Setup.exe\"", SW_SHOWNORMAL), 11u);
  SetErrorMode(0);
  ASSERT_EQ(winsim::ProcessStarts().size(), 5u);
  EXPECT_EQ(winsim::ProcessStarts()[4].showCommand, static_cast<uint32_t>(SW_SHOWNORMAL));
  EXPECT_EQ(winsim::ProcessStarts()[4].program, "");
  EXPECT_EQ(winsim::ProcessStarts()[4].errorMode, static_cast<uint32_t>(SEM_FAILCRITICALERRORS));
  EXPECT_EQ(winsim::ProcessStarts()[3].errorMode, 0u);
}

TEST_F(ProcessTest, ProgramRemovedJustBeforeTheStart) {
  winsim::BeforeCall("WinExec", 1, [this] { fs::remove(root_ + "/My Dir/Setup.exe"); });
  EXPECT_EQ(WinExec("\"C:\\My Dir\\Setup.exe\"", SW_SHOW), 2u);
  winsim::Reset();
  EXPECT_TRUE(winsim::ProcessStarts().empty());
}

}  // namespace
