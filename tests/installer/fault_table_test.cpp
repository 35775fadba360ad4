// The installer's fault table: each row injects one fault into the typical
// machine and runs the whole program from its entry point. A row states what
// the user sees (boxes in order, showings of the folder dialog), whether the setup program starts,
// the files found below C:\Q-Tonal\ afterwards and the waits in phase A.
//
// Every row also checks that nothing was lost:
//   - the installation media are byte for byte as before;
//   - every file below C:\Q-Tonal\ is a complete copy of its source (or,
//     where the row says so, the earlier copy left untouched): no copy is
//     ever left half written;
//   - no registry key, file, folder search or window is left open, and no
//     window of the installer's own was on screen at a box or the dialog;
//   - once the fault is gone, a second run on the same disks installs the
//     complete tree and starts the setup program, with nothing said.
// Some rows repeat cases that other tests look at closely; the table lists
// them so that every fault has its row.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "installer_fixture.h"
#include "scenario.h"
#include "sim_image.h"
#include "sim_process.h"

namespace qtest {
namespace {

namespace fs = std::filesystem;

const char* const kKey1 = "HKLM\\Software\\Plurava Applications\\Uninstall";

// The files of the media's driver folders, in the order the run copies them
// (search order), and where each lands below C:\Q-Tonal\.
struct MediaFile {
  const char* source;  // below the drivers folder, host form
  const char* copy;    // below C:\Q-Tonal\, host form
};
const MediaFile kMediaFiles[] = {
    {"Dosdrv/BIG.BIN", "DOS/BIG.BIN"},  // large enough to fail half way
    {"Dosdrv/QTDOS.SYS", "DOS/QTDOS.SYS"},
    {"Dosdrv/DOSAPP/QTMIX.EXE", "DOS/DOSAPP/QTMIX.EXE"},
    {"W95-98/drv/QTONAL.VXD", "W95-98/QTONAL.VXD"},
};
const std::vector<std::string> kFullTree = {"DOS/BIG.BIN", "DOS/DOSAPP/QTMIX.EXE", "DOS/QTDOS.SYS",
                                            "W95-98/QTONAL.VXD"};

std::string ContentOf(const std::string& source) {
  if (source == "Dosdrv/BIG.BIN") {
    std::string big(96 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
    return big;
  }
  return "content of " + source;
}

class FaultTableTest;

struct FaultRow {
  int number;
  const char* name;
  std::function<void(FaultTableTest&)> inject;  // the fault, on the typical machine
  std::vector<int> answers;                     // the user's answers to the boxes
  std::vector<std::vector<std::string>> dialogs;  // the user's steps, one list per showing (scenario verbs)
  // The outcome.
  size_t showings;                 // times the dialog was to be shown
  std::vector<std::string> boxes;  // texts shown, in order
  bool launched;                   // the setup program was started (WinExec called)
  std::vector<std::string> tree;  // files below C:\Q-Tonal\, host form, sorted
  size_t waits;                   // 5 s waits of phase A
  std::map<std::string, std::string> kept;  // copies that keep their earlier content
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.number << " " << row.name; }

class FaultTableTest : public InstallerTest, public ::testing::WithParamInterface<FaultRow> {
 public:
  // For the rows' injections.
  using InstallerTest::HostFolder;
  using InstallerTest::WriteMediaFile;
  using InstallerTest::WriteMediaTree;

  void SetUp() override {
    InstallerTest::SetUp();
    DevicePresent();
    WriteMedia("d");
  }

  // The driver files with contents of their own, on a medium that already
  // holds the typical tree.
  void WriteMedia(const std::string& medium) {
    for (const MediaFile& file : kMediaFiles)
      WriteMediaFile(medium + "/DRIVERS/" + file.source, ContentOf(file.source));
  }

  // Every file below a host folder with its bytes.
  std::map<std::string, std::string> Snapshot(const std::string& relative) {
    std::map<std::string, std::string> files;
    fs::path base = fs::path(root_) / relative;
    if (!fs::is_directory(base)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      files[fs::relative(entry.path(), base).string()] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
  }

  std::vector<std::string> Tree() {
    std::vector<std::string> files;
    for (const auto& file : Snapshot("c/Q-Tonal")) files.push_back(file.first);
    std::sort(files.begin(), files.end());
    return files;
  }

  // Each copy is whole: its bytes are its source's, unless the row keeps an
  // earlier copy.
  void ExpectWholeCopies(const std::map<std::string, std::string>& kept) {
    std::map<std::string, std::string> copies = Snapshot("c/Q-Tonal");
    for (const MediaFile& file : kMediaFiles) {
      auto copy = copies.find(file.copy);
      if (copy == copies.end()) continue;
      auto earlier = kept.find(file.copy);
      std::string expected = earlier != kept.end() ? earlier->second : ContentOf(file.source);
      EXPECT_EQ(copy->second.size(), expected.size()) << file.copy;
      EXPECT_TRUE(copy->second == expected) << file.copy << " is not a whole copy";
    }
  }

  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : winsim::Boxes()) {
      EXPECT_FALSE(box.hasOwner) << box.text;
      EXPECT_TRUE(box.type == MB_OK || box.type == MB_YESNO) << box.text;
      texts.push_back(box.text);
    }
    return texts;
  }

  static void ExpectNothingOpen() {
    EXPECT_EQ(winsim::RegOpenHandleCount(), 0) << "a registry key was left open";
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0) << "a file was left open";
    EXPECT_EQ(winsim::OpenSearchHandleCount(), 0) << "a folder search was left open";
    EXPECT_EQ(winsim::WindowCount(), 0) << "a window was left behind";
    ExpectNothingInTheUsersWay();
  }

