// Phases H and I: the uninstall keys that end the run, and the start of the
// suite's setup program.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "installer_fixture.h"
#include "sim_process.h"

namespace qtest {
namespace {

namespace fs = std::filesystem;

const char* const kKey1 = "HKLM\\Software\\Plurava Applications\\Uninstall";
const char* const kKey2 = "HKLM\\Software\\Q-Tonal\\Uninstall";
const char* const kKey3 = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava Applications";
const char* const kKey4 = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plurava WinNT Applications";
const char* const kSetup98 = "\"D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe\"";

class SuiteLaunchTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    DevicePresent();
  }

  // The uninstall keys the run opened, in order (the game-port keys left out).
  static std::vector<std::string> UninstallOpens() {
    std::vector<std::string> opens;
    for (const auto& open : winsim::RegOpens()) {
      if (open.path.find("Uninstall") == std::string::npos) continue;
      EXPECT_EQ(open.sam, static_cast<uint32_t>(KEY_QUERY_VALUE)) << open.path;
      opens.push_back(open.path);
    }
    return opens;
  }

  static void ExpectNoSetupWarning() {
    auto boxes = winsim::Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].hasOwner);
    EXPECT_EQ(boxes[0].text, texts::kNoSetup);
    EXPECT_EQ(boxes[0].caption, texts::kWarningCaption);
    EXPECT_EQ(boxes[0].type, static_cast<uint32_t>(MB_OK));
  }
};

// Each row: the uninstall keys present, whether the suite then counts as
// installed, and which keys were opened.
struct KeyRow {
  const char* name;
  std::function<void()> setUp;
  bool installed;
  std::vector<std::string> opened;
};

void PrintTo(const KeyRow& row, std::ostream* out) { *out << row.name; }

class UninstallKeyTest : public SuiteLaunchTest, public ::testing::WithParamInterface<KeyRow> {};

TEST_P(UninstallKeyTest, DecidesWhetherSetupStarts) {
  const KeyRow& row = GetParam();
  row.setUp();
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::ProcessStarts().size(), row.installed ? 0u : 1u);
  EXPECT_TRUE(winsim::Boxes().empty());  // installed or not, nothing is said
  EXPECT_EQ(UninstallOpens(), row.opened);
  // The copies come first either way.
  EXPECT_EQ(winsim::FileCopies().size(), 3u);
}

std::vector<uint8_t> Bytes(size_t count, uint8_t fill) { return std::vector<uint8_t>(count, fill); }
std::vector<uint8_t> Text(size_t characters) {
  std::vector<uint8_t> bytes(characters, 'p');
  bytes.push_back(0);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UninstallKeyTest,
    ::testing::Values(
        KeyRow{"NoKey", [] {}, false, {kKey1, kKey3, kKey4}},  // 1
        KeyRow{"Key1Path", [] { winsim::RegSetString(kKey1, "Path", "C:\\Plurava"); }, true, {kKey1}},  // 2
        KeyRow{"Key1WithoutPathKey2Absent",
               [] {
                 winsim::RegCreateKeyPath(kKey1);
                 winsim::RegCreateKeyPath(kKey3);  // not consulted once key 1 opened
                 winsim::RegCreateKeyPath(kKey4);
               },
               false,
               {kKey1, kKey2}},  // 3
        KeyRow{"Key1WithoutPathKey2Path",
               [] {
                 winsim::RegCreateKeyPath(kKey1);
                 winsim::RegSetString(kKey2, "Path", "C:\\Q-Tonal");
               },
               true,
               {kKey1, kKey2}},  // 4
        KeyRow{"Key1WithoutPathKey2WithoutPath",
               [] {
                 winsim::RegCreateKeyPath(kKey1);
                 winsim::RegCreateKeyPath(kKey2);
               },
               false,
               {kKey1, kKey2}},  // 5
        KeyRow{"Key3Only", [] { winsim::RegCreateKeyPath(kKey3); }, true, {kKey1, kKey3}},  // 6
        KeyRow{"Key4Only", [] { winsim::RegCreateKeyPath(kKey4); }, true, {kKey1, kKey3, kKey4}},  // 7
        KeyRow{"Key2AloneIsNotConsulted", [] { winsim::RegSetString(kKey2, "Path", "C:\\Q-Tonal"); }, false,
               {kKey1, kKey3, kKey4}},  // 8
        KeyRow{"Key1DeniedCountsAsAbsent",
               [] {
                 winsim::RegSetString(kKey1, "Path", "C:\\Plurava");
                 winsim::RegFailOpen(kKey1, ERROR_ACCESS_DENIED);
                 winsim::RegCreateKeyPath(kKey4);
               },
               true,
               {kKey1, kKey3, kKey4}},  // 9
        // "Path" into 260 bytes: 259 characters and the terminator fit...
        KeyRow{"Path260Bytes", [] { winsim::RegSetValue(kKey1, "Path", REG_SZ, Text(259)); }, true, {kKey1}},  // 10
        // ...one more does not: the read fails and key 1 gives nothing.
        KeyRow{"Path261Bytes", [] { winsim::RegSetValue(kKey1, "Path", REG_SZ, Text(260)); }, false,
               {kKey1, kKey2}},  // 11
        KeyRow{"EmptyTextReadsWithSize1", [] { winsim::RegSetString(kKey1, "Path", ""); }, true, {kKey1}},  // 12
        KeyRow{"AnyTypeCounts", [] { winsim::RegSetValue(kKey1, "Path", REG_DWORD, Bytes(4, 1)); }, true,
               {kKey1}},  // 13
        KeyRow{"ZeroSizeDoesNotCount", [] { winsim::RegSetValue(kKey1, "Path", REG_BINARY, {}); }, false,
               {kKey1, kKey2}}),  // 14
    [](const ::testing::TestParamInfo<KeyRow>& row) { return std::string(row.param.name); });

