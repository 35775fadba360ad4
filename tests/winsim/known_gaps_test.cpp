// Known gaps of winsim (winsim/README.md, "Known gaps") that a native test
// can state: each row checks what Windows does, inside a known-gap mark, so
// the row passes while winsim still differs and fails loudly once winsim
// agrees. One row per gap, so that each counts as a known gap of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "known_gap.h"
#include "sim_files.h"
#include "sim_machine.h"
#include "sim_user.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Each row prepares the machine outside the mark, so that a failing
// preparation fails the test, and then checks inside it.
struct GapRow {
  int number;  // in winsim/README.md
  const char* reason;
  void (*prepare)(const std::string& cDrive);  // C: is mapped onto this host folder
  void (*windowsDoes)();
};

void PrintTo(const GapRow& row, std::ostream* out) { *out << "gap " << row.number; }

void HostFile(const std::string& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

const GapRow kGaps[] = {
    {1, "WinExec starts any existing file", [](const std::string& c) { HostFile(c + "/Setup.exe", "not a program"); },
     [] { EXPECT_EQ(WinExec("C:\\Setup.exe", SW_SHOW), 11u); }},  // ERROR_BAD_FORMAT
    {5, "profile reads ignore a file another program holds without sharing",
     [](const std::string& c) {
       HostFile(c + "/held.ini", "[S]\nK=value\n");
       ASSERT_NE(winsim::HoldFileOpen("C:\\held.ini", GENERIC_READ, 0), 0);
     },
     [] {
       char value[16];
       GetPrivateProfileStringA("S", "K", "default", value, sizeof value, "C:\\held.ini");
       EXPECT_STREQ(value, "default");
     }},
    {6, "CreateDirectoryA takes folders longer than 248 characters",
     [](const std::string& c) { fs::create_directory(c + "/" + std::string(120, 'p')); },
     [] {
       std::string path = "C:\\" + std::string(120, 'p') + "\\" + std::string(125, 'n');  // 249 characters
       EXPECT_FALSE(CreateDirectoryA(path.c_str(), nullptr));
       EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
     }},
    {13, "SetFileAttributesA leaves archive set", [](const std::string& c) { HostFile(c + "/file.txt", "x"); },
     [] {
       EXPECT_TRUE(SetFileAttributesA("C:\\file.txt", FILE_ATTRIBUTE_HIDDEN));
       EXPECT_EQ(GetFileAttributesA("C:\\file.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
     }},
    {16, "no short names", [](const std::string& c) { HostFile(c + "/LONGNAME.EXEC", "x"); },
     [] {
       WIN32_FIND_DATAA found{};
       HANDLE search = FindFirstFileA("C:\\*.EXE", &found);
       EXPECT_NE(search, INVALID_HANDLE_VALUE);
       if (search != INVALID_HANDLE_VALUE) FindClose(search);
       EXPECT_STREQ(found.cAlternateFileName, "LONGNA~1.EXE");
     }},
    {20, "GetVersionExA takes the extended record on Windows 95",
     [](const std::string&) { winsim::SetVersion(winsim::kWin95); },
     [] {
       struct {
         OSVERSIONINFOA base;
         BYTE extension[8];  // OSVERSIONINFOEXA: 156 bytes
       } extended{};
       extended.base.dwOSVersionInfoSize = sizeof extended;
       EXPECT_FALSE(GetVersionExA(&extended.base));
       OSVERSIONINFOA info{};
       info.dwOSVersionInfoSize = sizeof info;
       EXPECT_TRUE(GetVersionExA(&info));
       EXPECT_EQ(info.dwBuildNumber >> 16, 0x0400u) << "major and minor in the high word";
     }},
    {24, "MessageBoxA returns an answer the box has no button for",
     [](const std::string&) { winsim::ScriptBoxAnswers({IDYES}); },
     [] { EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), IDOK); }},
};

class WinsimGapTest : public ::testing::TestWithParam<GapRow> {
 protected:
  void SetUp() override {
    winsim::Reset();
    ASSERT_FALSE(temp_.path().empty()) << "no temporary folder";
    winsim::MapDrive('C', winsim::kDriveFixed, temp_.path());
  }
  void TearDown() override { winsim::Reset(); }
  TempFolder temp_{"qtonal-winsim"};
};

TEST_P(WinsimGapTest, StatesWhatWindowsDoes) {
  const GapRow& row = GetParam();
  row.prepare(temp_.path());
  ASSERT_FALSE(HasFatalFailure());
  QT_KNOWN_GAP("winsim gap " + std::to_string(row.number) + ": " + row.reason) { row.windowsDoes(); }
}

INSTANTIATE_TEST_SUITE_P(Gaps, WinsimGapTest, ::testing::ValuesIn(kGaps),
                         [](const ::testing::TestParamInfo<GapRow>& gap) {
                           return "Gap" + std::to_string(gap.param.number);
                         });

}  // namespace
