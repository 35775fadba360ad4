// The resource reader and the dialog manager on resources of their own
// (dialogs_test.rc): both template forms, control classes by ordinal and by
// name, icon groups, and a dialog built and run from a template's styles.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "sim_dialogs.h"
#include "sim_machine.h"
#include "temp_folder.h"

namespace {

const int kPlain = 10;     // DIALOG, no font
const int kExtended = 11;  // DIALOGEX, with classes the manager does not build

// Values the programs never use, so winsim's headers leave them out.
const uint32_t kIconStatic = 0x3;      // SS_ICON
const uint32_t kSimpleCombo = 0x1;     // CBS_SIMPLE, a COMBOBOX statement's own
const uint32_t kExToolWindow = 0x80;   // WS_EX_TOOLWINDOW
const uint32_t kExClientEdge = 0x200;  // WS_EX_CLIENTEDGE
const uint16_t kGerman = 0x407;        // LANG_GERMAN, SUBLANG_GERMAN
const uint32_t kChild = WS_CHILD | WS_VISIBLE;

class DialogResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    winsim::LoadProgramResources(QT_WINSIM_TEST_RES);
  }
  void TearDown() override { EXPECT_EQ(winsim::WindowCount(), 0); }
  static winsim::DialogTemplate Template(int id) {
    winsim::DialogTemplate dialog{};
    EXPECT_TRUE(winsim::FindDialogTemplate(id, &dialog)) << id;
    return dialog;
  }
};

struct ControlRow {
  uint32_t id;
  const char* windowClass;
  uint32_t style;
  uint32_t exStyle;
  const char* text;
};

void ExpectControls(const winsim::DialogTemplate& dialog, const std::vector<ControlRow>& rows) {
  ASSERT_EQ(dialog.controls.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].id);
    const winsim::ControlTemplate& control = dialog.controls[i];
    EXPECT_EQ(control.id, rows[i].id);
    EXPECT_EQ(control.windowClass, rows[i].windowClass);
    EXPECT_EQ(control.style, rows[i].style);
    EXPECT_EQ(control.exStyle, rows[i].exStyle);
    EXPECT_EQ(control.text, rows[i].text);
  }
}

TEST_F(DialogResourcesTest, PlainTemplateHasNoFontAndSixteenBitIds) {
  winsim::DialogTemplate dialog = Template(kPlain);
  EXPECT_FALSE(dialog.extended);
  EXPECT_EQ(dialog.language, kGerman);
  EXPECT_EQ(dialog.style, WS_POPUP | WS_CAPTION);
  EXPECT_EQ(dialog.exStyle, static_cast<uint32_t>(WS_EX_APPWINDOW));
  EXPECT_EQ(std::vector<int>({dialog.x, dialog.y, dialog.cx, dialog.cy}), std::vector<int>({2, 3, 100, 50}));
  EXPECT_EQ(dialog.caption, "Plain");
  EXPECT_EQ(dialog.pointSize, 0);
  EXPECT_EQ(dialog.typeface, "");
  ExpectControls(dialog, {{301, "Button", kChild | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 0, "Off"},
                          {302, "Button", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, "On"},
                          {303, "Button", kChild | BS_DEFPUSHBUTTON, 0, "Default"},
                          {304, "ListBox", kChild | WS_BORDER | LBS_SORT, 0, ""},
                          {305, "Edit", kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_READONLY, 0, ""}});
  const winsim::ControlTemplate& list = dialog.controls[3];
  EXPECT_EQ(std::vector<int>({list.x, list.y, list.cx, list.cy}), std::vector<int>({40, 20, 55, 25}));
}

// The extended form swaps style and extended style, widens ids to 32 bits
// and gives the font a weight, an italic flag and a character set.
TEST_F(DialogResourcesTest, ExtendedTemplateHasItsFontAndThirtyTwoBitIdsAndClassesByName) {
  winsim::DialogTemplate dialog = Template(kExtended);
  EXPECT_TRUE(dialog.extended);
  EXPECT_EQ(dialog.language, kGerman);
  EXPECT_EQ(dialog.style, WS_POPUP | DS_SETFONT);
  EXPECT_EQ(dialog.exStyle, kExToolWindow);
  EXPECT_EQ(dialog.pointSize, 9);
  EXPECT_EQ(dialog.typeface, "Arial");
  ExpectControls(dialog, {{70000, "ScrollBar", kChild, kExClientEdge, ""},
                          {2, "ComboBox", kChild | WS_TABSTOP | kSimpleCombo, 0, ""},
                          {3, "Button", kChild | BS_PUSHBUTTON, 0, "Go"},  // "button": a predefined class in any case
                          {4, "MYCLASS", kChild, 0, ""},                   // as the resource compiler wrote it
                          {5, "Static", kChild | kIconStatic, 0, ""}});    // its text is the icon's number
}

