// Windows of the program's own classes: their messages from creation to
// destruction, messages from another thread handled by the owner's loop, the
// progress bar and the static text as the user sees them, and the windows
// FindWindowA finds.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "sim_dialogs.h"
#include "sim_machine.h"
#include "sim_threads.h"
#include "sim_user.h"
#include "sim_windows.h"

namespace {

// Every message the class's procedure gets, and the thread it got it on.
std::string gTrace;
DWORD gLastThread = 0;
LRESULT gCreateAnswer = 0;
BOOL gNcCreateAnswer = TRUE;

LRESULT CALLBACK TracingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  gLastThread = GetCurrentThreadId();
  switch (message) {
    case WM_NCCREATE: gTrace += "nccreate;"; return gNcCreateAnswer ? DefWindowProcA(window, message, wParam, lParam) : FALSE;
    case WM_CREATE: gTrace += "create;"; return gCreateAnswer;
    case WM_DESTROY: gTrace += "destroy;"; PostQuitMessage(7); return 0;
    case WM_NCDESTROY: gTrace += "ncdestroy;"; return 0;
    case WM_APP: gTrace += "app " + std::to_string(wParam) + ";"; return 40 + static_cast<LRESULT>(wParam);
    case WM_APP + 1: return ShowWindow(window, static_cast<int>(wParam));  // on the owner's thread
    case WM_APP + 2: PostQuitMessage(static_cast<int>(wParam)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    gTrace.clear();
    gCreateAnswer = 0;
    gNcCreateAnswer = TRUE;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TracingProc;
    windowClass.lpszClassName = "Tracing";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
  }
  void TearDown() override { winsim::Reset(); }

  static HWND Create(DWORD style = WS_CAPTION) {
    return CreateWindowExA(0, "tracing", "Caption", style, 10, 20, 300, 100, nullptr, nullptr, nullptr, nullptr);
  }
};

// What creation gives for the answers to WM_NCCREATE and WM_CREATE.
struct CreationRow {
  BOOL ncCreate;
  LRESULT create;
  bool made;
  const char* trace;
};

TEST_F(WindowsTest, CreationAndDestructionSendTheirMessagesInOrder) {
  const CreationRow rows[] = {
      {TRUE, 0, true, "nccreate;create;"},                     // 1
      {FALSE, 0, false, "nccreate;ncdestroy;"},                // 2 refused at once
      {TRUE, -1, false, "nccreate;create;destroy;ncdestroy;"},  // 3 refused once made
  };
  for (const CreationRow& row : rows) {
    SCOPED_TRACE(row.trace);
    gTrace.clear();
    gNcCreateAnswer = row.ncCreate;
    gCreateAnswer = row.create;
    HWND window = Create();
    EXPECT_EQ(window != nullptr, row.made);
    EXPECT_EQ(gTrace, row.trace);
    EXPECT_EQ(winsim::WindowCount(), row.made ? 1 : 0);
    if (window == nullptr) continue;
    char caption[32];
    EXPECT_EQ(GetWindowTextA(window, caption, sizeof caption), 7) << "the default handling took the caption";
    EXPECT_STREQ(caption, "Caption");
    EXPECT_EQ(DestroyWindow(window), TRUE);
    EXPECT_EQ(gTrace, std::string(row.trace) + "destroy;ncdestroy;");
    EXPECT_EQ(DestroyWindow(window), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  }
}

TEST_F(WindowsTest, ClassesAreFoundWithoutCaseAndRegisteredOnce) {
  WNDCLASSEXA again{};
  again.cbSize = sizeof again;
  again.lpfnWndProc = TracingProc;
  again.lpszClassName = "TRACING";
  EXPECT_EQ(RegisterClassExA(&again), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  again.lpszClassName = "Other";
  again.cbSize = sizeof again - 4;
  EXPECT_EQ(RegisterClassExA(&again), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "the record's size is checked";
  EXPECT_EQ(CreateWindowExA(0, "Other", "", WS_CAPTION, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  // The progress bar's class comes with the common controls.
  HWND window = Create();
  HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(5));
  EXPECT_EQ(CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD, 0, 0, 9, 9, window, id, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  InitCommonControls();
  EXPECT_NE(CreateWindowExA(0, "MSCTLS_PROGRESS32", nullptr, WS_CHILD, 0, 0, 9, 9, window, id, nullptr, nullptr),
            nullptr);
  EXPECT_NE(GetDlgItem(window, 5), nullptr);
  EXPECT_EQ(DestroyWindow(window), TRUE);
  EXPECT_EQ(winsim::WindowCount(), 0) << "its controls went with it";
}

// The program's window thread: a window with a static text and a bar, then
// its loop until WM_QUIT, whose code it keeps.
WPARAM gQuitCode = 0;
DWORD WINAPI WindowThread(LPVOID ready) {
  InitCommonControls();
  HWND window = CreateWindowExA(0, "Tracing", "Caption", WS_CAPTION, 10, 20, 300, 100, nullptr, nullptr, nullptr,
                                nullptr);
  CreateWindowExA(0, "Static", "", WS_CHILD | SS_NOPREFIX, 5, 5, 200, 20, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), nullptr, nullptr);
  CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD, 5, 30, 200, 20, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(2)), nullptr, nullptr);
  SetEvent(static_cast<HANDLE>(ready));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    EXPECT_EQ(TranslateMessage(&message), FALSE);
    DispatchMessageA(&message);
  }
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  gQuitCode = message.wParam;
  return 0;
}

class WindowThreadTest : public WindowsTest {
 protected:
  void SetUp() override {
    WindowsTest::SetUp();
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    thread_ = CreateThread(nullptr, 0, WindowThread, ready, 0, &id);
    ASSERT_NE(thread_, nullptr);
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    window_ = FindWindowA("TRACING", "caption");
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(winsim::ProgramWindows()[0].ownerThread, id);
  }
  void TearDown() override {
    if (thread_ != nullptr) Close();
    WindowsTest::TearDown();
  }
  // WM_CLOSE's default handling destroys the window; WM_DESTROY ends the loop.
  void Close() {
    SendMessageA(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  static std::string Seen() {
    std::string seen;
    for (const winsim::ScreenChange& change : winsim::ScreenChanges()) {
      const winsim::WindowInfo& window = change.window;
      seen += window.visible ? window.controls[0].text + " " + std::to_string(window.controls[1].barPosition) + "/" +
                                   std::to_string(window.controls[1].barHigh) + ";"
                             : std::string("hidden;");
    }
    return seen;
  }

  HANDLE thread_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(WindowThreadTest, MessagesFromAnotherThreadRunOnTheOwnersThreadAndTheSenderWaitsForTheAnswer) {
  EXPECT_EQ(SendMessageA(window_, WM_APP, 2, 0), 42);
  EXPECT_NE(gLastThread, GetCurrentThreadId());
  // Only the owner destroys its window.
  EXPECT_EQ(DestroyWindow(window_), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Posted messages wait for the loop, in order; the quit comes after them.
  EXPECT_EQ(PostMessageA(window_, WM_APP, 3, 0), TRUE);
  EXPECT_EQ(PostMessageA(window_, WM_APP + 2, 9, 0), TRUE);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  EXPECT_EQ(gTrace, "nccreate;create;app 2;app 3;") << "the system took the window without a message";
  EXPECT_EQ(gQuitCode, 9u);
  EXPECT_EQ(winsim::WindowCount(), 0);
  EXPECT_EQ(PostMessageA(window_, WM_APP, 5, 0), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowThreadTest, TheUserSeesAVisibleWindowChangeAndItsGoingNothingOfAHiddenOne) {
  HWND text = GetDlgItem(window_, 1);
  HWND bar = GetDlgItem(window_, 2);
  SetWindowTextA(text, "unseen");
  EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 24)), MAKELONG(0, 100)) << "the previous range";
  EXPECT_EQ(SendMessageA(window_, WM_APP + 1, SW_SHOW, 0), FALSE) << "it was hidden";
  EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 30, 0), 0) << "the previous position";
  SetWindowTextA(text, "& seen");
  SetWindowTextA(text, "& seen");  // no change to see
  EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(-3), 0), 24);
  winsim::BoxRecord box{};
  winsim::SetBoxHandler([&box](const winsim::BoxRecord& shown) {
    box = shown;
    return IDOK;
  });
  MessageBoxA(nullptr, "over it", "box", MB_OK);
  EXPECT_EQ(box.visibleWindows, 1);
  Close();
  EXPECT_EQ(gQuitCode, 7u) << "WM_CLOSE destroyed it, and WM_DESTROY ended the loop";
  EXPECT_EQ(Seen(), "unseen 0/24;unseen 24/24;& seen 24/24;& seen 0/24;hidden;");
}

