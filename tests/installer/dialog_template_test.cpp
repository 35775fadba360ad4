// The installer's compiled resources: the controls of the source folder
// dialog's template (resource 102), read from the same .res bytes the
// Windows build links.
#include "installer_fixture.h"
#include "resource.h"

namespace qtest {
namespace {

class ResourcesTest : public InstallerTest {};

// What the dialog's code relies on in each control: its id and class, and
// the styles that change behaviour. Layout is left to the .rc file.
struct ControlRow {
  uint32_t id;
  const char* windowClass;
  uint32_t set;    // styles the control must have
  uint32_t clear;  // styles it must not have
};

TEST_F(ResourcesTest, SourceFolderDialogControls) {
  const ControlRow rows[] = {
      {IDOK, "Button", WS_TABSTOP | BS_DEFPUSHBUTTON, WS_DISABLED},               // 1 Enter presses OK
      {IDCANCEL, "Button", WS_TABSTOP, BS_DEFPUSHBUTTON | WS_DISABLED},           // 2
      {0xFFFFFFFFu, "Static", 0, 0},                                              // 3 the prompt, no id
      {IDC_SOURCE_PATH, "Edit", WS_TABSTOP | ES_AUTOHSCROLL, ES_READONLY},        // 4 typed into
      {IDC_SOURCE_LIST, "ListBox", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY, LBS_SORT},  // 5 search order kept
  };
  winsim::DialogTemplate dialog;
  ASSERT_TRUE(winsim::FindDialogTemplate(IDD_SOURCE_DIR, &dialog));
  ASSERT_EQ(dialog.controls.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i + 1);
    const winsim::ControlTemplate& control = dialog.controls[i];
    EXPECT_EQ(control.id, rows[i].id);
    EXPECT_EQ(control.windowClass, rows[i].windowClass);
    EXPECT_EQ(control.style & (WS_CHILD | WS_VISIBLE | rows[i].set), WS_CHILD | WS_VISIBLE | rows[i].set);
    EXPECT_EQ(control.style & rows[i].clear, 0u);
  }
}

}  // namespace
}  // namespace qtest
