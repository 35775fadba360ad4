// Phases D to F: the drive list, the marker INI file, the INI route and the
// dialog route, with the proof by the kind setup path.
#include <cstring>
#include <string>
#include <vector>

#include "drive_list.h"
#include "installer_fixture.h"
#include "os_kind.h"
#include "source_location.h"

namespace qtest {
namespace {

class SourceLocationTest : public InstallerTest {
 protected:
  // Phases D to F on the machine as it is. TRUE with the drivers folder;
  // FALSE when the run would end here.
  static bool Locate(std::string* folder) {
    OsKind os = ClassifyOs();
    DriveList drives;
    ListDrives(&drives);
    char buffer[MAX_PATH];
    std::memset(buffer, 0, sizeof buffer);
    bool located = LocateDriversFolder(os, drives, buffer) != FALSE;
    *folder = located ? buffer : "";
    return located;
  }

  static std::vector<std::string> DriveRoots() {
    DriveList drives;
    ListDrives(&drives);
    std::vector<std::string> roots;
    for (int i = 0; i < drives.Count(); ++i) roots.push_back(drives.At(i));
    return roots;
  }

  void WriteIni(const std::string& relative, const std::string& value) {
    WriteMediaFile(relative, "[Setup]\r\nDriversPath=" + value + "\r\n");
  }

  // Files opened to prove a folder (every open that names a setup program
  // or, for an unknown system, a folder).
  static std::vector<std::string> ProofOpens() {
    std::vector<std::string> opens;
    for (const auto& open : winsim::FileOpens())
      if (open.path.find("rizidid.ini") == std::string::npos) opens.push_back(open.path);
    return opens;
  }

  static winsim::DialogScript TypeAndOk(const std::string& text) {
    return [text](winsim::DialogUser& user) {
      user.Type(text);
      user.PressOK();
    };
  }
  static winsim::DialogScript Cancel() {
    return [](winsim::DialogUser& user) { user.PressCancel(); };
  }

