// Windows of the program's own classes and their controls (a static text, a
// progress bar), the windows of other processes, and the screen.
//
// The model follows the system where the programs can see it:
// - CreateWindowExA sends WM_NCCREATE, whose default handling takes the
//   caption, then WM_CREATE; FALSE or -1 refuses the window.
// - DestroyWindow sends WM_DESTROY and WM_NCDESTROY; only the owner thread
//   may destroy a window.
// - The progress bar keeps its position inside its range; a static control
//   shows its text as given.
// - When a thread ends, the system destroys its windows without a message.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <windows.h>
#include <commctrl.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_windows.h"
#include "windows_internal.h"

namespace {

using winsim::detail::HandleOf;
using winsim::detail::Window;
using winsim::detail::WindowLock;
using Kind = winsim::detail::WindowKind;

struct WindowClass {
  std::string name;
  WNDPROC proc;
};

struct OtherWindow {
  std::string className;
  std::string caption;
  bool visible;
};

// All under WindowLock().
std::vector<WindowClass> sClasses;
bool sCommonControls = false;
int sScreenWidth = 640;
int sScreenHeight = 480;
std::vector<std::unique_ptr<OtherWindow>> sOthers;
std::vector<HWND> sForeground;

const int kCwUseDefault = static_cast<int>(0x80000000u);
const int kHighestSystemColour = 30;

bool SameName(const std::string& a, const char* b) { return winsim::detail::CompareNoCase(a, b) == 0; }

const WindowClass* ClassNamed(const char* name) {
  for (const WindowClass& windowClass : sClasses)
    if (SameName(windowClass.name, name)) return &windowClass;
  return nullptr;
}

const char* SystemClassName(const char* name) {
  for (const char* system : {"Button", "Edit", "ListBox", "ComboBox", "ScrollBar", "MDIClient", "Static"})
    if (SameName(system, name)) return system;
  return nullptr;
}

// A window of the program's own class, made by the calling thread.
Window* OwnTopLevel(HWND handle, const char* function) {
  Window* window = winsim::detail::LiveWindow(handle);
  if (window == nullptr || window->kind != Kind::kTopLevel)
    winsim::Unmodelled(std::string(function) + " on anything but a window of the program's own class");
  if (window->ownerThread != GetCurrentThreadId())
    winsim::Unmodelled(std::string(function) + " on a window of another thread");
  return window;
}

LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  return window->windowProc(HandleOf(window), message, wParam, lParam);
}

// Takes the window and its controls away, showing the user that it went.
void DestroyTopLevel(Window* window) {
  std::vector<Window*> gone;
  {
    std::lock_guard<std::mutex> lock(WindowLock());
    window->visible = false;
    winsim::detail::RecordScreenLocked(window);
    gone.swap(window->children);
    gone.push_back(window);
    for (Window* each : gone) winsim::detail::ForgetWindowLocked(each);
  }
  for (Window* each : gone) delete each;
}

HWND CreateTopLevel(const WindowClass& windowClass, DWORD exStyle, LPCSTR name, DWORD style, int x, int y,
                    int width, int height, HINSTANCE instance, LPVOID parameter) {
  auto* window = new Window();
  window->kind = Kind::kTopLevel;
  window->ownerThread = GetCurrentThreadId();
  window->className = windowClass.name;
  window->windowProc = windowClass.proc;
  window->style = style & ~WS_VISIBLE;
  window->exStyle = exStyle;
  window->x = x;
  window->y = y;
  window->width = width;
  window->height = height;
  winsim::detail::AddWindow(window);
  CREATESTRUCTA create{parameter, instance, nullptr, nullptr, height, width, y, x, static_cast<LONG>(style),
                       name, window->className.c_str(), exStyle};
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!CallProc(window, WM_NCCREATE, 0, createParam)) {
    CallProc(window, WM_NCDESTROY, 0, 0);
    DestroyTopLevel(window);
    return nullptr;
  }
  if (CallProc(window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(HandleOf(window));
    return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(HandleOf(window), SW_SHOW);
  return HandleOf(window);
}

HWND CreateControl(Kind kind, LPCSTR name, DWORD style, int x, int y, int width, int height, HWND parent,
                   HMENU menu) {
  Window* owner = winsim::detail::LiveWindow(parent);
  if (owner == nullptr || owner->kind != Kind::kTopLevel || owner->ownerThread != GetCurrentThreadId() ||
      !(style & WS_CHILD))
    winsim::Unmodelled("CreateWindowExA: a control outside a window of the program's own class and thread");
  auto* control = new Window();
  control->kind = kind;
  control->parent = owner;
  control->ownerThread = owner->ownerThread;
  control->id = static_cast<int>(reinterpret_cast<intptr_t>(menu));
  control->style = style;
  control->x = x;
  control->y = y;
  control->width = width;
  control->height = height;
  if (kind == Kind::kStatic && name != nullptr) control->text = name;
  winsim::detail::AddWindow(control);
  std::lock_guard<std::mutex> lock(WindowLock());
  owner->children.push_back(control);
  winsim::detail::RecordScreenLocked(owner);
  return HandleOf(control);
}

LRESULT ProgressMessage(Window* bar, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(WindowLock());
  LRESULT previous = 0;
  if (message == PBM_SETRANGE) {
    // Windows leaves open what a bar with an empty range draws.
    if (LOWORD(lParam) >= HIWORD(lParam)) winsim::Unmodelled("PBM_SETRANGE with an empty range");
    previous = MAKELONG(bar->barLow, bar->barHigh);
    bar->barLow = LOWORD(lParam);
    bar->barHigh = HIWORD(lParam);
  } else if (message == PBM_SETPOS) {
    previous = bar->barPosition;
    bar->barPosition = static_cast<int>(wParam);
  } else {
    winsim::Unmodelled("a progress bar message other than PBM_SETRANGE and PBM_SETPOS: " + std::to_string(message));
  }
  bar->barPosition = std::min(std::max(bar->barPosition, bar->barLow), bar->barHigh);
  winsim::detail::RecordScreenLocked(bar->parent);
  return previous;
}

LRESULT TextMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* topLevel = window->kind == Kind::kTopLevel ? window : window->parent;
  switch (message) {
    case WM_SETTEXT: {
      std::lock_guard<std::mutex> lock(WindowLock());
      window->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      winsim::detail::RecordScreenLocked(topLevel);
      return TRUE;
    }
    case WM_GETTEXT: return winsim::detail::CopyText(window->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(window->text.size());
    default: winsim::Unmodelled("a static control message that is not modelled: " + std::to_string(message));
  }
}

}  // namespace

