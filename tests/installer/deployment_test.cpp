// Phase G: the tree on C:, the folder copies and how they behave on a second
// run, with odd media and with faults.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "deployment.h"
#include "installer_fixture.h"
#include "status_window.h"
#include "sim_faults.h"
#include "sim_process.h"

namespace qtest {
namespace {

namespace fs = std::filesystem;

class DeploymentTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    DevicePresent();
  }

  // Every file below a folder of the test's root, as "A/B" paths in
  // case-insensitive order; folders end with '/'.
  std::vector<std::string> Tree(const std::string& relative) {
    std::vector<std::string> entries;
    fs::path base = fs::path(root_) / relative;
    if (!fs::is_directory(base)) return entries;
    for (const auto& entry : fs::recursive_directory_iterator(base))
      entries.push_back(fs::relative(entry.path(), base).string() + (entry.is_directory() ? "/" : ""));
    std::sort(entries.begin(), entries.end(),
              [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    return entries;
  }

  std::string Content(const std::string& relative) {
    std::ifstream in(fs::path(root_) / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void MakeReadOnly(const std::string& relative) {
    ASSERT_EQ(chmod((fs::path(root_) / relative).c_str(), 0444), 0) << relative;
  }

  bool IsReadOnly(const std::string& relative) {
    return (GetFileAttributesA(("C:\\" + relative).c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
  }

  static std::vector<std::string> CopyDestinations() {
    std::vector<std::string> to;
    for (const auto& copy : winsim::FileCopies()) to.push_back(copy.to);
    return to;
  }
};

// Win95 and Win98 share the driver set, NT has its own (the scenarios
// typical_* run the whole installation on each).
struct KindRow {
  const char* name;
  winsim::Version version;
  std::vector<std::string> tree;
};

void PrintTo(const KindRow& row, std::ostream* out) { *out << row.name; }

class DeploymentKindTest : public DeploymentTest, public ::testing::WithParamInterface<KindRow> {};

// Copies of a first run that the user or another program made hidden,
// system or read-only are all replaced. NT refuses to overwrite a hidden or
// system file unless the new one keeps those attributes, and the copy takes
// the CD's, so the old file's attributes are cleared first; 95 and 98
// would overwrite it anyway.
TEST_P(DeploymentKindTest, SecondRunReplacesCopiesMadeHiddenSystemOrReadOnly) {
  const KindRow& row = GetParam();
  winsim::SetVersion(row.version);
  const DWORD marks[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN,
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM};
  std::vector<std::string> files;  // below C:\Q-Tonal\, '/' as separator (Windows takes it too)
  for (const std::string& entry : row.tree) {
    if (entry.back() == '/') continue;
    WriteMediaFile("c/Q-Tonal/" + entry, "first run");
    ASSERT_TRUE(SetFileAttributesA(("C:\\Q-Tonal\\" + entry).c_str(), marks[files.size() % std::size(marks)]));
    files.push_back(entry);
  }
  EXPECT_EQ(RunInstaller(), 0);
  for (const std::string& entry : files) {
    EXPECT_EQ(Content("c/Q-Tonal/" + entry), "x") << entry;
    EXPECT_EQ(GetFileAttributesA(("C:\\Q-Tonal\\" + entry).c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE))
        << entry;
  }
}

const std::vector<std::string> k9xTree = {"DOS/", "DOS/DOSAPP/", "DOS/DOSAPP/QTMIX.EXE", "DOS/QTDOS.SYS",
                                          "W95-98/", "W95-98/QTONAL.VXD"};
INSTANTIATE_TEST_SUITE_P(
    Table, DeploymentKindTest,
    ::testing::Values(
        KindRow{"Win95", winsim::kWin95, k9xTree},  // 1
        KindRow{"Win98", winsim::kWin98, k9xTree},  // 2
        KindRow{"WinMe", winsim::kWinMe, k9xTree},  // 3
        KindRow{"NT", winsim::kNT40,
                {"DOS/", "DOS/DOSAPP/", "DOS/DOSAPP/QTMIX.EXE", "DOS/QTDOS.SYS", "NT40/", "NT40/QTONAL.SYS"}}),  // 4
    [](const ::testing::TestParamInfo<KindRow>& row) { return std::string(row.param.name); });

TEST_F(DeploymentTest, FoldersAreCreatedAndFilledInOrder) {
  WriteMediaFile("d/DRIVERS/Dosdrv/B.COM");
  WriteMediaFile("d/DRIVERS/Dosdrv/a.exe");
  EXPECT_EQ(RunInstaller(), 0);
  std::vector<std::string> created;
  for (const auto& folder : winsim::FolderCreations()) created.push_back(folder.path);
  EXPECT_EQ(created, (std::vector<std::string>{"C:\\Q-Tonal\\", "C:\\Q-Tonal\\DOS\\", "C:\\Q-Tonal\\DOS\\DOSAPP\\",
                                                "C:\\Q-Tonal\\W95-98\\"}));
  // Search order (case-insensitive alphabetical), DOS drivers first.
  EXPECT_EQ(CopyDestinations(), (std::vector<std::string>{"C:\\Q-Tonal\\DOS\\a.exe", "C:\\Q-Tonal\\DOS\\B.COM",
                                                         "C:\\Q-Tonal\\DOS\\QTDOS.SYS",
                                                         "C:\\Q-Tonal\\DOS\\DOSAPP\\QTMIX.EXE",
                                                         "C:\\Q-Tonal\\W95-98\\QTONAL.VXD"}));
  EXPECT_EQ(winsim::FileCopies()[0].from, "D:\\DRIVERS\\Dosdrv\\a.exe");
}

TEST_F(DeploymentTest, SubfoldersAreNotEnteredButHiddenAndReadOnlyFilesAreCopied) {
  WriteMediaFile("d/DRIVERS/Dosdrv/EXTRA/NOTES.TXT");
  WriteMediaFile("d/DRIVERS/Dosdrv/DOSAPP/SONGS/SONG.MID");
  WriteMediaFile("d/DRIVERS/W95-98/drv/OLD/OLD.VXD");
  WriteMediaFile("d/DRIVERS/Dosdrv/.HIDDEN");  // hidden, by its name
  MakeReadOnly("d/DRIVERS/Dosdrv/QTDOS.SYS");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Tree("c/Q-Tonal"), (std::vector<std::string>{"DOS/", "DOS/.HIDDEN", "DOS/DOSAPP/", "DOS/DOSAPP/QTMIX.EXE",
                                                          "DOS/QTDOS.SYS", "W95-98/", "W95-98/QTONAL.VXD"}));
  EXPECT_TRUE(IsReadOnly("Q-Tonal\\DOS\\QTDOS.SYS"));  // the copy keeps the attribute
  EXPECT_EQ(winsim::ProcessStarts().size(), 1u);
}

// The status window names each file as it is copied, its bar counting the
// files of the whole phase, and goes before the box; on Yes the copies show
// again from the first.
TEST_F(DeploymentTest, StatusWindowNamesEachCopyAndGoesForTheBox) {
  winsim::InjectFault("CopyFileA", 2, ERROR_CRC);
  winsim::AddBoxAnswer(IDYES);
  EXPECT_EQ(RunInstaller(), 0);
  const std::vector<std::string> pass = {"@0 0/3 Copying QTDOS.SYS...", "@0 1/3 Copying QTMIX.EXE...",
                                         "@0 2/3 Copying QTONAL.VXD...", "@0 hidden"};
  std::vector<std::string> twice = pass;
  twice.insert(twice.end(), pass.begin(), pass.end());
  EXPECT_EQ(ScreenSeen(), twice);
  ASSERT_EQ(winsim::Boxes().size(), 1u);
  EXPECT_EQ(winsim::ScreenChanges()[4].boxesBefore, 1u);  // the second pass came after the box
}

// A CD may hold the DOS folders empty, or lack them: nothing to copy, and
// nothing to tell.
TEST_F(DeploymentTest, EmptyOrMissingDosFoldersCopyNothingAndTheRunGoesOn) {
  fs::remove_all(fs::path(root_) / "d/DRIVERS/Dosdrv/DOSAPP/QTMIX.EXE");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Tree("c/Q-Tonal"),
            (std::vector<std::string>{"DOS/", "DOS/DOSAPP/", "DOS/QTDOS.SYS", "W95-98/", "W95-98/QTONAL.VXD"}));
  fs::remove_all(fs::path(root_) / "c/Q-Tonal");
  fs::remove_all(fs::path(root_) / "d/DRIVERS/Dosdrv");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Tree("c/Q-Tonal"), (std::vector<std::string>{"DOS/", "DOS/DOSAPP/", "W95-98/", "W95-98/QTONAL.VXD"}));
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_EQ(winsim::ProcessStarts().size(), 2u);
}

// A copy that fails over a read-only copy of an earlier run leaves the old
// file, and gives it back the read-only attribute that was taken away for
// the copy. Copies of earlier runs: QTDOS.SYS and QTSB.COM, both read-only.
class FailedOverwriteTest : public DeploymentTest {
 protected:
  void SetUp() override {
    DeploymentTest::SetUp();
    WriteMediaFile("d/DRIVERS/Dosdrv/QTSB.COM", "new");
    for (const char* old : {"c/Q-Tonal/DOS/QTDOS.SYS", "c/Q-Tonal/DOS/QTSB.COM"}) {
      WriteMediaFile(old, "old");
      MakeReadOnly(old);
    }
  }

  // Phase G alone; DOSAPP\ and W95-98\drv\ hold one file each.
  static CopyTally Deploy() {
    CopyTally tally = {0, 0, 0};
    StatusWindow none;  // never opened: it shows nothing
    DeployDrivers("D:\\DRIVERS\\", OsKind{0, 1, 0}, &tally, none);
    return tally;
  }
};

TEST_F(FailedOverwriteTest, RefusedCopyKeepsTheOldFileReadOnly) {
  winsim::InjectFault("CopyFileA", 1, ERROR_NOT_READY);
  CopyTally tally = Deploy();
  EXPECT_EQ(tally.failed, 1);
  EXPECT_EQ(tally.copied, 3);
  EXPECT_EQ(Content("c/Q-Tonal/DOS/QTDOS.SYS"), "old");
  EXPECT_TRUE(IsReadOnly("Q-Tonal\\DOS\\QTDOS.SYS"));
  EXPECT_EQ(Content("c/Q-Tonal/DOS/QTSB.COM"), "new");
  // Cleared, given back, then cleared for the copy that worked.
  ASSERT_EQ(winsim::AttributeChanges().size(), 3u);
  EXPECT_EQ(winsim::AttributeChanges()[1].path, "C:\\Q-Tonal\\DOS\\QTDOS.SYS");
  EXPECT_EQ(winsim::AttributeChanges()[1].attributes,
            static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(winsim::AttributeChanges()[1].changed);
}

// QTSB.COM is also hidden and system, and gets them back with read-only.
TEST_F(FailedOverwriteTest, DiscTakenOutKeepsEveryOldFileReadOnly) {
  const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA("C:\\Q-Tonal\\DOS\\QTSB.COM", FILE_ATTRIBUTE_READONLY | hiddenSystem));
  winsim::BeforeCall("CopyFileA", 1, [] { winsim::EjectMedium('D'); });
  CopyTally tally = Deploy();
  EXPECT_EQ(tally.failed, 4);  // the two copies, and DOSAPP\ and W95-98\drv\, which no longer read
  for (const char* name : {"QTDOS.SYS", "QTSB.COM"}) {
    EXPECT_TRUE(IsReadOnly(std::string("Q-Tonal\\DOS\\") + name)) << name;
    EXPECT_EQ(Content(std::string("c/Q-Tonal/DOS/") + name), "old") << name;
  }
  EXPECT_EQ(GetFileAttributesA("C:\\Q-Tonal\\DOS\\QTSB.COM") & hiddenSystem, hiddenSystem);
}

// A copy that fails part way has removed the old file (as Windows does):
// there is nothing to give the attribute back to, and the rest goes on.
TEST_F(FailedOverwriteTest, CopyFailingPartWayLeavesNothingToRestore) {
  winsim::InjectFault("CopyFileA.write", 1, ERROR_NOT_READY);
  CopyTally tally = Deploy();
  EXPECT_EQ(tally.failed, 1);
  EXPECT_EQ(tally.copied, 3);
  EXPECT_EQ(Tree("c/Q-Tonal/DOS"), (std::vector<std::string>{"DOSAPP/", "DOSAPP/QTMIX.EXE", "QTSB.COM"}));
  EXPECT_EQ(Content("c/Q-Tonal/DOS/QTSB.COM"), "new");
}

// Paths are built only when they fit in MAX_PATH; a file whose source or
// destination path would need 260 characters or more is left out.
TEST_F(DeploymentTest, NamesAtTheLengthLimitAreCopiedAndOneLongerAreSkipped) {
  // Source side: a drivers folder of 235 characters, the longest whose setup
  // program (24 more) still fits; "Dosdrv\DOSAPP\" leaves 10 for a name.
  std::string first(120, 'a');
  std::string second(231 - 1 - first.size(), 'b');
  std::string folder = "D:\\" + first + "\\" + second + "\\";
  ASSERT_EQ(folder.size(), 235u);
  WriteMediaTree("d", first + "/" + second);
  WriteMediaFile("d/Audio/rizidid.ini", "[Setup]\r\nDriversPath=\\" + first + "\\" + second + "\r\n");
  std::string dosApp = "d/" + first + "/" + second + "/Dosdrv/DOSAPP/";
  WriteMediaFile(dosApp + "ABCDEF.EXE");   // 235 + 14 + 10 = 259: copied
  WriteMediaFile(dosApp + "ABCDEFG.EXE");  // 260: skipped
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Tree("c/Q-Tonal/DOS/DOSAPP"), (std::vector<std::string>{"ABCDEF.EXE", "QTMIX.EXE"}));
  for (const auto& copy : winsim::FileCopies()) EXPECT_LT(copy.from.size(), 260u) << copy.from;
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_EQ(winsim::ProcessStarts()[0].commandLine, "\"" + folder + "W95-98\\app\\W98\\Setup.exe\"");
  EXPECT_TRUE(winsim::Boxes().empty()) << "trying again cannot help a name too long";
}

TEST_F(DeploymentTest, DestinationNamesAtTheLengthLimit) {
  // "C:\Q-Tonal\DOS\DOSAPP\" is 22 characters, longer than the source
  // folder "D:\D\Dosdrv\DOSAPP\" (19): here the destination is the limit.
  WriteMediaTree("d", "D");
  WriteMediaFile("d/Audio/rizidid.ini", "[Setup]\r\nDriversPath=D\r\n");
  std::string fits(237, 'f');   // 22 + 237 = 259
  std::string tooLong(238, 't');  // 260
  WriteMediaFile("d/D/Dosdrv/DOSAPP/" + fits);
  WriteMediaFile("d/D/Dosdrv/DOSAPP/" + tooLong);
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Tree("c/Q-Tonal/DOS/DOSAPP"), (std::vector<std::string>{fits, "QTMIX.EXE"}));
  EXPECT_TRUE(winsim::Boxes().empty());
  // Phase G again: every copy overwrites, the long name is skipped.
  CopyTally tally = {0, 0, 0};
  StatusWindow none;
  DeployDrivers("D:\\D\\", OsKind{0, 1, 0}, &tally, none);
  EXPECT_EQ(tally.copied, 4);
  EXPECT_EQ(tally.failed, 0);
  EXPECT_EQ(tally.skipped, 1);
}

TEST_F(DeploymentTest, ExistingTreeIsFineAndOtherFilesInItStay) {
  WriteMediaFile("c/Q-Tonal/DOS/MINE.CFG", "user's own");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(Content("c/Q-Tonal/DOS/MINE.CFG"), "user's own");
  EXPECT_EQ(winsim::FolderCreations()[0].error, static_cast<uint32_t>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(Tree("c/Q-Tonal/DOS").size(), 4u);  // DOSAPP/, its file, MINE.CFG, QTDOS.SYS
}

}  // namespace
}  // namespace qtest