  static void ExpectBox(size_t index, const char* text, UINT type, int answer) {
    std::vector<winsim::BoxRecord> boxes = winsim::Boxes();
    ASSERT_GT(boxes.size(), index);
    EXPECT_FALSE(boxes[index].hasOwner);
    EXPECT_EQ(boxes[index].text, text);
    EXPECT_EQ(boxes[index].caption, texts::kWarningCaption);
    EXPECT_EQ(boxes[index].type, type);
    EXPECT_EQ(boxes[index].answer, answer);
  }
};

// Phase D --------------------------------------------------------------------

TEST_F(SourceLocationTest, DriveListKeepsCdromAndFixedDrivesInLetterOrder) {
  ClearDrives();
  winsim::MapEmptyDrive('A', winsim::kDriveRemovable);
  winsim::MapDrive('C', winsim::kDriveFixed, HostFolder("c"));
  winsim::MapEmptyDrive('D', winsim::kDriveCdrom);
  winsim::MapDrive('E', winsim::kDriveFixed, HostFolder("e"));
  winsim::MapDrive('F', winsim::kDriveRemote, HostFolder("f"));
  winsim::MapDrive('G', winsim::kDriveRamdisk, HostFolder("g"));
  winsim::MapDrive('H', winsim::kDriveCdrom, HostFolder("h"));
  EXPECT_EQ(DriveRoots(), (std::vector<std::string>{"C:\\", "D:\\", "E:\\", "H:\\"}));
  ClearDrives();
  EXPECT_TRUE(DriveRoots().empty());
}

TEST_F(SourceLocationTest, DriveThatCannotBeClassifiedIsLeftOut) {
  winsim::InjectFault("GetDriveTypeA", 1, ERROR_NOT_READY);  // C: reads as DRIVE_UNKNOWN
  EXPECT_EQ(DriveRoots(), (std::vector<std::string>{"D:\\"}));
}

// The INI route ------------------------------------------------------------------

struct IniRow {
  const char* name;
  winsim::Version version;
  const char* iniFile;  // below the host root; "" keeps the typical D:\Audio\rizidid.ini
  const char* value;
  const char* folder;  // the drivers folder located
  const char* proof;   // the file that proved it
};

class IniRouteTest : public SourceLocationTest, public ::testing::WithParamInterface<IniRow> {};

TEST_P(IniRouteTest, LocatesTheFolderWithoutAskingAnything) {
  const IniRow& row = GetParam();
  winsim::SetVersion(row.version);
  if (row.iniFile[0] != '\0') {
    RemoveMediaFile("d/Audio/rizidid.ini");
    WriteIni(row.iniFile, row.value);
  }
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, row.folder);
  EXPECT_EQ(ProofOpens(), (std::vector<std::string>{row.proof}));
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_TRUE(winsim::Dialogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniRouteTest,
    ::testing::Values(
        IniRow{"Win98", winsim::kWin98, "", "", "D:\\DRIVERS\\", "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},  // 1
        IniRow{"Win95", winsim::kWin95, "", "", "D:\\DRIVERS\\", "D:\\DRIVERS\\W95-98\\app\\W95\\Setup.exe"},  // 2
        IniRow{"NT", winsim::kNT40, "", "", "D:\\DRIVERS\\", "D:\\DRIVERS\\NT40\\app\\Setup.exe"},            // 3
        IniRow{"WinMe", winsim::kWinMe, "", "", "D:\\DRIVERS\\", "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},  // 4
        IniRow{"InRoot", winsim::kWin98, "d/rizidid.ini", "\\DRIVERS", "D:\\DRIVERS\\",                       // 5
               "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},
        IniRow{"TrailingBackslash", winsim::kWin98, "d/Audio/rizidid.ini", "DRIVERS\\", "D:\\DRIVERS\\",      // 6
               "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},
        IniRow{"NoBackslashes", winsim::kWin98, "d/Audio/rizidid.ini", "DRIVERS", "D:\\DRIVERS\\",            // 7
               "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},
        IniRow{"TwoLeadingBackslashes", winsim::kWin98, "d/Audio/rizidid.ini", "\\\\DRIVERS",                // 8
               "D:\\\\DRIVERS\\", "D:\\\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},
        IniRow{"Quoted", winsim::kWin98, "d/Audio/rizidid.ini", "\"\\DRIVERS\"", "D:\\DRIVERS\\",             // 9
               "D:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"},
        IniRow{"OtherCase", winsim::kWin98, "d/AUDIO/RIZIDID.INI", "\\drivers", "D:\\drivers\\",              // 10
               "D:\\drivers\\W95-98\\app\\W98\\Setup.exe"}),
    [](const ::testing::TestParamInfo<IniRow>& param) { return std::string(param.param.name); });

TEST_F(SourceLocationTest, AudioFolderIsPreferredOnTheSameDrive) {
  WriteMediaTree("d", "OTHER");
  WriteIni("d/rizidid.ini", "\\OTHER");
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "D:\\DRIVERS\\");
  ASSERT_EQ(winsim::ProfileReads().size(), 1u);
  EXPECT_EQ(winsim::ProfileReads()[0].file, "D:\\Audio\\rizidid.ini");
}

TEST_F(SourceLocationTest, FirstDriveWithAnIniWinsAndEmptyDrivesAreSkippedSilently) {
  ClearDrives();
  winsim::MapEmptyDrive('C', winsim::kDriveCdrom);
  winsim::MapDrive('E', winsim::kDriveCdrom, HostFolder("d"));
  winsim::MapDrive('F', winsim::kDriveFixed, HostFolder("f"));
  WriteMediaTree("f", "DRV");
  WriteIni("f/rizidid.ini", "DRV");
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "E:\\DRIVERS\\");
  // C: was tried (both names) and failed without a word.
  std::vector<std::string> opens;
  for (const auto& open : winsim::FileOpens()) opens.push_back(open.path);
  EXPECT_EQ(opens, (std::vector<std::string>{"C:\\Audio\\rizidid.ini", "C:\\rizidid.ini", "E:\\Audio\\rizidid.ini",
                                             "E:\\DRIVERS\\W95-98\\app\\W98\\Setup.exe"}));
  EXPECT_TRUE(winsim::Boxes().empty());
}

// An INI file without a usable entry ends the run: no message, no dialog,
// even though a working folder exists.
class MissingEntryTest : public SourceLocationTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingEntryTest, EndsTheRunSilently) {
  WriteMediaFile("d/Audio/rizidid.ini", GetParam());
  DevicePresent();
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_TRUE(winsim::Dialogs().empty());
  EXPECT_TRUE(ProofOpens().empty());
}

INSTANTIATE_TEST_SUITE_P(Inis, MissingEntryTest,
                         ::testing::Values("[Setup]\r\nDriversPath=\r\n",       // 1 empty value
                                           "[Setup]\r\nOther=\\DRIVERS\r\n",    // 2 no key
                                           "[Install]\r\nDriversPath=x\r\n",    // 3 no section
                                           "[Setup]\r\nDriversPath\r\n",        // 4 no '='
                                           "[Setup]\r\nDriversPath=\"\"\r\n",   // 5 quotes around nothing
                                           ""));                                // 6 empty file

// The dialog route -----------------------------------------------------------------

TEST_F(SourceLocationTest, FirstDriveWithAnIniWinsEvenWhenItsFolderFails) {
  WriteIni("c/rizidid.ini", "\\NOPE");
  std::string folder;
  // The dialog, not D:'s INI file, comes next; the user picks D:\DRIVERS\.
  winsim::AddDialogScript([](winsim::DialogUser& user) {
    user.SelectText("[D:]");
    user.SelectText("[DRIVERS]");
    user.PressOK();
  });
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "D:\\DRIVERS\\");
  ASSERT_EQ(winsim::ProfileReads().size(), 1u);
  EXPECT_EQ(winsim::ProfileReads()[0].file, "C:\\rizidid.ini");
}

TEST_F(SourceLocationTest, IniRouteIsDroppedForGoodAfterOneFailedProof) {
  WriteIni("d/Audio/rizidid.ini", "\\NOPE");
  winsim::AddDialogScript(TypeAndOk("D:\\ELSEWHERE"));
  winsim::AddDialogScript(TypeAndOk("D:\\DRIVERS\\"));
  winsim::ScriptBoxAnswers({IDOK});
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "D:\\DRIVERS\\");
  EXPECT_EQ(winsim::ProfileReads().size(), 1u);  // never read again
  EXPECT_EQ(winsim::Dialogs().size(), 2u);
  ExpectBox(0, texts::kNoDrivers, MB_OK, IDOK);
}

TEST_F(SourceLocationTest, CancelThenNoShowsAFreshDialog) {
  RemoveMediaFile("d/Audio/rizidid.ini");
  winsim::AddDialogScript([](winsim::DialogUser& user) {
    user.SelectText("[D:]");
    user.SelectText("[DRIVERS]");
    user.PressCancel();
  });
  winsim::AddDialogScript([](winsim::DialogUser& user) {
    // A new dialog on the first drive, not where the last one was left.
    EXPECT_EQ(user.Field(), "C:\\");
    EXPECT_EQ(user.Lines(), (std::vector<std::string>{"[C:]", "[D:]"}));
    user.Type("D:\\DRIVERS");
    user.PressOK();
  });
  winsim::ScriptBoxAnswers({IDNO});
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "D:\\DRIVERS\\");
  ExpectBox(0, texts::kExit, MB_YESNO, IDNO);
  EXPECT_EQ(winsim::Dialogs()[0].result, IDCANCEL);
  EXPECT_EQ(winsim::Dialogs()[0].finalField, "D:\\DRIVERS\\");
}

TEST_F(SourceLocationTest, ExitPromptAnsweredOtherwiseThanYesGoesOn) {
  RemoveMediaFile("d/Audio/rizidid.ini");
  winsim::AddDialogScript(Cancel());
  winsim::AddDialogScript(Cancel());
  winsim::AddDialogScript(TypeAndOk("D:\\DRIVERS"));
  winsim::ScriptBoxAnswers({0, IDCANCEL});  // a failed box, then an unexpected answer
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(winsim::Dialogs().size(), 3u);
}

TEST_F(SourceLocationTest, NoDrivesAtAllStillLetsTheUserType) {
  ClearDrives();
  winsim::MapDrive('X', winsim::kDriveRemote, HostFolder("d"));  // a network drive: never listed
  winsim::AddDialogScript([](winsim::DialogUser& user) {
    EXPECT_TRUE(user.Lines().empty());
    EXPECT_EQ(user.Field(), "");
    user.Type("X:\\DRIVERS");
    user.PressOK();
  });
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "X:\\DRIVERS\\");
}

// A dialog that cannot be shown is tried again, but not without end: after
// three failures in a row the user is told and the run ends.
TEST_F(SourceLocationTest, DialogThatFailsTwiceThenShowsIsUsed) {
  RemoveMediaFile("d/Audio/rizidid.ini");
  winsim::InjectFault("DialogBoxParamA", 1, 8, 2);
  winsim::AddDialogScript(TypeAndOk("D:\\DRIVERS"));
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, "D:\\DRIVERS\\");
  EXPECT_TRUE(winsim::Boxes().empty());
}

