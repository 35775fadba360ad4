// Dialogs as a test sees them: the program's compiled resources, a scripted
// user who operates each modal dialog while it is shown, and a record of
// every showing.
//
// One template, two platforms: the native build compiles the program's .rc
// script with the same resource compiler as the Windows build into a binary
// .res file, and the test loads that file here as the loader would map the
// program's resources. DialogBoxParamA then builds the dialog and its
// controls from the binary template, with the styles the resource compiler
// gave them: a list box without LBS_NOTIFY sends no selection changes, one
// with LBS_SORT sorts its lines, Enter presses the BS_DEFPUSHBUTTON button.
#pragma once

#include "sim_tests_only.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace winsim {

// Resources -----------------------------------------------------------------

// Loads a compiled resource file (.res) as the running program's resources.
// They are the program's, not the machine's: Reset keeps them.
void LoadProgramResources(const std::string& resFile);

struct ControlTemplate {
  uint32_t id;
  std::string windowClass;  // "Button", "Edit", "Static", "ListBox", or a class name
  uint32_t style;
  uint32_t exStyle;
  int x, y, cx, cy;  // dialog units
  std::string text;
};

struct DialogTemplate {
  bool extended;  // DIALOGEX
  uint16_t language;
  uint32_t style;
  uint32_t exStyle;
  int x, y, cx, cy;
  std::string caption;
  uint16_t pointSize;
  std::string typeface;
  std::vector<ControlTemplate> controls;
};
// False when the program has no dialog template with that id.
bool FindDialogTemplate(int id, DialogTemplate* out);

struct IconImage {
  int width, height;
  int bitCount;  // bits per pixel of the stored image
  int colorCount;
  uint16_t language;
};
// The images of an icon group, in the group's order; empty when missing.
std::vector<IconImage> IconGroup(int id);
// What a loaded icon handle shows; width 0 for a handle that is no icon.
struct IconInfo {
  int groupId;
  IconImage image;
};
IconInfo IconOf(HICON icon);

// The scripted user ------------------------------------------------------------

struct PaintEvent {
  enum Kind { kBeginPaint, kIconBackground, kDrawIcon, kEndPaint, kDefaultPaint } kind;
  HDC dc;
  int x, y;
  HICON icon;
};

// The shown dialog as the user sees and operates it. Every action sends what
// the system would send; an action the dialog could not receive (a line that
// does not exist, a dialog that has already ended) ends the test loudly.
class DialogUser {
 public:
  explicit DialogUser(HWND dialog) : dialog_(dialog) {}

  HWND Handle() const { return dialog_; }
  std::string Caption() const;
  // The dialog's list box (the first in its template) and edit field.
  std::vector<std::string> Lines() const;
  int Selection() const;  // -1 when no line is selected
  std::string Field() const;
  std::string ControlText(int id) const;
  HICON Icon(bool big) const;  // what WM_SETICON set
  bool Ended() const;

  // A click on line n: the list box selects it and, if it has LBS_NOTIFY,
  // reports LBN_SELCHANGE to the dialog, even when the line was already
  // selected, as a click does.
  void Select(int line);
  // A click on the first line with exactly this text.
  void SelectText(const std::string& text);
  // Replaces the field's text as typing would; the edit field reports
  // EN_UPDATE and EN_CHANGE. Typing stops at the field's 32767-character limit.
  void Type(const std::string& text);
  void PressOK();      // a click on the button with id IDOK
  void PressCancel();  // a click on the button with id IDCANCEL
  void PressEnter();   // the default push button, as the dialog manager finds it
  void PressEscape();  // IDCANCEL, as the dialog manager sends it
  void Close();        // the system menu's Close: WM_CLOSE

  // Minimises the dialog; its client area is then width x height pixels.
  void Minimise(int clientWidth, int clientHeight);
  void Restore();
  // Asks the dialog to paint itself and returns what the painting did.
  std::vector<PaintEvent> Paint();
  // WM_QUERYDRAGICON, with the dialog manager's rules for the answer.
  HICON DragIcon();

 private:
  HWND dialog_;
};

using DialogScript = std::function<void(DialogUser&)>;

// Scripts for the coming showings, one per showing, in order. A dialog shown
// with no script left ends the test loudly, naming the dialog; a script that
// returns with the dialog still open does too.
void AddDialogScript(DialogScript script);
// Alternatively, one script for every showing (takes precedence while set).
void SetDialogHandler(DialogScript handler);
size_t PendingDialogScripts();

struct DialogRecord {
  int templateId;
  std::string caption;
  // What the user saw when the dialog appeared, after its initialisation.
  std::vector<std::string> initialLines;
  int initialSelection;
  std::string initialField;
  // The result DialogBoxParamA returned (-1: the dialog could not be shown),
  // and the field's text when the dialog ended.
  INT_PTR result;
  std::string finalField;
  // Message boxes shown before this dialog, to place it among them.
  size_t boxesBefore;
  // Windows of the program's own classes on screen when it appeared
  // (sim_windows.h).
  int visibleWindows;
};
std::vector<DialogRecord> Dialogs();

// From now until Reset, LB_GETTEXTLEN reports each line's length plus
// `extra`. The platform promises only a value at least the length: NT, with
// a double-byte code page, may tell an ANSI program up to twice as much.
// LB_GETTEXT still copies and reports the line as it is.
void SetListBoxTextLengthSurplus(size_t extra);

// The program's windows that exist now (a dialog and its controls count one
// each; so do a window of the program's own class and its controls).
int WindowCount();

}  // namespace winsim
