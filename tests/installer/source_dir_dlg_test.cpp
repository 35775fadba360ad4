// The source folder dialog, operated by the scripted user: what it lists,
// how it navigates, what OK hands back, and how it paints when minimised.
#include <string>
#include <vector>

#include "installer_fixture.h"
#include "source_dir_dlg.h"

namespace qtest {
namespace {

using Lines = std::vector<std::string>;
using winsim::DialogUser;
using winsim::PaintEvent;

class SourceDirDlgTest : public InstallerTest {
 protected:
  // The machine of the examples: C: with the folders AUDIO (holding
  // DRIVERS) and WINDOWS and a file, D: a CD-ROM drive with no disc.
  void SetUp() override {
    InstallerTest::SetUp();
    ClearDrives();
    winsim::MapDrive('C', winsim::kDriveFixed, HostFolder("c"));
    winsim::MapEmptyDrive('D', winsim::kDriveCdrom);
    HostFolder("c/AUDIO/DRIVERS");
    HostFolder("c/WINDOWS");
    WriteMediaFile("c/AUTOEXEC.BAT");
    drives_.Add("C:\\");
    drives_.Add("D:\\");
  }

  // Shows a fresh dialog over the drive list, run by `script`.
  INT_PTR Show(winsim::DialogScript script) {
    winsim::AddDialogScript(std::move(script));
    CSourceDirDlg dialog(drives_);
    INT_PTR result = dialog.DoModal();
    path_ = dialog.path;
    return result;
  }

  // Checks what the user sees: the lines, the selection and the field.
  static void ExpectView(const DialogUser& user, const Lines& lines, int selection, const std::string& field) {
    EXPECT_EQ(user.Lines(), lines);
    EXPECT_EQ(user.Selection(), selection);
    EXPECT_EQ(user.Field(), field);
  }

