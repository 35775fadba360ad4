// The status window: one line of text and a progress bar, on screen while
// the installer waits for the card's device and while it copies, so that a
// long wait does not look like a hang. It is hidden at every other time,
// above all whenever a message box or the folder dialog is up, since those
// have no owner and would otherwise share the screen with it.
//
// A small thread of its own owns the window and runs its message loop, so
// the window repaints and can be moved while the run's thread sleeps 5 s or
// copies a large file from a slow CD. The run's thread never touches the
// window: it posts each new text to the window's thread and goes on at
// once, so the window costs the copies next to nothing; Hide and Close
// return once the window's thread has handled everything posted before, so
// the window is gone before the run's next step (a message box) begins.
//
// If anything of this cannot be made, there is no window and every call does
// nothing: the installation goes on exactly as it would without it.
#pragma once

#include <windows.h>

// The window's class, by which a second installer finds the first one's
// window (single_instance.h).
#define STATUS_WINDOW_CLASS "QTonalSetupStatus"

class StatusWindow {
 public:
  StatusWindow();
  // Closes the window, so that every way out of the run takes it away.
  ~StatusWindow();
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  // Starts the window's thread, which makes the window hidden, centred on
  // the screen. FALSE when there is no window.
  BOOL Open(HINSTANCE instance);
  // Shows `text` and the bar at `position` of 0 to `range` (kept within it).
  void Show(LPCSTR text, int position, int range);
  // Shows "Copying NAME..." for a file name (of at most 259 characters, as
  // a folder search gives it).
  void ShowCopying(LPCSTR fileName, int position, int range);
  void Hide();
  // Destroys the window and waits for its thread to end. The window is gone
  // when it returns; Open may then make it again.
  void Close();

 private:
  static DWORD WINAPI ThreadMain(LPVOID object);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND CreateWindows();

  HINSTANCE m_instance;
  HANDLE m_ready;   // set by the window's thread once the window exists, or cannot
  HANDLE m_hidden;  // set by the window's thread when a hide has been handled
  HANDLE m_thread;  // the window's thread while it runs
  HWND m_window;    // written by the window's thread before m_ready is set
};
