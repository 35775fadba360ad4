// The program's windows, shared by the dialog part (dialogs.cpp), the windows
// of the program's own classes (top_windows.cpp) and the message queues
// (message_queues.cpp); never seen by tests.
//
// Threads: a window belongs to the thread that made it, and only that thread
// changes it. Dialogs and their controls are read by that thread alone, so
// dialogs.cpp works on them without a lock. A window of the program's own
// class and its controls are also read by other threads (the test's queries,
// the record of what was on screen at a message box), so their owner changes
// them only under WindowLock(), and other threads read them under it. No lock
// is held while a window procedure, a dialog procedure or a script runs.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "sim_dialogs.h"

namespace winsim::detail {

enum class WindowKind { kDialog, kButton, kEdit, kStatic, kListBox, kTopLevel, kProgress };

struct Window {
  WindowKind kind;
  Window* parent = nullptr;
  DWORD ownerThread = 0;
  int id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;
  std::vector<Window*> children;
  // list box
  std::vector<std::string> lines;
  int selection = -1;
  // dialog
  int templateId = 0;
  int cx = 0, cy = 0;  // dialog units
  DLGPROC proc = nullptr;
  LONG_PTR msgResult = 0;
  LONG_PTR user = 0;
  HICON icons[2] = {nullptr, nullptr};
  Window* focus = nullptr;
  bool ended = false;
  INT_PTR result = 0;
  bool iconic = false;
  int iconicWidth = 0, iconicHeight = 0;
  bool painting = false;
  HDC paintDc = nullptr;
  std::vector<PaintEvent> paints;
  // a window of the program's own class, and its controls (pixels)
  std::string className;
  WNDPROC windowProc = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  bool visible = false;
  // progress bar
  int barLow = 0, barHigh = 100, barPosition = 0;
};

std::mutex& WindowLock();
// The table of live windows. Add and Remove take the lock themselves.
void AddWindow(Window* window);
void RemoveWindow(Window* window);  // and deletes it
// With the lock held: takes a window out of the table (the caller deletes
// it once the lock is released), and the windows of the program's own
// classes in creation order.
void ForgetWindowLocked(Window* window);
std::vector<Window*> TopLevelWindowsLocked();
bool IsLiveWindowLocked(const Window* window);
Window* LiveWindow(HWND handle);  // null when no such window lives
inline HWND HandleOf(const Window* window) { return reinterpret_cast<HWND>(const_cast<Window*>(window)); }
// True for a dialog and its controls: the dialog part's windows.
bool IsDialogWindow(const Window* window);

// WM_GETTEXT's copy: at most max-1 characters and a terminator.
LRESULT CopyText(const std::string& text, WPARAM max, LPARAM buffer);

// A message to a window of the program's own class or one of its controls,
// on the owner's thread (top_windows.cpp).
LRESULT OwnWindowMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers the message on the window's owner thread: at once when that is
// the caller, else through the owner's queue, the caller waiting
// (message_queues.cpp).
LRESULT SendToProgramWindow(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
// What a thread leaves when it ends: its queue, and its windows, which the
// system destroys without a message (message_queues.cpp, top_windows.cpp).
void EndThreadMessages(DWORD thread);
void ForgetThreadWindows(DWORD thread);

// The screen's size in pixels (GetSystemMetrics), and GWL_STYLE of a window
// of the program's own class or of another process (top_windows.cpp).
int ScreenWidth();
int ScreenHeight();
LONG_PTR StyleOfWindow(HWND handle);

// Appends what a window of the program's own class shows now to the record
// of screen changes, if it is visible or has just been hidden. Caller holds
// WindowLock().
void RecordScreenLocked(const Window* topLevel);
// Around the handling of a message sent from another thread: the changes it
// makes are recorded as one, when it has been handled (under WindowLock()).
void BeginSentMessage();
void EndSentMessageLocked();
// Waits until every window thread of the program has handled all that was
// posted and sent to it and waits in its loop again: what a real thread
// does while the run's thread sleeps, or before a test looks at the screen.
// Not from a window's thread, and not holding WindowLock().
void SettleWindowThreads();
// Visible windows of the program's own classes now.
int VisibleProgramWindows();

}  // namespace winsim::detail