namespace winsim {

void SetScreenSize(int width, int height) {
  std::lock_guard<std::mutex> lock(WindowLock());
  sScreenWidth = width;
  sScreenHeight = height;
}

HWND AddWindowOfAnotherProcess(const std::string& className, const std::string& caption, bool visible) {
  std::lock_guard<std::mutex> lock(WindowLock());
  sOthers.push_back(std::make_unique<OtherWindow>(OtherWindow{className, caption, visible}));
  return reinterpret_cast<HWND>(sOthers.back().get());
}

std::vector<HWND> ForegroundRequests() {
  std::lock_guard<std::mutex> lock(WindowLock());
  return sForeground;
}

namespace detail {

LRESULT OwnWindowMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window->kind == Kind::kTopLevel) return CallProc(window, message, wParam, lParam);
  if (window->kind == Kind::kProgress) return ProgressMessage(window, message, wParam, lParam);
  return TextMessage(window, message, wParam, lParam);
}

void ForgetThreadWindows(DWORD thread) {
  std::vector<Window*> gone;
  {
    std::lock_guard<std::mutex> lock(WindowLock());
    for (Window* window : TopLevelWindowsLocked())
      if (window->ownerThread == thread) gone.push_back(window);
  }
  for (Window* window : gone) DestroyTopLevel(window);
}

int ScreenWidth() {
  std::lock_guard<std::mutex> lock(WindowLock());
  return sScreenWidth;
}

int ScreenHeight() {
  std::lock_guard<std::mutex> lock(WindowLock());
  return sScreenHeight;
}

LONG_PTR StyleOfWindow(HWND handle) {
  std::lock_guard<std::mutex> lock(WindowLock());
  for (const auto& other : sOthers)
    if (reinterpret_cast<HWND>(other.get()) == handle)
      return static_cast<LONG_PTR>(WS_CAPTION | (other->visible ? WS_VISIBLE : 0));
  auto* window = reinterpret_cast<Window*>(handle);
  if (!IsLiveWindowLocked(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window->kind != Kind::kTopLevel) Unmodelled("GWL_STYLE of a dialog or a control");
  return static_cast<LONG_PTR>(window->style | (window->visible ? WS_VISIBLE : 0));
}

void ResetTopWindows() {
  std::lock_guard<std::mutex> lock(WindowLock());
  sClasses.clear();
  sCommonControls = false;
  sScreenWidth = 640;
  sScreenHeight = 480;
  sOthers.clear();
  sForeground.clear();
}

}  // namespace detail
}  // namespace winsim

