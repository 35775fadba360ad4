// The source folder dialog: the user picks the drivers folder by hand.
//
// A one-column list shows the drives, then the folders of the current folder;
// a single click on a line navigates. The edit field always shows the current
// folder and may be overwritten. OK hands back the field's text as a folder
// path with a trailing backslash.
#pragma once

#include "dialog.h"
#include "drive_list.h"
#include "resource.h"

// What a list line is (the dialog's line tags, one per line, same order).
#define ENTRY_DRIVE "1"
#define ENTRY_DOT "2"
#define ENTRY_DOTDOT "3"
#define ENTRY_FOLDER "4"

class CSourceDirDlg : public CDialogBase {
 public:
  // The drive list is borrowed: read, never changed or freed.
  explicit CSourceDirDlg(const DriveList& driveList);
  ~CSourceDirDlg() override;

  // The current folder; after OK, the folder the user chose. It ends with a
  // backslash, except after OK on a text of 259 bytes that has no room for
  // one, or on a text the field cut inside a double-byte character: it is
  // then handed back as it was read, and the proof of the folder refuses it.
  char path[MAX_PATH];

 protected:
  BEGIN_MSG_MAP(CSourceDirDlg)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_QUERYDRAGICON(OnQueryDragIcon)
    COMMAND_HANDLER(IDC_SOURCE_LIST, LBN_SELCHANGE, OnSelChange)
    COMMAND_ID_HANDLER(IDOK, OnOK)
    COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    MSG_WM_DESTROY(OnDestroy)
  END_MSG_MAP()

 private:
  BOOL OnInitDialog();
  BOOL OnPaint();
  HICON OnQueryDragIcon();
  void OnSelChange();
  void OnOK();
  void OnCancel();
  void OnDestroy();

  void AddLine(LPCSTR text, LPCSTR tag);
  // Adds "[" + the first `length` characters of `name` + "]".
  void AddBracketedLine(LPCSTR name, size_t length, LPCSTR tag);
  void AddDriveLines();
  void ListFolder(LPCSTR folder);
  void ShowFolder(LPCSTR folder);
  BOOL LineName(int line, LPSTR name);

  const DriveList& drives;
  TextList* tags;
  HICON icon;
  HWND list;  // the list box (1001)
  HWND edit;  // the path field (1000)
};
