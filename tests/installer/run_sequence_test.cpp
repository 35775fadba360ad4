// The run from the entry point: its image, the confirmation loop,
// classification.
#include "installer_fixture.h"
#include "os_kind.h"
#include "sim_image.h"
#include "sim_process.h"
#include "single_instance.h"
#include "status_window.h"

namespace qtest {
namespace {

void ExpectConfirm(const winsim::BoxRecord& box, int answer) {
  EXPECT_FALSE(box.hasOwner);
  EXPECT_EQ(box.text, texts::kConfirm);
  EXPECT_EQ(box.caption, texts::kAppCaption);
  EXPECT_EQ(box.type, 4u);  // MB_YESNO, no icon
  EXPECT_EQ(box.answer, answer);
}

class RunSequenceTest : public InstallerTest {};

// The image is made the program's own region by region (the eject rows of
// the fault table find no page of it left on the disc). A region that
// refuses to be made writable is left as it is and never written: a write
// would be an access violation, which ends the test.
TEST_F(RunSequenceTest, ImageRegionThatRefusesToBeWritableIsLeftAlone) {
  DevicePresent();
  winsim::InjectFault("VirtualProtect", 1, ERROR_ACCESS_DENIED);  // the headers' region
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::ImagePagesOnDisc(), 1);
  EXPECT_EQ(winsim::ProcessStarts().size(), 1u);
}

// With the device there at once, nothing new appears before the copies:
// the status window waits, hidden.
TEST_F(RunSequenceTest, DevicePresentShowsNothingBeforeTheCopies) {
  DevicePresent();
  winsim::BeforeCall("CreateDirectoryA", 1, [] {
    EXPECT_TRUE(winsim::ScreenChanges().empty());
    EXPECT_EQ(winsim::ProgramWindows().size(), 1u);
  });
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::Boxes().empty());
}

TEST_F(RunSequenceTest, FailedBoxCountsAsGoingOn) {
  winsim::ScriptBoxAnswers({0});
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::Boxes().size(), 1u);
}

TEST_F(RunSequenceTest, ExitPromptOnlyEndsOnExplicitYes) {
  // IDCANCEL or a failed exit prompt are "any other answer": ask again.
  winsim::ScriptBoxAnswers({IDNO, IDCANCEL, IDNO, 0, IDYES});
  EXPECT_EQ(RunInstaller(), 0);
  auto boxes = winsim::Boxes();
  ASSERT_EQ(boxes.size(), 5u);
  ExpectConfirm(boxes[4], IDYES);
}

TEST_F(RunSequenceTest, DeviceWaitComesBeforeTheConfirmation) {
  winsim::RegSetString(GamePortKey(kCard), "DeviceDesc", "");
  // The 24 waits were shown, and the window went before the box came.
  winsim::SetBoxHandler([](const winsim::BoxRecord&) {
    std::vector<std::string> seen = ScreenSeen();
    EXPECT_EQ(seen.size(), 25u);
    EXPECT_EQ(seen.front(), WaitSeen(0, 1));
    EXPECT_EQ(seen.back(), "@120000 hidden");
    return IDYES;
  });
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::Now(), 120000u);
  EXPECT_EQ(winsim::Boxes().size(), 1u);
}

// A second installer while the first one runs: it ends silently, bringing the
// first one's status window to the front when it is on screen. The device is
// missing, so a run that went on would at least ask.
struct SecondInstallerRow {
  const char* name;
  bool firstHasAWindow;
  bool windowVisible;
  bool broughtToFront;
};

void PrintTo(const SecondInstallerRow& row, std::ostream* out) { *out << row.name; }

class SecondInstallerTest : public InstallerTest, public ::testing::WithParamInterface<SecondInstallerRow> {};