void WINAPI InitCommonControls(void) {
  std::lock_guard<std::mutex> lock(WindowLock());
  sCommonControls = true;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr) winsim::Unmodelled("RegisterClassExA with no class");
  if (windowClass->lpszClassName == nullptr || IS_INTRESOURCE(windowClass->lpszClassName))
    winsim::Unmodelled("RegisterClassExA without a class name");
  if (windowClass->lpfnWndProc == nullptr) winsim::Unmodelled("RegisterClassExA with no window procedure");
  if (windowClass->cbClsExtra != 0 || windowClass->cbWndExtra != 0 || windowClass->lpszMenuName != nullptr ||
      windowClass->hIcon != nullptr || windowClass->hIconSm != nullptr || windowClass->hCursor != nullptr)
    winsim::Unmodelled("RegisterClassExA with extra memory, a menu, an icon or a cursor");
  auto background = reinterpret_cast<uintptr_t>(windowClass->hbrBackground);
  if (background > kHighestSystemColour + 1) winsim::Unmodelled("RegisterClassExA with a brush of its own");
  if (SystemClassName(windowClass->lpszClassName) != nullptr)
    winsim::Unmodelled("RegisterClassExA of a system class's name");
  if (windowClass->cbSize != sizeof(WNDCLASSEXA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD error = 0;
  if (winsim::detail::FaultDue("RegisterClassExA", &error)) {
    SetLastError(error);
    return 0;
  }
  std::lock_guard<std::mutex> lock(WindowLock());
  if (ClassNamed(windowClass->lpszClassName) != nullptr) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  sClasses.push_back(WindowClass{windowClass->lpszClassName, windowClass->lpfnWndProc});
  return static_cast<ATOM>(0xC000 + sClasses.size());
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
  if (className == nullptr || IS_INTRESOURCE(className)) winsim::Unmodelled("CreateWindowExA with a class atom");
  if (x == kCwUseDefault || y == kCwUseDefault || width == kCwUseDefault || height == kCwUseDefault)
    winsim::Unmodelled("CreateWindowExA with CW_USEDEFAULT");
  DWORD error = 0;
  if (winsim::detail::FaultDue("CreateWindowExA", &error)) {
    SetLastError(error);
    return nullptr;
  }
  WindowClass own{"", nullptr};
  bool commonControls = false;
  {
    std::lock_guard<std::mutex> lock(WindowLock());
    if (const WindowClass* found = ClassNamed(className)) own = *found;
    commonControls = sCommonControls;
  }
  if (own.proc != nullptr) {
    if (parent != nullptr || menu != nullptr || (style & WS_CHILD))
      winsim::Unmodelled("CreateWindowExA of a child, owned or menu window of the program's own class");
    return CreateTopLevel(own, exStyle, windowName, style, x, y, width, height, instance, parameter);
  }
  // The common controls' classes exist once InitCommonControls has run.
  if (SameName(PROGRESS_CLASSA, className) && commonControls)
    return CreateControl(Kind::kProgress, windowName, style, x, y, width, height, parent, menu);
  if (SameName("Static", className)) return CreateControl(Kind::kStatic, windowName, style, x, y, width, height, parent, menu);
  if (SystemClassName(className) != nullptr) winsim::Unmodelled(std::string("CreateWindowExA of class ") + className);
  SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
  return nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = OwnTopLevel(handle, "DefWindowProcA");
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      std::lock_guard<std::mutex> lock(WindowLock());
      window->text = create->lpszName != nullptr ? create->lpszName : "";
      return TRUE;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: return TextMessage(window, message, wParam, lParam);
    case WM_CLOSE: DestroyWindow(handle); return 0;
    case WM_CREATE:
    case WM_DESTROY:
    case WM_NCDESTROY: return 0;
    default:
      if (message >= WM_USER) return 0;
      winsim::Unmodelled("DefWindowProcA of a message that is not modelled: " + std::to_string(message));
  }
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
  Window* window = OwnTopLevel(handle, "ShowWindow");
  if (command != SW_HIDE && command != SW_SHOW && command != SW_SHOWNORMAL && command != SW_SHOWNA &&
      command != SW_SHOWNOACTIVATE)
    winsim::Unmodelled("ShowWindow with command " + std::to_string(command));
  std::lock_guard<std::mutex> lock(WindowLock());
  bool was = window->visible;
  window->visible = command != SW_HIDE;
  if (was != window->visible) winsim::detail::RecordScreenLocked(window);
  return was;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  Window* window = winsim::detail::LiveWindow(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (window->kind != Kind::kTopLevel) winsim::Unmodelled("DestroyWindow of a dialog or a control");
  if (window->ownerThread != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  CallProc(window, WM_DESTROY, 0, 0);
  CallProc(window, WM_NCDESTROY, 0, 0);
  DestroyTopLevel(window);
  return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
  if (className == nullptr || IS_INTRESOURCE(className)) winsim::Unmodelled("FindWindowA without a class name");
  auto matches = [&](const std::string& windowClass, const std::string& caption) {
    return SameName(windowClass, className) && (windowName == nullptr || SameName(caption, windowName));
  };
  std::lock_guard<std::mutex> lock(WindowLock());
  for (Window* window : winsim::detail::TopLevelWindowsLocked())
    if (matches(window->className, window->text)) return HandleOf(window);
  for (const auto& other : sOthers)
    if (matches(other->className, other->caption)) return reinterpret_cast<HWND>(other.get());
  return nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
  std::lock_guard<std::mutex> lock(WindowLock());
  bool known = false;
  for (const auto& other : sOthers) known = known || reinterpret_cast<HWND>(other.get()) == handle;
  auto* window = reinterpret_cast<Window*>(handle);
  known = known || (winsim::detail::IsLiveWindowLocked(window) && window->kind == Kind::kTopLevel);
  if (!known) return FALSE;
  sForeground.push_back(handle);
  return TRUE;
}