  // The same disks in a machine without the fault: power-on, C: and the
  // CD in D:, the card's device present.
  void RestartWithoutTheFault() {
    winsim::Reset();
    winsim::MapDrive('C', winsim::kDriveFixed, HostFolder("c"));
    winsim::MapDrive('D', winsim::kDriveCdrom, HostFolder("d"));
    DevicePresent();
  }

  void MakeReadOnly(const std::string& relative) {
    ASSERT_EQ(chmod((fs::path(root_) / relative).c_str(), 0444), 0) << relative;
  }
};

TEST_P(FaultTableTest, OutcomeAndNothingLost) {
  const FaultRow& row = GetParam();
  row.inject(*this);
  std::map<std::string, std::string> media = Snapshot("d");
  std::map<std::string, std::string> otherMedia = Snapshot("e");
  for (int answer : row.answers) winsim::AddBoxAnswer(answer);
  for (const auto& steps : row.dialogs) winsim::AddDialogScript(DialogStepsScript(steps));

  EXPECT_EQ(RunInstaller(), 0);

  EXPECT_EQ(BoxTexts(), row.boxes);
  EXPECT_EQ(winsim::PendingBoxAnswers(), 0u) << "the user expected more boxes";
  EXPECT_EQ(winsim::Dialogs().size(), row.showings);
  EXPECT_EQ(winsim::PendingDialogScripts(), 0u) << "the user expected more dialogs";
  EXPECT_EQ(winsim::ProcessStarts().size(), row.launched ? 1u : 0u);
  EXPECT_EQ(winsim::SleepCalls().size(), row.waits);
  EXPECT_EQ(Tree(), row.tree);
  ExpectWholeCopies(row.kept);
  EXPECT_EQ(Snapshot("d"), media) << "the installation media changed";
  EXPECT_EQ(Snapshot("e"), otherMedia) << "the installation media changed";
  ExpectNothingOpen();
  // The program made its image its own before anything else: a disc taken
  // out finds no page of it still to be read.
  for (int pages : winsim::ImagePagesOnDiscAtEjects()) EXPECT_EQ(pages, 0) << "image pages left on the disc";

  // Nothing lost: without the fault, the same disks install completely.
  RestartWithoutTheFault();
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::Boxes().empty());
  ASSERT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_EQ(winsim::ProcessStarts()[0].commandLine, "\"D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe\"");
  EXPECT_EQ(Tree(), kFullTree);
  ExpectWholeCopies({});
  EXPECT_EQ(Snapshot("d"), media);
}

// A text of `characters` characters and its terminator.
std::vector<uint8_t> Text(size_t characters, char fill) {
  std::vector<uint8_t> bytes(characters, static_cast<uint8_t>(fill));
  bytes.push_back(0);
  return bytes;
}

// The rows. Copies are made in this order: BIG.BIN and QTDOS.SYS (Dosdrv),
// QTMIX.EXE (DOSAPP), QTONAL.VXD (W95-98\drv); folders are created in the
// order C:\Q-Tonal\, DOS\, DOS\DOSAPP\, W95-98\.
const std::vector<std::string> kDosOnly = {"DOS/BIG.BIN", "DOS/DOSAPP/QTMIX.EXE", "DOS/QTDOS.SYS"};
const std::vector<std::string> kAllButBig = {"DOS/DOSAPP/QTMIX.EXE", "DOS/QTDOS.SYS", "W95-98/QTONAL.VXD"};
const std::vector<std::string> kAllButQtmix = {"DOS/BIG.BIN", "DOS/QTDOS.SYS", "W95-98/QTONAL.VXD"};
const char* const kRetry = texts::kCopyFailed;
// Phase G searches its three media folders once to count their files for
// the status window's bar; the searches of the copies come after.
const int kCopySearches = 3;

