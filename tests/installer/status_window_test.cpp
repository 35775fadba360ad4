// The status window: its shape and place, what it shows, its own thread, and
// a run that goes on unchanged when any part of it cannot be made.
#include "installer_fixture.h"
#include "status_window.h"

namespace qtest {
namespace {

class StatusWindowTest : public InstallerTest {
 protected:
  void TearDown() override {
    status_.Close();
    InstallerTest::TearDown();
  }

  // The one window of the installer's own class, as the test sees it now.
  static winsim::WindowInfo Window() {
    std::vector<winsim::WindowInfo> windows = winsim::ProgramWindows();
    EXPECT_EQ(windows.size(), 1u);
    return windows.empty() ? winsim::WindowInfo{} : windows[0];
  }

  StatusWindow status_;
};

TEST_F(StatusWindowTest, CentredCaptionedWithoutCloseButtonOnAThreadOfItsOwnAndHiddenUntilShown) {
  winsim::SetScreenSize(800, 600);
  ASSERT_TRUE(status_.Open(nullptr));
  winsim::WindowInfo window = Window();
  EXPECT_EQ(window.className, STATUS_WINDOW_CLASS);
  EXPECT_EQ(window.caption, texts::kAppCaption);
  EXPECT_EQ(window.style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(window.style & (WS_SYSMENU | WS_POPUP | WS_CHILD), 0u) << "no system menu: no close button";
  EXPECT_EQ(window.exStyle & 0x8u, 0u) << "not topmost (WS_EX_TOPMOST)";
  EXPECT_EQ(window.x, (800 - window.width) / 2);
  EXPECT_EQ(window.y, (600 - window.height) / 2);
  EXPECT_NE(window.ownerThread, GetCurrentThreadId());
  EXPECT_FALSE(window.visible);
  ASSERT_EQ(window.controls.size(), 2u);
  EXPECT_EQ(window.controls[0].className, "Static");
  EXPECT_EQ(window.controls[0].style & SS_NOPREFIX, SS_NOPREFIX) << "a name with & shows as it is";
  EXPECT_EQ(window.controls[1].className, "msctls_progress32");
  for (const winsim::ControlInfo& control : window.controls) {
    EXPECT_GE(control.x, 0);
    EXPECT_LE(control.x + control.width, window.width) << control.className;
    EXPECT_LE(control.y + control.height, window.height) << control.className;
  }
  EXPECT_EQ(winsim::ProgramThreadsRunning(), 1);
  EXPECT_TRUE(ScreenSeen().empty());
}

// What Show puts on the bar: the position kept within a range of 1 to 65535.
struct ShowRow {
  int position, range;
  const char* seen;
};

TEST_F(StatusWindowTest, ShowKeepsTheBarWithinItsRangeAndHideTakesTheWindowAway) {
  const ShowRow rows[] = {
      {2, 24, "@0 2/24 text"},          // 1
      {-1, 24, "@0 0/24 text"},         // 2 before the start
      {30, 24, "@0 24/24 text"},        // 3 past the end
      {0, 0, "@0 0/1 text"},            // 4 an empty range is one step
      {9, 70000, "@0 9/65535 text"},    // 5 the bar's range has 16 bits
  };
  ASSERT_TRUE(status_.Open(nullptr));
  for (const ShowRow& row : rows) {
    SCOPED_TRACE(row.seen);
    status_.Show("text", row.position, row.range);
    EXPECT_EQ(ScreenSeen().back(), row.seen);
  }
  status_.Hide();
  EXPECT_EQ(ScreenSeen().back(), "@0 hidden");
  EXPECT_FALSE(Window().visible);
}

TEST_F(StatusWindowTest, CopyingShowsTheNameAsItIsUpToTheLongestASearchGives) {
  ASSERT_TRUE(status_.Open(nullptr));
  status_.ShowCopying("A&B.SYS", 1, 4);
  EXPECT_EQ(ScreenSeen().back(), "@0 1/4 Copying A&B.SYS...");
  std::string longest(259, 'n');
  status_.ShowCopying(longest.c_str(), 2, 4);
  EXPECT_EQ(ScreenSeen().back(), "@0 2/4 Copying " + longest + "...");
  std::string tooLong(260, 'n');
  status_.ShowCopying(tooLong.c_str(), 3, 4);
  EXPECT_EQ(ScreenSeen().back(), "@0 2/4 Copying " + longest + "...") << "nothing changes";
}

TEST_F(StatusWindowTest, UserClosingTheWindowLeavesItAndCloseEndsItsThreadForGood) {
  ASSERT_TRUE(status_.Open(nullptr));
  status_.Show("text", 1, 2);
  // Alt+F4 asks the window to close, even without a close button.
  SendMessageA(Window().handle, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Window().visible);
  status_.Close();
  EXPECT_EQ(winsim::WindowCount(), 0);
  EXPECT_EQ(winsim::ProgramThreadsRunning(), 0);
  EXPECT_EQ(ScreenSeen().back(), "@0 hidden");
  status_.Show("text", 2, 2);  // does nothing once closed
  EXPECT_EQ(ScreenSeen().size(), 2u);
  // A second window of the process finds its class registered.
  ASSERT_TRUE(status_.Open(nullptr));
  status_.Show("again", 1, 2);
  EXPECT_EQ(ScreenSeen().back(), "@0 1/2 again");
}

// A part of the window that cannot be made: the run is the same as without
// the window, only nothing is shown.
struct MissingPartRow {
  const char* faultPoint;
  int nth;
};

void PrintTo(const MissingPartRow& row, std::ostream* out) { *out << row.faultPoint << " " << row.nth; }

class StatusWindowMissingTest : public InstallerTest, public ::testing::WithParamInterface<MissingPartRow> {};

TEST_P(StatusWindowMissingTest, RunGoesOnAsWithoutIt) {
  winsim::InjectFault(GetParam().faultPoint, GetParam().nth, ERROR_ACCESS_DENIED);
  winsim::RegSetString(GamePortKey(kCard), "DeviceDesc", "");
  winsim::ScheduleAt(7000, [] { DevicePresent(); });
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(winsim::SleepCalls().size(), 2u);
  EXPECT_TRUE(winsim::Boxes().empty());
  EXPECT_EQ(winsim::ProcessStarts().size(), 1u);
  EXPECT_TRUE(ScreenSeen().empty());
}

INSTANTIATE_TEST_SUITE_P(Parts, StatusWindowMissingTest,
                         ::testing::Values(MissingPartRow{"CreateEventA", 1},      // 1 the signal of its start
                                           MissingPartRow{"CreateThread", 1},      // 2 its thread
                                           MissingPartRow{"RegisterClassExA", 1},  // 3 its class
                                           MissingPartRow{"CreateWindowExA", 1},   // 4 the window
                                           MissingPartRow{"CreateWindowExA", 2},   // 5 the text
                                           MissingPartRow{"CreateWindowExA", 3}));  // 6 the bar

}  // namespace
}  // namespace qtest