// Over-long folders. The longest kind setup path has 24 characters, so on
// Windows 98 a drivers folder of 235 characters can pass and one of 236
// cannot: folder + setup path would need 260 characters.
class LongFolderTest : public SourceLocationTest {
 protected:
  void SetUp() override {
    SourceLocationTest::SetUp();
    RemoveMediaFile("d/Audio/rizidid.ini");
    WriteMediaTree("d/" + a200_, b30_);
    WriteMediaTree("d/" + a200_, b30_ + "b");
  }
  std::string a200_ = std::string(200, 'a');
  std::string b30_ = std::string(30, 'b');
  std::string Folder(size_t bs) const { return "D:\\" + a200_ + "\\" + std::string(bs, 'b') + "\\"; }
};

TEST_F(LongFolderTest, TypedFolderOf235CharactersPasses) {
  ASSERT_EQ(Folder(30).size(), 235u);
  winsim::AddDialogScript(TypeAndOk(Folder(30)));
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, Folder(30));
  EXPECT_EQ(ProofOpens().back().size(), 259u);
}

TEST_F(LongFolderTest, TypedFolderOf236CharactersFailsWithTheUsualMessage) {
  winsim::AddDialogScript(TypeAndOk(Folder(31)));
  winsim::AddDialogScript(Cancel());
  winsim::ScriptBoxAnswers({IDOK, IDYES});
  std::string folder;
  EXPECT_FALSE(Locate(&folder));
  ExpectBox(0, texts::kNoDrivers, MB_OK, IDOK);
  EXPECT_TRUE(ProofOpens().empty()) << "a path past 259 characters was opened";
}

