// The installer's compiled resources: the source folder dialog's template
// (resource 102) and the application icon (resource 128), read from the same
// .res bytes the Windows build links.
#include "installer_fixture.h"
#include "resource.h"

namespace qtest {
namespace {

class ResourcesTest : public InstallerTest {};

TEST_F(ResourcesTest, SourceFolderDialogTemplate) {
  winsim::DialogTemplate dialog;
  ASSERT_TRUE(winsim::FindDialogTemplate(IDD_SOURCE_DIR, &dialog));
  EXPECT_TRUE(dialog.extended);
  EXPECT_EQ(dialog.language, 0x409);  // English (US)
  EXPECT_EQ(dialog.style, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
  EXPECT_EQ(dialog.exStyle, static_cast<uint32_t>(WS_EX_APPWINDOW));
  EXPECT_EQ(dialog.cx, 320);
  EXPECT_EQ(dialog.cy, 206);
  EXPECT_EQ(dialog.caption, texts::kAppCaption);
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ(dialog.typeface, "MS Sans Serif");
}

struct ControlRow {
  uint32_t id;
  const char* windowClass;
  int x, y, cx, cy;
  const char* text;
  uint32_t style;  // every style bit, as the resource compiler set them
};

TEST_F(ResourcesTest, SourceFolderDialogControls) {
  const uint32_t child = WS_CHILD | WS_VISIBLE;
  const ControlRow rows[] = {
      {IDOK, "Button", 260, 7, 50, 14, "OK", child | WS_TABSTOP | BS_DEFPUSHBUTTON},  // 1 default button
      {IDCANCEL, "Button", 260, 23, 50, 14, "Cancel", child | WS_TABSTOP},          // 2
      {0xFFFFFFFFu, "Static", 5, 4, 245, 19,                                        // 3 no id
       "Please select the APs source path (not include W95-98\\app, setup program will add W95-98\\app to the "
       "path automatically.)",
       child | WS_GROUP | SS_LEFT},
      {IDC_SOURCE_PATH, "Edit", 5, 24, 246, 14, "", child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},  // 4 editable
      {IDC_SOURCE_LIST, "ListBox", 6, 43, 245, 157, "",                                               // 5 not sorted
       child | WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY},
  };
  winsim::DialogTemplate dialog;
  ASSERT_TRUE(winsim::FindDialogTemplate(IDD_SOURCE_DIR, &dialog));
  ASSERT_EQ(dialog.controls.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i + 1);
    const winsim::ControlTemplate& control = dialog.controls[i];
    EXPECT_EQ(control.id, rows[i].id);
    EXPECT_EQ(control.windowClass, rows[i].windowClass);
    EXPECT_EQ(control.x, rows[i].x);
    EXPECT_EQ(control.y, rows[i].y);
    EXPECT_EQ(control.cx, rows[i].cx);
    EXPECT_EQ(control.cy, rows[i].cy);
    EXPECT_EQ(control.text, rows[i].text);
    EXPECT_EQ(control.style, rows[i].style);
    EXPECT_EQ(control.exStyle, 0u);
  }
}

TEST_F(ResourcesTest, ApplicationIconIs32By32In16Colours) {
  std::vector<winsim::IconImage> images = winsim::IconGroup(IDR_MAINFRAME);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width, 32);
  EXPECT_EQ(images[0].height, 32);
  EXPECT_EQ(images[0].bitCount, 4);
  EXPECT_EQ(images[0].colorCount, 16);
  HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME));
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME)), icon);  // shared
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(129)), nullptr);
}

}  // namespace
}  // namespace qtest
