#include "source_dir_dlg.h"

#include "app.h"
#include "path_text.h"
#include "text.h"

namespace {

// A folder is entered only if it can still be searched: the folder, "*.*"
// and the terminator must fit in MAX_PATH. A folder too deep for that is not
// entered, and the dialog stays as it was.
BOOL CanBeListed(LPCSTR folder) { return TextLength(folder) + 3 < MAX_PATH; }

}  // namespace

CSourceDirDlg::CSourceDirDlg(const DriveList& driveList)
    : CDialogBase(IDD_SOURCE_DIR), drives(driveList), tags(NULL), icon(NULL), list(NULL), edit(NULL) {
  path[0] = '\0';
  CAppBase* app = CAppBase::Current();
  icon = LoadIconA(app != NULL ? app->Instance() : NULL, MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CSourceDirDlg::~CSourceDirDlg() {
  // Normally freed with the window; this covers a dialog never shown.
  TextList::Destroy(tags);
}

void CSourceDirDlg::AddLine(LPCSTR text, LPCSTR tag) {
  // A line the list box refused gets no tag, so lines and tags stay in step.
  LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (index == LB_ERR || index == LB_ERRSPACE) return;
  if (!tags->Add(tag)) {
    // No memory for the tag: start the list afresh rather than let a line
    // carry another line's tag.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    tags->RemoveAll();
  }
}

void CSourceDirDlg::AddBracketedLine(LPCSTR name, size_t length, LPCSTR tag) {
  // "[" + at most MAX_PATH characters of the name + "]" and the terminator.
  char line[MAX_PATH + 3];
  if (length > MAX_PATH) length = MAX_PATH;
  line[0] = '[';
  for (size_t i = 0; i < length; ++i) line[i + 1] = name[i];
  line[length + 1] = ']';
  line[length + 2] = '\0';
  AddLine(line, tag);
}

void CSourceDirDlg::AddDriveLines() {
  for (int i = 0; i < drives.Count(); ++i) {
    // The root without its backslash: "[X:]".
    LPCSTR root = drives.At(i);
    size_t length = TextLength(root);
    if (PathTextEndsWithBackslash(root)) --length;
    AddBracketedLine(root, length, ENTRY_DRIVE);
  }
}

void CSourceDirDlg::ListFolder(LPCSTR folder) {
  char pattern[MAX_PATH];
  if (!PathTextCopy(pattern, folder) || !PathTextAppend(pattern, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  // Nothing found (a drive with no disc, a missing folder): no folder lines.
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    // The name fills at most the whole record.
    LPCSTR name = found.cFileName;
    size_t length = 0;
    while (length < MAX_PATH && name[length] != '\0') ++length;
    LPCSTR tag = ENTRY_FOLDER;
    if (length == 1 && name[0] == '.') tag = ENTRY_DOT;
    if (length == 2 && name[0] == '.' && name[1] == '.') tag = ENTRY_DOTDOT;
    AddBracketedLine(name, length, tag);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Fills the list anew for `folder` and makes it the current folder. The one
// way the dialog shows a folder: initialisation passes the empty text, which
// stands for the first drive's root with its backslash. With no drives, or
// a first root too long to take its backslash, only the drive lines are
// shown and the field and `path` are empty.
void CSourceDirDlg::ShowFolder(LPCSTR folder) {
  char shown[MAX_PATH];
  shown[0] = '\0';
  if (folder[0] != '\0') {
    PathTextCopy(shown, folder);
  } else if (drives.Count() > 0 && (!PathTextCopy(shown, drives.At(0)) || !PathTextAddBackslash(shown))) {
    shown[0] = '\0';
  }

  tags->RemoveAll();
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  AddDriveLines();
  if (drives.Count() > 0 && shown[0] != '\0') ListFolder(shown);
  if (shown[0] != '\0' && SendMessageA(list, LB_GETCOUNT, 0, 0) > 0) {
    SetWindowTextA(edit, shown);
    // Line 0, the first drive, is selected, not the folder chosen.
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    PathTextCopy(path, shown);
  } else {
    SetWindowTextA(edit, "");
    path[0] = '\0';
  }
}

// The folder name of a line: its text without the brackets.
//
// LB_GETTEXTLEN promises only at least the line's length: on NT, with a
// double-byte code page, an ANSI program may be told up to twice as much.
// So it only sizes the buffer (room for the longest line counted twice);
// the text and its true length come from LB_GETTEXT.
BOOL CSourceDirDlg::LineName(int line, LPSTR name) {
  char text[2 * (MAX_PATH + 2) + 1];
  LRESULT room = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0);
  // LB_GETTEXT copies the whole line: a line that might not fit is refused.
  if (room < 2 || room >= static_cast<LRESULT>(sizeof text)) return FALSE;
  LRESULT length = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text));
  if (length < 2 || length > room) return FALSE;
  if (text[0] != '[' || text[length - 1] != ']') return FALSE;
  name[0] = '\0';
  return PathTextAppendPart(name, text + 1, static_cast<size_t>(length - 2));
}

BOOL CSourceDirDlg::OnInitDialog() {
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  list = GetDlgItem(Handle(), IDC_SOURCE_LIST);
  edit = GetDlgItem(Handle(), IDC_SOURCE_PATH);

  tags = TextList::Create();
  if (tags == NULL) {
    EndDialog(-1);  // the dialog cannot work: the caller sees a failed showing
    return TRUE;
  }
  ShowFolder("");
  return TRUE;  // the default focus
}

void CSourceDirDlg::OnSelChange() {
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  LRESULT line = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (tags == NULL || line == LB_ERR || count <= 0 || line >= count) return;
  LPCSTR tag = tags->At(static_cast<int>(line));
  if (tag == NULL) return;

  char folder[MAX_PATH];
  folder[0] = '\0';
  if (TextCompare(tag, ENTRY_DRIVE) == 0) {
    LPCSTR root = drives.At(static_cast<int>(line));
    if (root == NULL || !PathTextCopy(folder, root) || !PathTextAddBackslash(folder)) return;
  } else if (TextCompare(tag, ENTRY_DOTDOT) == 0) {
    // Up one folder; a drive root stays as it is.
    PathTextCopy(folder, path);
    PathTextCutToParent(folder);
  } else if (TextCompare(tag, ENTRY_FOLDER) == 0) {
    char name[MAX_PATH];
    if (!LineName(static_cast<int>(line), name)) return;
    if (!PathTextCopy(folder, path) || !PathTextAppend(folder, name) || !PathTextAddBackslash(folder) ||
        !CanBeListed(folder))
      return;
  } else {
    return;  // "." changes nothing
  }
  ShowFolder(folder);
}

void CSourceDirDlg::OnOK() {
  // What the user typed wins over the navigated folder: at most 259 bytes.
  // A text of 259 bytes without a backslash has no room for one, and a text
  // cut inside a double-byte character cannot take one (it would become the
  // character's second byte): either is handed back without it, and the
  // proof of the folder refuses it.
  path[0] = '\0';
  GetWindowTextA(edit, path, MAX_PATH);
  PathTextAddBackslash(path);
  EndDialog(IDOK);
}

void CSourceDirDlg::OnCancel() { EndDialog(IDCANCEL); }

void CSourceDirDlg::OnDestroy() {
  TextList::Destroy(tags);
  tags = NULL;
}

BOOL CSourceDirDlg::OnPaint() {
  if (!IsIconic(Handle())) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle(), &paint);
  SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  // The icon centred in the client area.
  int iconWidth = GetSystemMetrics(SM_CXICON);
  int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(Handle(), &client);
  int x = (client.right - client.left - iconWidth + 1) / 2;
  int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, icon);
  EndPaint(Handle(), &paint);
  return TRUE;
}

HICON CSourceDirDlg::OnQueryDragIcon() { return icon; }