TEST_F(LongFolderTest, NtTakesLongerFoldersByItsShorterSetupPath) {
  winsim::SetVersion(winsim::kNT40);
  winsim::AddDialogScript(TypeAndOk(Folder(31)));  // 236 + 18 = 254 characters
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, Folder(31));
}

TEST_F(LongFolderTest, TypedTextWithNoRoomForItsBackslashFailsTheProof) {
  // 259 characters without a backslash: handed back as typed, refused by
  // the proof. Even on an unknown system nothing is opened.
  winsim::SetVersion(winsim::kWin31);
  winsim::AddDialogScript(TypeAndOk("D:\\" + std::string(256, 'z')));
  winsim::AddDialogScript(Cancel());
  winsim::ScriptBoxAnswers({IDOK, IDYES});
  std::string folder;
  EXPECT_FALSE(Locate(&folder));
  ExpectBox(0, texts::kNoDrivers, MB_OK, IDOK);
  EXPECT_TRUE(ProofOpens().empty());
}

TEST_F(LongFolderTest, IniValueLeadingToTheLimitPassesAndOnePastGoesToTheDialog) {
  WriteIni("d/Audio/rizidid.ini", "\\" + a200_ + "\\" + b30_);
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, Folder(30));

  winsim::Reset();
  winsim::LoadProgramResources(QT_INSTALLER_RES);
  winsim::MapDrive('D', winsim::kDriveCdrom, HostFolder("d"));
  WriteIni("d/Audio/rizidid.ini", "\\" + a200_ + "\\" + b30_ + "b");
  winsim::AddDialogScript(TypeAndOk(Folder(30)));
  ASSERT_TRUE(Locate(&folder));
  EXPECT_EQ(folder, Folder(30));
  EXPECT_TRUE(winsim::Boxes().empty()) << "the INI route fails silently";
}

TEST_F(LongFolderTest, IniValueTooLongToBuildGoesToTheDialog) {
  // 258 characters, cut to the 259 a 260-byte buffer holds: root + value
  // cannot fit, and the folder is not built at all.
  WriteIni("d/Audio/rizidid.ini", std::string(300, 'v'));
  winsim::AddDialogScript(TypeAndOk(Folder(30)));
  std::string folder;
  ASSERT_TRUE(Locate(&folder));
  ASSERT_EQ(winsim::ProfileReads().size(), 1u);
  EXPECT_EQ(winsim::ProfileReads()[0].returned, 259u);
  EXPECT_EQ(ProofOpens().size(), 1u);  // only the folder typed in the dialog
}

// The proof itself: a folder path ends with a backslash. Its room at the
// buffer's edge is LongFolderTest's.
TEST(ProofTest, RefusesFoldersWithoutBackslash) {
  winsim::Reset();
  OsKind win98 = {0, 1, 0};
  EXPECT_FALSE(ProveDriversFolder("D:\\DRIVERS", win98));  // not a folder path
  EXPECT_TRUE(winsim::FileOpens().empty());
  EXPECT_STREQ(KindSetupPath(OsKind{0, 0, 0}), "");
  EXPECT_EQ(std::strlen(KindSetupPath(OsKind{1, 0, 0})), 24u);
}

}  // namespace
}  // namespace qtest
