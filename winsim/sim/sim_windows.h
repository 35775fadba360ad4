// Windows of the program's own classes as a test sees them: what exists now,
// what the user saw change on screen and when, the screen's size, and the
// windows of other processes that FindWindowA can find.
#pragma once

#include "sim_tests_only.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

// A control of such a window: "Static" or "msctls_progress32".
struct ControlInfo {
  std::string className;
  int id;
  uint32_t style;
  int x, y, width, height;  // pixels, in the window's client area
  std::string text;
  int barLow, barHigh, barPosition;  // a progress bar's range and position
};

struct WindowInfo {
  HWND handle;
  std::string className;  // as registered
  std::string caption;
  uint32_t style;  // as created; WS_VISIBLE is `visible`
  uint32_t exStyle;
  int x, y, width, height;  // pixels, on the screen
  bool visible;
  uint32_t ownerThread;  // GetCurrentThreadId of the thread that made it
  std::vector<ControlInfo> controls;  // in creation order
};

// Every window of the program's own classes that exists now, in creation order.
std::vector<WindowInfo> ProgramWindows();

// What the user saw: one entry each time such a window appeared, changed
// while visible (its caption, a control's text, a bar's range or position)
// or disappeared (hidden or destroyed: `visible` false). Changes to a hidden
// window are not seen, so not recorded. A window's thread paints when it is
// back in its loop, so what handling one message sent from another thread
// changes is one entry.
struct ScreenChange {
  WindowInfo window;
  uint64_t time;       // the virtual clock (Now)
  size_t boxesBefore;  // message boxes shown before it, to place it among them
};
std::vector<ScreenChange> ScreenChanges();

// The screen's size in pixels, as GetSystemMetrics reports it: 640 x 480
// after Reset.
void SetScreenSize(int width, int height);

// A top-level window of another process, for FindWindowA (and GWL_STYLE),
// until Reset.
HWND AddWindowOfAnotherProcess(const std::string& className, const std::string& caption, bool visible);
// The windows SetForegroundWindow brought to the front, in order.
std::vector<HWND> ForegroundRequests();

}  // namespace winsim
