// The table of the program's live windows, and the record of what the user
// saw of the windows of the program's own classes.
#include <algorithm>
#include <cstring>
#include <windows.h>
#include <commctrl.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_user.h"
#include "sim_windows.h"
#include "windows_internal.h"

namespace {

using winsim::detail::Window;
using Kind = winsim::detail::WindowKind;

std::mutex sLock;
std::vector<Window*> sWindows;  // in creation order
std::vector<winsim::ScreenChange> sChanges;

const char* ControlClass(Kind kind) { return kind == Kind::kProgress ? PROGRESS_CLASSA : "Static"; }

winsim::WindowInfo InfoLocked(const Window* window) {
  winsim::WindowInfo info{winsim::detail::HandleOf(window), window->className, window->text, window->style,
                          window->exStyle, window->x, window->y, window->width, window->height, window->visible,
                          window->ownerThread, {}};
  for (const Window* control : window->children)
    info.controls.push_back(winsim::ControlInfo{ControlClass(control->kind), control->id, control->style, control->x,
                                                control->y, control->width, control->height, control->text,
                                                control->barLow, control->barHigh, control->barPosition});
  return info;
}

// Whether the user would see the two alike: caption, place and controls.
bool LooksAlike(const winsim::WindowInfo& a, const winsim::WindowInfo& b) {
  if (a.caption != b.caption || a.x != b.x || a.y != b.y || a.width != b.width || a.height != b.height ||
      a.controls.size() != b.controls.size())
    return false;
  for (size_t i = 0; i < a.controls.size(); ++i) {
    const winsim::ControlInfo& p = a.controls[i];
    const winsim::ControlInfo& q = b.controls[i];
    if (p.text != q.text || p.barLow != q.barLow || p.barHigh != q.barHigh || p.barPosition != q.barPosition)
      return false;
  }
  return true;
}

}  // namespace

namespace winsim {

int WindowCount() {
  std::lock_guard<std::mutex> lock(sLock);
  return static_cast<int>(sWindows.size());
}

std::vector<WindowInfo> ProgramWindows() {
  detail::SettleWindowThreads();
  std::lock_guard<std::mutex> lock(sLock);
  std::vector<WindowInfo> windows;
  for (const Window* window : sWindows)
    if (window->kind == Kind::kTopLevel) windows.push_back(InfoLocked(window));
  return windows;
}

std::vector<ScreenChange> ScreenChanges() {
  detail::SettleWindowThreads();
  std::lock_guard<std::mutex> lock(sLock);
  return sChanges;
}

namespace detail {

std::mutex& WindowLock() { return sLock; }

void AddWindow(Window* window) {
  std::lock_guard<std::mutex> lock(sLock);
  sWindows.push_back(window);
}

void RemoveWindow(Window* window) {
  {
    std::lock_guard<std::mutex> lock(sLock);
    ForgetWindowLocked(window);
  }
  delete window;
}

void ForgetWindowLocked(Window* window) {
  sWindows.erase(std::remove(sWindows.begin(), sWindows.end(), window), sWindows.end());
}

std::vector<Window*> TopLevelWindowsLocked() {
  std::vector<Window*> windows;
  for (Window* window : sWindows)
    if (window->kind == Kind::kTopLevel) windows.push_back(window);
  return windows;
}

bool IsLiveWindowLocked(const Window* window) {
  return std::find(sWindows.begin(), sWindows.end(), window) != sWindows.end();
}

Window* LiveWindow(HWND handle) {
  std::lock_guard<std::mutex> lock(sLock);
  auto* window = reinterpret_cast<Window*>(handle);
  return IsLiveWindowLocked(window) ? window : nullptr;
}

bool IsDialogWindow(const Window* window) {
  return window->kind == Kind::kDialog || (window->parent != nullptr && window->parent->kind == Kind::kDialog);
}

LRESULT CopyText(const std::string& text, WPARAM max, LPARAM buffer) {
  if (max == 0 || buffer == 0) return 0;
  size_t copied = std::min<size_t>(text.size(), max - 1);
  char* out = reinterpret_cast<char*>(buffer);
  std::memcpy(out, text.data(), copied);
  out[copied] = '\0';
  return static_cast<LRESULT>(copied);
}

namespace {

// A window's thread paints when it goes back to its loop: what one message
// sent to it changes is seen as one change, once it has been handled.
thread_local int tSentDepth = 0;
thread_local std::vector<ScreenChange> tPending;

void CommitScreenLocked(const ScreenChange& now) {
  auto last = std::find_if(sChanges.rbegin(), sChanges.rend(), [&now](const ScreenChange& change) {
    return change.window.handle == now.window.handle;
  });
  bool seenBefore = last != sChanges.rend() && last->window.visible;
  // A hidden window is seen only in the moment it goes; a visible one only
  // when something the user can see differs.
  if (!now.window.visible ? !seenBefore : (seenBefore && LooksAlike(now.window, last->window))) return;
  sChanges.push_back(now);
}

}  // namespace

void RecordScreenLocked(const Window* topLevel) {
  ScreenChange now{InfoLocked(topLevel), Now(), Boxes().size()};
  if (tSentDepth == 0) return CommitScreenLocked(now);
  auto same = std::find_if(tPending.begin(), tPending.end(), [&now](const ScreenChange& change) {
    return change.window.handle == now.window.handle;
  });
  if (same != tPending.end())
    *same = now;
  else
    tPending.push_back(now);
}

void BeginSentMessage() { ++tSentDepth; }

void EndSentMessageLocked() {
  if (--tSentDepth > 0) return;
  for (const ScreenChange& change : tPending) CommitScreenLocked(change);
  tPending.clear();
}

int VisibleProgramWindows() {
  std::lock_guard<std::mutex> lock(sLock);
  return static_cast<int>(std::count_if(sWindows.begin(), sWindows.end(), [](const Window* window) {
    return window->kind == Kind::kTopLevel && window->visible;
  }));
}

void ResetWindowTable() {
  std::lock_guard<std::mutex> lock(sLock);
  for (Window* window : sWindows) delete window;
  sWindows.clear();
  sChanges.clear();
}

}  // namespace detail
}  // namespace winsim