TEST_F(DialogResourcesTest, IconGroupKeepsItsOrderAndLoadIconChoosesThe32By32Image) {
  std::vector<winsim::IconImage> images = winsim::IconGroup(1);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(std::vector<int>({images[0].width, images[0].height, images[0].bitCount, images[0].colorCount}),
            std::vector<int>({16, 16, 4, 16}));
  EXPECT_EQ(std::vector<int>({images[1].width, images[1].height, images[1].bitCount, images[1].colorCount}),
            std::vector<int>({32, 32, 1, 2}));
  EXPECT_EQ(images[1].language, kGerman);
  winsim::IconInfo loaded = winsim::IconOf(LoadIconA(nullptr, MAKEINTRESOURCEA(1)));
  EXPECT_EQ(loaded.groupId, 1);
  EXPECT_EQ(loaded.image.width, 32);
  EXPECT_EQ(loaded.image.bitCount, 1);
}

// What reached the dialog procedure, in order.
std::string sTrace;
HWND sFirstTabStop = nullptr;

// Answers WM_INITDIALOG with its parameter; ends the dialog with the id of
// the button clicked.
INT_PTR CALLBACK TracingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT: sTrace += "font;"; return FALSE;
    case WM_INITDIALOG:
      sFirstTabStop = reinterpret_cast<HWND>(wParam);
      sTrace += "init, added at";
      for (const char* line : {"b", "A", "c"})
        sTrace += " " + std::to_string(SendDlgItemMessageA(dialog, 304, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)));
      sTrace += ";";
      return lParam;
    case WM_COMMAND:
      sTrace += "command " + std::to_string(LOWORD(wParam)) + ";";
      if (HIWORD(wParam) == BN_CLICKED) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    case WM_DESTROY: sTrace += "destroy;"; return FALSE;
    case WM_NCDESTROY: sTrace += "ncdestroy;"; return FALSE;
    default: return FALSE;
  }
}

// Without DS_SETFONT no WM_SETFONT comes. A TRUE answer to WM_INITDIALOG
// focuses the first tab stop that is not disabled, and Enter presses it;
// otherwise, or once a click moved the focus to the list, Enter presses the
// default push button. The list box sorts (LBS_SORT) and reports no click
// (no LBS_NOTIFY).
TEST_F(DialogResourcesTest, TemplateStylesDecideFocusEnterSortingAndNotification) {
  struct Row {
    BOOL initAnswer;
    bool clickList;
    int pressed;
  };
  for (const Row& row : {Row{TRUE, false, 302}, Row{FALSE, false, 303}, Row{TRUE, true, 303}}) {
    SCOPED_TRACE(row.initAnswer + 2 * row.clickList);
    sTrace.clear();
    winsim::AddDialogScript([&row](winsim::DialogUser& user) {
      EXPECT_EQ(sFirstTabStop, GetDlgItem(user.Handle(), 302));
      RECT client;
      ASSERT_TRUE(GetClientRect(user.Handle(), &client));
      EXPECT_EQ(std::vector<LONG>({client.right, client.bottom}), std::vector<LONG>({150, 81}));  // 6 x 13 base units
      if (row.clickList) user.Select(2);
      user.PressEnter();
    });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kPlain), nullptr, TracingProc, row.initAnswer), row.pressed);
    EXPECT_EQ(sTrace, "init, added at 0 0 2;command " + std::to_string(row.pressed) + ";destroy;ncdestroy;");
    EXPECT_EQ(winsim::Dialogs().back().initialLines, std::vector<std::string>({"A", "b", "c"}));
  }
}

using DialogResourcesDeathTest = DialogResourcesTest;

TEST_F(DialogResourcesDeathTest, WhatIsNotModelledStopsTheTest) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kExtended), nullptr, TracingProc, TRUE),
               "a control of class ScrollBar");
  winsim::AddDialogScript([](winsim::DialogUser& user) { user.Type("x"); });
  EXPECT_DEATH(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kPlain), nullptr, TracingProc, TRUE), "read-only");
  // A file cut short inside a resource is not what the resource compiler writes.
  TempFolder temp("qtonal-winsim");
  std::ifstream whole(QT_WINSIM_TEST_RES, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
  std::string cut = temp.path() + "/cut.res";
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 16);
  EXPECT_DEATH(winsim::LoadProgramResources(cut), "a malformed resource file");
}

}  // namespace