  DriveList drives_;
  std::string path_;
};

const Lines kRootOfC = {"[C:]", "[D:]", "[AUDIO]", "[WINDOWS]"};

TEST_F(SourceDirDlgTest, OpensOnTheFirstDriveWithDriveLinesFirst) {
  ASSERT_EQ(Show([](DialogUser& user) {
              EXPECT_EQ(user.Caption(), texts::kAppCaption);
              ExpectView(user, kRootOfC, 0, "C:\\");
              user.PressOK();
            }),
            IDOK);
  EXPECT_EQ(path_, "C:\\");
  ASSERT_EQ(winsim::Dialogs().size(), 1u);
  EXPECT_EQ(winsim::Dialogs()[0].templateId, 102);
  EXPECT_EQ(winsim::Dialogs()[0].initialLines, kRootOfC);
}

TEST_F(SourceDirDlgTest, DriveLinesFollowTheDriveListOrder) {
  drives_.RemoveAll();
  drives_.Add("D:\\");
  drives_.Add("C:\\");
  Show([](DialogUser& user) {
    ExpectView(user, {"[D:]", "[C:]"}, 0, "D:\\");  // D: has no disc: no folder lines
    user.PressCancel();
  });
}

// Entering folders, "." and ".." and a drive with no disc are run as the
// scenario dialog_navigation_up, here and under Wine.

TEST_F(SourceDirDlgTest, HiddenFoldersAreListedAndFilesAreNot) {
  HostFolder("c/.store");
  Show([](DialogUser& user) {
    ExpectView(user, {"[C:]", "[D:]", "[.store]", "[AUDIO]", "[WINDOWS]"}, 0, "C:\\");
    user.PressCancel();
  });
}

TEST_F(SourceDirDlgTest, EmptyDriveListShowsNothingAndOkGivesABackslash) {
  drives_.RemoveAll();
  ASSERT_EQ(Show([](DialogUser& user) {
              ExpectView(user, {}, -1, "");
              user.PressOK();
            }),
            IDOK);
  EXPECT_EQ(path_, "\\");
}

// What OK hands back for a typed text.
struct TypedRow {
  std::string typed;
  std::string path;
};

class TypedPathTest : public SourceDirDlgTest, public ::testing::WithParamInterface<TypedRow> {};

TEST_P(TypedPathTest, TypedTextWinsAndEndsWithABackslash) {
  std::string typed = GetParam().typed;
  ASSERT_EQ(Show([&](DialogUser& user) {
              user.SelectText("[AUDIO]");
              user.Type(typed);
              user.PressOK();
            }),
            IDOK);
  EXPECT_EQ(path_, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedPathTest,
    ::testing::Values(TypedRow{"E:\\CD\\DRIVERS", "E:\\CD\\DRIVERS\\"},                          // 1
                      TypedRow{"E:\\CD\\", "E:\\CD\\"},                                          // 2 unchanged
                      TypedRow{"", "\\"},                                                        // 3 emptied
                      TypedRow{"D:\\" + std::string(255, 'a'), "D:\\" + std::string(255, 'a') + "\\"},  // 4 258 + 1
                      TypedRow{"D:\\" + std::string(256, 'a'), "D:\\" + std::string(256, 'a')},  // 5 259: no room
                      TypedRow{"D:\\" + std::string(255, 'a') + "\\", "D:\\" + std::string(255, 'a') + "\\"},  // 6
                      TypedRow{"D:\\" + std::string(297, 'a'), "D:\\" + std::string(256, 'a')}));  // 7 cut at 259

TEST_F(SourceDirDlgTest, EnterPressesOkAndEscapeOrCloseCancel) {
  EXPECT_EQ(Show([](DialogUser& user) {
              user.Type("E:\\X");
              user.PressEnter();
            }),
            IDOK);
  EXPECT_EQ(path_, "E:\\X\\");
  EXPECT_EQ(Show([](DialogUser& user) { user.PressEscape(); }), IDCANCEL);
  EXPECT_EQ(Show([](DialogUser& user) { user.Close(); }), IDCANCEL);
  EXPECT_EQ(Show([](DialogUser& user) { user.PressCancel(); }), IDCANCEL);
  EXPECT_EQ(winsim::Dialogs().size(), 4u);
  EXPECT_EQ(winsim::Dialogs()[0].finalField, "E:\\X");
}

TEST_F(SourceDirDlgTest, IconIsTheApplicationIconForBothSizes) {
  Show([](DialogUser& user) {
    HICON big = user.Icon(true);
    EXPECT_NE(big, nullptr);
    EXPECT_EQ(user.Icon(false), big);
    winsim::IconInfo info = winsim::IconOf(big);
    EXPECT_EQ(info.groupId, 128);
    EXPECT_EQ(info.image.width, 32);
    EXPECT_EQ(info.image.height, 32);
    EXPECT_EQ(info.image.bitCount, 4);
    EXPECT_EQ(user.DragIcon(), big);
    user.PressCancel();
  });
}

TEST_F(SourceDirDlgTest, MinimisedPaintingErasesThenDrawsTheIconCentred) {
  struct Row {
    int width, height, x, y;
  };
  Show([](DialogUser& user) {
    HICON icon = user.Icon(true);
    for (const Row& row : {Row{36, 36, 2, 2}, Row{37, 38, 3, 3}, Row{160, 24, 64, -3}}) {
      SCOPED_TRACE(row.width);
      user.Minimise(row.width, row.height);
      std::vector<PaintEvent> paint = user.Paint();
      ASSERT_EQ(paint.size(), 4u);
      EXPECT_EQ(paint[0].kind, PaintEvent::kBeginPaint);
      EXPECT_EQ(paint[1].kind, PaintEvent::kIconBackground);
      EXPECT_EQ(paint[1].dc, paint[0].dc);
      EXPECT_EQ(paint[2].kind, PaintEvent::kDrawIcon);
      EXPECT_EQ(paint[2].dc, paint[0].dc);
      EXPECT_EQ(paint[2].icon, icon);
      EXPECT_EQ(paint[2].x, row.x);
      EXPECT_EQ(paint[2].y, row.y);
      EXPECT_EQ(paint[3].kind, PaintEvent::kEndPaint);
    }
    user.Restore();
    std::vector<PaintEvent> paint = user.Paint();
    ASSERT_EQ(paint.size(), 1u);
    EXPECT_EQ(paint[0].kind, PaintEvent::kDefaultPaint);
    user.PressCancel();
  });
}

// Over-long folders: C:\ + a 249-character name + \ is 253 characters. A
// folder is entered only while folder + "*.*" still fits: 256 characters
// enter, 257 do not.
TEST_F(SourceDirDlgTest, FolderTooDeepToSearchIsNotEntered) {
  std::string deep(249, 'd');
  HostFolder("c/" + deep + "/xx");
  HostFolder("c/" + deep + "/yyy");
  std::string deepPath = "C:\\" + deep + "\\";
  ASSERT_EQ(deepPath.size(), 253u);
  Show([&](DialogUser& user) {
    user.SelectText("[" + deep + "]");
    Lines deepLines = {"[C:]", "[D:]", "[.]", "[..]", "[xx]", "[yyy]"};
    ExpectView(user, deepLines, 0, deepPath);
    user.SelectText("[xx]");
    ExpectView(user, {"[C:]", "[D:]", "[.]", "[..]"}, 0, deepPath + "xx\\");  // 256 characters
    user.SelectText("[..]");
    user.SelectText("[yyy]");  // 257 characters: stays
    ExpectView(user, deepLines, 5, deepPath);
    user.PressOK();
  });
  EXPECT_EQ(path_, deepPath);
}

// LB_GETTEXTLEN may report more than a line's length (NT with a double-byte
// code page, up to twice as much): folder lines still navigate. A report
// too large for any line the dialog can hold is refused, and the click
// changes nothing.
TEST_F(SourceDirDlgTest, FolderLinesNavigateWhenTheListOverstatesTheirLength) {
  std::string name(240, 'n');  // C:\AUDIO\ + 240 + \ is 250 characters: it can be listed
  HostFolder("c/AUDIO/" + name);
  Lines audioLines = {"[C:]", "[D:]", "[.]", "[..]", "[DRIVERS]", "[" + name + "]"};
  struct Row {
    size_t surplus;
    bool navigates;
  };
  for (const Row& row : {Row{1, true}, Row{9, true}, Row{242, true} /* twice the long line */, Row{600, false}}) {
    SCOPED_TRACE(row.surplus);
    winsim::SetListBoxTextLengthSurplus(row.surplus);
    Show([&](DialogUser& user) {
      user.SelectText("[AUDIO]");
      if (!row.navigates) {
        ExpectView(user, kRootOfC, 2, "C:\\");
        user.PressCancel();
        return;
      }
      ExpectView(user, audioLines, 0, "C:\\AUDIO\\");
      if (user.Lines() != audioLines) {  // not entered: the lines below are missing
        user.PressCancel();
        return;
      }
      user.SelectText("[" + name + "]");
      ExpectView(user, {"[C:]", "[D:]", "[.]", "[..]"}, 0, "C:\\AUDIO\\" + name + "\\");
      user.SelectText("[..]");
      user.SelectText("[DRIVERS]");
      ExpectView(user, {"[C:]", "[D:]", "[.]", "[..]"}, 0, "C:\\AUDIO\\DRIVERS\\");
      user.PressOK();
    });
    EXPECT_EQ(path_, row.navigates ? "C:\\AUDIO\\DRIVERS\\" : "C:\\");
  }
}

// Opening and a click on a drive line show a folder the same way: a first
// drive given without its backslash opens on its root with the backslash.
TEST_F(SourceDirDlgTest, OpeningShowsTheFirstDriveAsAClickOnItWould) {
  drives_.RemoveAll();
  drives_.Add("C:");
  drives_.Add("D:\\");
  Show([](DialogUser& user) {
    ExpectView(user, kRootOfC, 0, "C:\\");
    user.SelectText("[D:]");
    user.SelectText("[C:]");
    ExpectView(user, kRootOfC, 0, "C:\\");
    user.PressOK();
  });
  EXPECT_EQ(path_, "C:\\");
  ASSERT_EQ(winsim::Dialogs().size(), 1u);
  EXPECT_EQ(winsim::Dialogs()[0].initialField, "C:\\");
}

// A first drive whose root has no room for its backslash shows only the
// drive lines, nothing selected and an empty field; the other drives still
// work.
TEST_F(SourceDirDlgTest, FirstRootTooLongForItsBackslashShowsOnlyTheDriveLines) {
  std::string longRoot = "C:\\" + std::string(256, 'r');  // 259 characters
  drives_.RemoveAll();
  drives_.Add(longRoot.c_str());
  drives_.Add("C:\\");
  Lines driveLines = {"[" + longRoot + "]", "[C:]"};
  Show([&](DialogUser& user) {
    ExpectView(user, driveLines, -1, "");
    user.Select(0);  // still no room: nothing changes but the click's selection
    ExpectView(user, driveLines, 0, "");
    user.Select(1);
    ExpectView(user, {"[" + longRoot + "]", "[C:]", "[AUDIO]", "[WINDOWS]"}, 0, "C:\\");
    user.PressOK();
  });
  EXPECT_EQ(path_, "C:\\");
}

}  // namespace
}  // namespace qtest