// Each row: number, fault, injection; the user's answers and dialog steps;
// then the outcome: showings, boxes, launched, tree, waits, kept copies.
const FaultRow kRows[] = {
    // ---- Phase G: folders and copies ----
    {1, "FolderCreationFails",
     [](FaultTableTest&) { winsim::InjectFault("CreateDirectoryA", 1, ERROR_ACCESS_DENIED); },  //
     {IDNO}, {}, 0, {kRetry}, true, {}, 0, {}},
    {2, "WindowsDriverFolderCreationFails",
     [](FaultTableTest&) { winsim::InjectFault("CreateDirectoryA", 4, ERROR_DISK_FULL); },  //
     {IDNO}, {}, 0, {kRetry}, true, kDosOnly, 0, {}},
    {3, "CopyFailsHalfWay",
     [](FaultTableTest&) { winsim::InjectFault("CopyFileA.write", 1, ERROR_DISK_FULL); },  //
     {IDNO}, {}, 0, {kRetry}, true, kAllButBig, 0, {}},
    {4, "CopyFailsHalfWayOverAnEarlierCopy",
     [](FaultTableTest& t) {
       t.WriteMediaFile("c/Q-Tonal/DOS/BIG.BIN", "an earlier copy");
       winsim::InjectFault("CopyFileA.write", 1, ERROR_DISK_FULL);
     },
     {IDNO}, {}, 0, {kRetry}, true, kAllButBig, 0, {}},
    {5, "CopyRefused",
     [](FaultTableTest&) { winsim::InjectFault("CopyFileA", 2, ERROR_SHARING_VIOLATION); },  //
     {IDNO}, {}, 0, {kRetry}, true, {"DOS/BIG.BIN", "DOS/DOSAPP/QTMIX.EXE", "W95-98/QTONAL.VXD"}, 0, {}},
    {6, "DiscRemovedDuringTheCopies",
     [](FaultTableTest&) { winsim::BeforeCall("CopyFileA", 2, [] { winsim::EjectMedium('D'); }); },  //
     {IDNO, IDOK}, {}, 0, {kRetry, texts::kNoSetup}, false, {"DOS/BIG.BIN"}, 0, {}},
    {7, "DiscRemovedBeforeTheCopies",
     [](FaultTableTest&) { winsim::BeforeCall("CreateDirectoryA", 1, [] { winsim::EjectMedium('D'); }); },  //
     {IDNO, IDOK}, {}, 0, {kRetry, texts::kNoSetup}, false, {}, 0, {}},
    {8, "MediaFolderSearchFails",
     [](FaultTableTest&) { winsim::InjectFault("FindFirstFileA", kCopySearches + 1, ERROR_NOT_READY); },  //
     {IDNO}, {}, 0, {kRetry}, true, {"DOS/DOSAPP/QTMIX.EXE", "W95-98/QTONAL.VXD"}, 0, {}},
    {9, "ReadOnlyCopyFromAnEarlierRun",
     [](FaultTableTest& t) {
       t.WriteMediaFile("c/Q-Tonal/DOS/QTDOS.SYS", "old");
       t.MakeReadOnly("c/Q-Tonal/DOS/QTDOS.SYS");
     },
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    {10, "ReadOnlyCopyThatCannotBeMadeWritable",
     [](FaultTableTest& t) {
       t.WriteMediaFile("c/Q-Tonal/DOS/QTDOS.SYS", "old");
       t.MakeReadOnly("c/Q-Tonal/DOS/QTDOS.SYS");
       winsim::InjectFault("SetFileAttributesA", 1, ERROR_ACCESS_DENIED);
     },
     {IDNO}, {}, 0, {kRetry}, true, kFullTree, 0, {{"DOS/QTDOS.SYS", "old"}}},
    {11, "WriteProtectedDestination",
     [](FaultTableTest&) { winsim::ProtectDrive('C', true); },  //
     {IDNO}, {}, 0, {kRetry}, true, {}, 0, {}},
    // ---- Phases D to F: drives, the marker INI file, the dialog ----
    {12, "EmptyCdromDriveBeforeTheMedia",
     [](FaultTableTest& t) {
       winsim::MapEmptyDrive('D', winsim::kDriveCdrom);
       t.WriteMediaTree("e", "DRIVERS");
       t.WriteMedia("e");
       t.WriteMediaFile("e/rizidid.ini", "[Setup]\r\nDriversPath=DRIVERS\r\n");
       winsim::MapDrive('E', winsim::kDriveCdrom, t.HostFolder("e"));
     },
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    {13, "EmptyCdromDriveAndNoMedia",
     [](FaultTableTest&) { winsim::MapEmptyDrive('D', winsim::kDriveCdrom); },  //
     {IDYES}, {{"press CANCEL"}}, 1, {texts::kExit}, false, {}, 0, {}},
    {14, "MarkerIniNotReady",
     [](FaultTableTest&) { winsim::InjectFault("CreateFileA", 3, ERROR_NOT_READY); },  //
     {IDYES}, {{"press CANCEL"}}, 1, {texts::kExit}, false, {}, 0, {}},
    {15, "MarkerIniUnreadable",
     [](FaultTableTest&) { winsim::InjectFault("GetPrivateProfileStringA", 1, ERROR_NOT_READY); },  //
     {}, {}, 0, {}, false, {}, 0, {}},
    {16, "DialogCannotBeShown",
     [](FaultTableTest&) {
       winsim::InjectFault("CreateFileA", 3, ERROR_NOT_READY);
       winsim::InjectFault("DialogBoxParamA", 1, 8 /* ERROR_NOT_ENOUGH_MEMORY */, 0);
     },
     {IDOK}, {}, 3, {texts::kNoDrivers}, false, {}, 0, {}},
    {17, "WindowsVersionUnreadable",
     [](FaultTableTest&) { winsim::FailVersionQuery(true); },  //
     {IDOK, IDYES}, {{"press OK"}, {"press CANCEL"}}, 2, {texts::kNoDrivers, texts::kExit}, false, {}, 0, {}},
    // ---- Phases A and H: the registry ----
    {18, "EnumKeyRefusesToOpen",
     [](FaultTableTest&) { winsim::RegFailOpen(kGamePortRoot, ERROR_ACCESS_DENIED); },  //
     {IDYES}, {}, 0, {texts::kConfirm}, true, kFullTree, 0, {}},
    {19, "DescriptionOfAnotherType",
     [](FaultTableTest&) { winsim::RegSetValue(GamePortKey(kCard), "DeviceDesc", REG_DWORD, {1, 0, 0, 0}); },  //
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    {20, "DescriptionOfAnotherTypeReadingAsEmpty",
     [](FaultTableTest&) { winsim::RegSetValue(GamePortKey(kCard), "DeviceDesc", REG_BINARY, {0, 7, 7}); },  //
     {IDYES}, {}, 0, {texts::kConfirm}, true, kFullTree, 24, {}},
    {21, "DescriptionTooLongForItsBuffer",
     [](FaultTableTest&) { winsim::RegSetValue(GamePortKey(kCard), "DeviceDesc", REG_SZ, Text(256, 'g')); },  //
     {IDYES}, {}, 0, {texts::kConfirm}, true, kFullTree, 24, {}},
    {22, "DescriptionFillingItsBufferExactly",
     [](FaultTableTest&) { winsim::RegSetValue(GamePortKey(kCard), "DeviceDesc", REG_SZ, Text(255, 'g')); },  //
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    {23, "PathOfAnotherType",
     [](FaultTableTest&) { winsim::RegSetValue(kKey1, "Path", REG_DWORD, {1, 0, 0, 0}); },  //
     {}, {}, 0, {}, false, kFullTree, 0, {}},
    {24, "PathTooLongForItsBuffer",
     [](FaultTableTest&) { winsim::RegSetValue(kKey1, "Path", REG_SZ, Text(260, 'p')); },  //
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    {25, "UninstallKeyRefusesToOpen",
     [](FaultTableTest&) {
       winsim::RegSetString(kKey1, "Path", "C:\\Plurava");
       winsim::RegFailOpen(kKey1, ERROR_ACCESS_DENIED);
     },
     {}, {}, 0, {}, true, kFullTree, 0, {}},
    // ---- Phase I ----
    {26, "SetupProgramDoesNotStart",
     [](FaultTableTest&) { winsim::InjectFault("WinExec", 1, 2 /* file not found */); },  //
     {IDOK}, {}, 0, {texts::kNoSetup}, true, kFullTree, 0, {}},
    // ---- Phase F: the folder dialog short of memory (no marker INI file) ----
    // The list box refuses [D:]: the click on line 1 is the [DRIVERS] line of
    // C:, whose tree passes the proof, not the drive line refused.
    {27, "ListBoxRefusesALine",
     [](FaultTableTest& t) {
       t.WriteMediaTree("c", "DRIVERS");
       t.WriteMedia("c");
       winsim::InjectFault("CreateFileA", 3, ERROR_NOT_READY);
       winsim::InjectFault("LB_ADDSTRING", 2, 0);
     },
     {}, {{"select 1", "press OK"}}, 1, {}, true, kFullTree, 0, {}},
    // No memory for the lines' tags: the showing fails (-1), and the next
    // one works.
    {28, "NoMemoryForTheDialogsTags",
     [](FaultTableTest&) {
       winsim::InjectFault("CreateFileA", 3, ERROR_NOT_READY);
       winsim::BeforeCall("DialogBoxParamA", 1, [] {
         winsim::InjectFault("HeapAlloc", winsim::CallCount("HeapAlloc") + 1, 8 /* ERROR_NOT_ENOUGH_MEMORY */);
       });
     },
     {IDYES}, {{"press CANCEL"}}, 2, {texts::kExit}, false, {}, 0, {}},
    // ---- Phase G again: copies that fail, and the user's second chance ----
    // The disc goes back in while the box is up, and the user answers Yes.
    {29, "DiscPutBackBeforeYes",
     [](FaultTableTest& t) {
       winsim::BeforeCall("CopyFileA", 2, [] { winsim::EjectMedium('D'); });
       winsim::SetBoxHandler([&t](const winsim::BoxRecord&) {
         winsim::InsertMedium('D', t.HostFolder("d"));
         return IDYES;
       });
     },
     {}, {}, 0, {kRetry}, true, kFullTree, 0, {}},
    {30, "BadSectorOnceThenYes",
     [](FaultTableTest&) { winsim::InjectFault("CopyFileA", 2, ERROR_CRC); },  //
     {IDYES}, {}, 0, {kRetry}, true, kFullTree, 0, {}},
    // BIG.BIN never fits: Yes brings the box back, No goes on to the setup.
    {31, "DiscFullEveryTime",
     [](FaultTableTest&) { winsim::SetFreeSpace('C', 64 * 1024); },  //
     {IDYES, IDNO}, {}, 0, {kRetry, kRetry}, true, kAllButBig, 0, {}},
    // The destination held open by another program.
    {32, "CopyInUse",
     [](FaultTableTest& t) {
       t.WriteMediaFile("c/Q-Tonal/W95-98/QTONAL.VXD", "loaded");
       winsim::HoldFileOpen("C:\\Q-Tonal\\W95-98\\QTONAL.VXD", GENERIC_READ, FILE_SHARE_READ);
     },
     {IDNO}, {}, 0, {kRetry}, true, kFullTree, 0, {{"W95-98/QTONAL.VXD", "loaded"}}},
    // DOSAPP\ reads as missing: with the drivers folder still there the CD
    // lacks it, and nothing is said; with the drivers folder gone too, the
    // disc went away.
    {33, "MediaFolderNotFound",
     [](FaultTableTest&) { winsim::InjectFault("FindFirstFileA", kCopySearches + 2, ERROR_PATH_NOT_FOUND); },  //
     {}, {}, 0, {}, true, kAllButQtmix, 0, {}},
    {34, "MediaFolderAndDriversFolderNotFound",
     [](FaultTableTest&) {
       winsim::InjectFault("FindFirstFileA", kCopySearches + 2, ERROR_PATH_NOT_FOUND);
       winsim::InjectFault("FindFirstFileA", kCopySearches + 3, ERROR_PATH_NOT_FOUND);
     },
     {IDNO}, {}, 0, {kRetry}, true, kAllButQtmix, 0, {}},
    // The listing of Dosdrv\ breaks off after ".": its files were never copied.
    {35, "ListingCutShort",
     [](FaultTableTest&) {
       winsim::BeforeCall("FindFirstFileA", kCopySearches + 1, [] {
         winsim::InjectFault("FindNextFileA", winsim::CallCount("FindNextFileA") + 1, ERROR_NOT_READY);
       });
     },
     {IDNO}, {}, 0, {kRetry}, true, {"DOS/DOSAPP/QTMIX.EXE", "W95-98/QTONAL.VXD"}, 0, {}},
};

INSTANTIATE_TEST_SUITE_P(Rows, FaultTableTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<FaultRow>& row) {
                           char number[8];
                           snprintf(number, sizeof number, "%02d", row.param.number);
                           return std::string("Row") + number + "_" + row.param.name;
                         });

}  // namespace
}  // namespace qtest