TEST_F(WindowThreadTest, FindWindowFindsEveryProcesssWindowsByClassAndCaptionWithoutCase) {
  winsim::SetScreenSize(800, 600);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  HWND other = winsim::AddWindowOfAnotherProcess("Elsewhere", "Its caption", false);
  EXPECT_EQ(FindWindowA("elsewhere", nullptr), other);
  EXPECT_EQ(FindWindowA("Elsewhere", "ITS CAPTION"), other);
  EXPECT_EQ(FindWindowA("Elsewhere", "Caption"), nullptr);
  EXPECT_EQ(FindWindowA("Tracing", nullptr), window_);
  EXPECT_EQ(GetWindowLongPtrA(other, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_EQ(GetWindowLongPtrA(window_, GWL_STYLE), static_cast<LONG_PTR>(WS_CAPTION));
  EXPECT_EQ(SetForegroundWindow(other), TRUE);
  EXPECT_EQ(SetForegroundWindow(window_), TRUE);
  int notAWindow = 0;
  EXPECT_EQ(SetForegroundWindow(reinterpret_cast<HWND>(&notAWindow)), FALSE);
  EXPECT_EQ(winsim::ForegroundRequests(), (std::vector<HWND>{other, window_}));
}

using WindowsDeathTest = WindowThreadTest;

TEST_F(WindowsDeathTest, WhatIsNotModelledStopsTheTest) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(ShowWindow(window_, SW_SHOW), "ShowWindow on a window of another thread");
  EXPECT_DEATH(SendMessageA(GetDlgItem(window_, 2), PBM_SETRANGE, 0, MAKELPARAM(5, 5)), "empty range");
  MSG message;
  EXPECT_DEATH(GetMessageA(&message, window_, 0, 0), "GetMessageA with a filter");
}

}  // namespace
