// The framework: the dialog base's object reaches its message map through
// DWLP_USER, handled messages answer as the dialog manager expects, a
// dialog that cannot be shown reports -1; WinMain's exit codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app.h"
#include "dialog.h"
#include "probe_dialog.h"
#include "sim_dialogs.h"
#include "sim_faults.h"
#include "sim_machine.h"

namespace qtest {
namespace {

const LONG_PTR kPoison = 0x5eed;

// A dialog that records what reached it.
class CProbeDlg : public CDialogBase {
 public:
  CProbeDlg() : CDialogBase(IDD_PROBE) {}
  explicit CProbeDlg(UINT templateId) : CDialogBase(templateId) {}

  std::string seen;
  HWND handleAtInit = NULL;

 protected:
  BEGIN_MSG_MAP(CProbeDlg)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_QUERYDRAGICON(OnQueryDragIcon)
    COMMAND_HANDLER(IDC_PROBE_LIST, LBN_SELCHANGE, OnSelChange)
    COMMAND_ID_HANDLER(IDOK, OnOK)
    MSG_WM_DESTROY(OnDestroy)
  END_MSG_MAP()

 private:
  BOOL OnInitDialog() {
    seen += "init;";
    handleAtInit = Handle();
    SendMessageA(GetDlgItem(Handle(), IDC_PROBE_LIST), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("[X:]"));
    return TRUE;
  }
  HICON OnQueryDragIcon() { return reinterpret_cast<HICON>(kPoison); }
  void OnSelChange() {
    seen += "select;";
    // The message map's answer to a command is 0, whatever the handler
    // left in the slot.
    SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, kPoison);
  }
  void OnOK() {
    seen += "ok;";
    EndDialog(IDOK);
  }
  void OnDestroy() { seen += "destroy;"; }
};

class DialogBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    winsim::LoadProgramResources(QT_PROBE_DIALOG_RES);
  }
  void TearDown() override {
    EXPECT_EQ(winsim::WindowCount(), 0) << "a window was left behind";
    EXPECT_EQ(winsim::PendingDialogScripts(), 0u) << "a scripted dialog was never shown";
  }
};

TEST_F(DialogBaseTest, MessagesReachTheObjectFromInitialisationToDestruction) {
  CProbeDlg dialog;
  winsim::AddDialogScript([&](winsim::DialogUser& user) {
    EXPECT_EQ(dialog.Handle(), user.Handle());
    EXPECT_EQ(GetWindowLongPtrA(user.Handle(), DWLP_USER), reinterpret_cast<LONG_PTR>(&dialog));
    // A handled message answers through DWLP_MSGRESULT.
    user.Select(0);
    EXPECT_EQ(GetWindowLongPtrA(user.Handle(), DWLP_MSGRESULT), 0);
    user.Type("typed");  // EN_UPDATE and EN_CHANGE: no handler, default handling
    // The direct-answer rule: the icon comes back as the procedure's result.
    EXPECT_EQ(user.DragIcon(), reinterpret_cast<HICON>(kPoison));
    user.PressOK();
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.seen, "init;select;ok;destroy;");
  EXPECT_NE(dialog.handleAtInit, nullptr);
  EXPECT_EQ(dialog.Handle(), nullptr);
}

TEST_F(DialogBaseTest, UnhandledMessagesGoToTheDefaultHandling) {
  CProbeDlg dialog;
  winsim::AddDialogScript([](winsim::DialogUser& user) {
    // No paint handler: the system paints. WM_CLOSE becomes IDCANCEL, which
    // this dialog does not handle either, so it stays open.
    EXPECT_EQ(user.Paint().size(), 1u);
    user.Close();
    EXPECT_FALSE(user.Ended());
    user.PressOK();
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST_F(DialogBaseTest, DialogThatCannotBeShownReturnsMinusOne) {
  winsim::InjectFault("DialogBoxParamA", 1, 8 /* ERROR_NOT_ENOUGH_MEMORY */);
  CProbeDlg dialog;
  EXPECT_EQ(dialog.DoModal(), -1);
  CProbeDlg missing(999);  // no such template
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(dialog.seen, "");
  ASSERT_EQ(winsim::Dialogs().size(), 2u);
  EXPECT_EQ(winsim::Dialogs()[1].result, -1);
}

// An application object whose start-up hook goes on or not, and whose
// Run ends with 7.
class CProbeApp : public CAppBase {
 public:
  explicit CProbeApp(BOOL starts) : starts_(starts) {}
  BOOL InitInstance() override { return starts_; }
  int Run() override { return 7; }
  BOOL starts_;
};

TEST(WinMainTest, ExitCodeOfEachEnd) {
  auto run = [] { return WinMain(nullptr, nullptr, const_cast<char*>(""), SW_SHOW); };
  EXPECT_EQ(run(), 1) << "no application object";
  EXPECT_EQ((CProbeApp(FALSE), run()), 0) << "the start-up hook ends the program";
  EXPECT_EQ((CProbeApp(TRUE), run()), 7) << "Run's code";
}

}  // namespace
}  // namespace qtest