// Key 4 alone counts on every Windows, not only on NT.
class Key4OnEveryWindowsTest : public SuiteLaunchTest, public ::testing::WithParamInterface<winsim::Version> {};

TEST_P(Key4OnEveryWindowsTest, CountsAsInstalled) {
  winsim::SetVersion(GetParam());
  winsim::RegCreateKeyPath(kKey4);
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  EXPECT_TRUE(winsim::Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, Key4OnEveryWindowsTest,
                         ::testing::Values(winsim::kWin95, winsim::kWin98, winsim::kNT40));

// A folder with a blank in its name, and a program at the first blank:
// unquoted, Windows would start D:\My.exe instead of the setup program.
TEST_F(SuiteLaunchTest, SetupPathWithBlanksIsQuotedSoThatNoOtherProgramStarts) {
  WriteMediaTree("d", "My Drivers");
  WriteMediaFile("d/My.exe", "another program");
  WriteMediaFile("d/Audio/rizidid.ini", "[Setup]\r\nDriversPath=\\My Drivers\r\n");
  EXPECT_EQ(RunInstaller(), 0);
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  const winsim::ProcessStartRecord& start = winsim::ProcessStarts()[0];
  EXPECT_EQ(start.commandLine, "\"D:\\My Drivers\\W95-98\\app\\W98\\Setup.exe\"");
  EXPECT_EQ(start.program, "D:\\My Drivers\\W95-98\\app\\W98\\Setup.exe");
  EXPECT_EQ(start.showCommand, static_cast<uint32_t>(SW_SHOW));
  EXPECT_TRUE(winsim::Boxes().empty());
}

// Only the setup program vanishes between its proof and the launch.
TEST_F(SuiteLaunchTest, SetupVanishedSinceItsProofGetsTheWarning) {
  winsim::BeforeCall("CopyFileA", 1, [this] { RemoveMediaFile("d/DRIVERS/W95-98/app/W98/Setup.exe"); });
  winsim::AddBoxAnswer(IDOK);
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::FileCopies().size(), 3u);
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  ExpectNoSetupWarning();
}

// A start that fails would otherwise leave the user waiting for a setup
// program that never comes: the same advice is given.
TEST_F(SuiteLaunchTest, FailedStartGetsTheWarning) {
  winsim::InjectFault("WinExec", 1, 11);  // not a program
  winsim::AddBoxAnswer(IDOK);
  EXPECT_EQ(RunInstaller(), 0);
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_EQ(winsim::ProcessStarts()[0].commandLine, kSetup98);
  ExpectNoSetupWarning();
}

TEST_F(SuiteLaunchTest, SetupGoneBetweenItsLastTestAndTheStartGetsTheWarning) {
  winsim::BeforeCall("WinExec", 1, [this] { RemoveMediaFile("d/DRIVERS/W95-98/app/W98/Setup.exe"); });
  winsim::AddBoxAnswer(IDOK);
  EXPECT_EQ(RunInstaller(), 0);
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_EQ(winsim::ProcessStarts()[0].result, 2u);
  ExpectNoSetupWarning();
}

// Windows 95 and NT hand the error mode on to the program started: the setup
// program gets the mode the process started with, and with it the system's
// "insert disk" and "drive not ready" boxes, while the installer stays
// silent before the start and after it. Rows: the mode the process started
// with.
TEST_F(SuiteLaunchTest, SetupStartsWithTheErrorModeTheProcessStartedWith) {
  const UINT silent = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  for (UINT startMode : {0u, static_cast<UINT>(SEM_NOGPFAULTERRORBOX), static_cast<UINT>(SEM_FAILCRITICALERRORS)}) {
    SCOPED_TRACE(startMode);
    SetErrorMode(startMode);
    UINT duringCopies = ~0u;
    winsim::BeforeCall("CopyFileA", winsim::CallCount("CopyFileA") + 1,
                       [&duringCopies] { duringCopies = winsim::ErrorMode(); });
    EXPECT_EQ(RunInstaller(), 0);
    EXPECT_EQ(duringCopies, startMode | silent);
    ASSERT_FALSE(winsim::ProcessStarts().empty());
    EXPECT_EQ(winsim::ProcessStarts().back().errorMode, startMode);
    EXPECT_EQ(winsim::ErrorMode(), startMode | silent);
  }
  EXPECT_EQ(winsim::ProcessStarts().size(), 3u);
}

// The mode the process started with is taken once: silencing again keeps
// it, and a start before any silencing runs under the mode in force.
TEST_F(SuiteLaunchTest, TheProcessModeIsTakenByTheFirstSilencingOnly) {
  const char setup[] = "\"D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe\"";
  gProcessErrorMode = ProcessErrorMode{0, FALSE};
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  StartWithProcessErrorMode(setup, SW_SHOW);
  SilenceErrorBoxes();
  SilenceErrorBoxes();
  StartWithProcessErrorMode(setup, SW_SHOW);
  ASSERT_EQ(winsim::ProcessStarts().size(), 2u);
  EXPECT_EQ(winsim::ProcessStarts()[0].errorMode, static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  EXPECT_EQ(winsim::ProcessStarts()[1].errorMode, static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
  EXPECT_EQ(winsim::ErrorMode(), SEM_NOGPFAULTERRORBOX | 0x8001u);
}

TEST_F(SuiteLaunchTest, SuccessfulStartSaysNothingAndDoesNotWait) {
  EXPECT_EQ(RunInstaller(), 0);
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_GT(winsim::ProcessStarts()[0].result, 31u);
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_TRUE(winsim::SleepCalls().empty());
}

}  // namespace
}  // namespace qtest