TEST_P(SecondInstallerTest, EndsSilentlyHavingDoneNothing) {
  const SecondInstallerRow& row = GetParam();
  winsim::HoldMutexInAnotherProcess(INSTALLER_MUTEX_NAME);
  HWND first = row.firstHasAWindow
                   ? winsim::AddWindowOfAnotherProcess(STATUS_WINDOW_CLASS, texts::kAppCaption, row.windowVisible)
                   : nullptr;
  winsim::AddWindowOfAnotherProcess("OtherProgram", texts::kAppCaption, true);
  winsim::SetBoxHandler([](const winsim::BoxRecord&) { return IDYES; });
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_TRUE(winsim::ProcessStarts().empty());
  EXPECT_EQ(winsim::CallCount("CreateDirectoryA") + winsim::CallCount("CopyFileA"), 0);
  EXPECT_TRUE(winsim::RegOpens().empty()) << "not even the device wait";
  EXPECT_EQ(winsim::CallCount("CreateThread"), 0) << "no status window of its own";
  EXPECT_EQ(winsim::ForegroundRequests(), row.broughtToFront ? std::vector<HWND>{first} : std::vector<HWND>{});
}

INSTANTIATE_TEST_SUITE_P(Rows, SecondInstallerTest,
                         ::testing::Values(SecondInstallerRow{"FirstShowsItsWindow", true, true, true},     // 1
                                           SecondInstallerRow{"FirstHidesItsWindow", true, false, false},   // 2
                                           SecondInstallerRow{"FirstHasNoWindow", false, false, false}),   // 3
                         [](const ::testing::TestParamInfo<SecondInstallerRow>& row) { return row.param.name; });

TEST_F(RunSequenceTest, FirstInstallerHoldsItsNameForTheWholeRunAndGivesItUpWithItsProcess) {
  DevicePresent();
  winsim::BeforeCall("WinExec", 1, [] { EXPECT_EQ(winsim::OpenSyncHandles().mutexes, 1); });
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::ProcessStarts().size(), 1u);
  // Its process has ended: the next installer is the only one again.
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::ProcessStarts().size(), 2u);
}

// Phase C: which flag a version sets.
struct OsRow {
  winsim::Version version;
  int win95, win98, nt;
};

class OsKindTest : public ::testing::TestWithParam<OsRow> {
 protected:
  void SetUp() override { winsim::Reset(); }
};

TEST_P(OsKindTest, PlatformAndMinorVersionDecide) {
  const OsRow& row = GetParam();
  winsim::SetVersion(row.version);
  OsKind kind = ClassifyOs();
  EXPECT_EQ(kind.isWin95, row.win95);
  EXPECT_EQ(kind.isWin98, row.win98);
  EXPECT_EQ(kind.isNT, row.nt);
}

INSTANTIATE_TEST_SUITE_P(Versions, OsKindTest,
                         ::testing::Values(OsRow{{1, 4, 0, 950}, 1, 0, 0},     // 1 Windows 95
                                           OsRow{{1, 4, 10, 1998}, 0, 1, 0},   // 2 Windows 98
                                           OsRow{{1, 4, 90, 3000}, 0, 1, 0},   // 3 Windows Me counts as 98
                                           OsRow{{1, 5, 0, 0}, 1, 0, 0},       // 4 major version ignored
                                           OsRow{{2, 4, 0, 1381}, 0, 0, 1},    // 5 NT 4.0
                                           OsRow{{2, 5, 1, 2600}, 0, 0, 1},    // 6 any NT
                                           OsRow{{0, 3, 10, 0}, 0, 0, 0},      // 7 Win32s: other
                                           OsRow{{3, 4, 0, 0}, 0, 0, 0}));     // 8 unknown platform

TEST_F(RunSequenceTest, FailedVersionQueryClassifiesAsOther) {
  winsim::FailVersionQuery(true);
  OsKind kind = ClassifyOs();
  EXPECT_EQ(kind.isWin95 + kind.isWin98 + kind.isNT, 0);
}

}  // namespace
}  // namespace qtest
