#include "status_window.h"

#include <commctrl.h>

#include "heap_memory.h"
#include "messages.h"
#include "text.h"

namespace {

// Private messages from the run's thread to the window's. A show is posted:
// the run's thread goes on copying at once. Sent messages overtake posted
// ones, so the hide is posted too, behind every show, and the run's thread
// waits for it: when Hide returns, no show is left to bring the window back.
const UINT kShowMessage = WM_APP + 1;   // wParam: position and range; lParam: the text, on the heap
const UINT kHideMessage = WM_APP + 2;   // lParam: the event to set once the window is hidden
const UINT kCloseMessage = WM_APP + 3;  // sent

const int kTextId = 100;
const int kBarId = 101;

// The window in pixels: a caption and a dialog frame around a client area
// of about 434 x 87 with small fonts. The text has room for two lines of the
// system font, so a long file name wraps rather than vanishes.
const int kWindowWidth = 440;
const int kWindowHeight = 112;
const int kMargin = 12;
const int kControlWidth = 410;
const int kTextHeight = 32;
const int kBarTop = 52;
const int kBarHeight = 20;

// The bar's range travels in the 16-bit halves of PBM_SETRANGE's lParam.
const int kLargestRange = 0xFFFF;

HMENU ControlId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

// Where a window of `size` pixels is centred on a screen of `screen` pixels.
int Centred(int screen, int size) { return screen > size ? (screen - size) / 2 : 0; }

}  // namespace

StatusWindow::StatusWindow() : m_instance(NULL), m_ready(NULL), m_hidden(NULL), m_thread(NULL), m_window(NULL) {}

StatusWindow::~StatusWindow() { Close(); }

BOOL StatusWindow::Open(HINSTANCE instance) {
  if (m_thread != NULL) return m_window != NULL;
  m_instance = instance;
  m_ready = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (m_ready == NULL) return FALSE;
  m_hidden = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (m_hidden == NULL) {
    CloseHandle(m_ready);
    m_ready = NULL;
    return FALSE;
  }
  DWORD threadId;  // Windows 95 and 98 refuse a null pointer here
  m_thread = CreateThread(NULL, 0, ThreadMain, this, 0, &threadId);
  if (m_thread != NULL) WaitForSingleObject(m_ready, INFINITE);
  CloseHandle(m_ready);
  m_ready = NULL;
  // Without a window the thread has ended, or is about to: wait for it.
  if (m_window == NULL) Close();
  return m_window != NULL;
}

void StatusWindow::Show(LPCSTR text, int position, int range) {
  if (m_window == NULL) return;
  // The bar draws an empty range as it likes; it has at least one step.
  if (range < 1) range = 1;
  if (range > kLargestRange) range = kLargestRange;
  if (position < 0) position = 0;
  if (position > range) position = range;
  // The window's thread takes the copy and frees it. Without memory for it
  // the window stays as it was.
  size_t length = TextLength(text);
  char* copy = static_cast<char*>(HeapMemoryAlloc(length + 1));
  if (copy == NULL) return;
  MemoryCopy(copy, text, length + 1);
  WPARAM bar = MAKEWPARAM(static_cast<WORD>(position), static_cast<WORD>(range));
  if (!PostMessageA(m_window, kShowMessage, bar, reinterpret_cast<LPARAM>(copy))) HeapMemoryFree(copy);
}

void StatusWindow::ShowCopying(LPCSTR fileName, int position, int range) {
  const size_t head = sizeof(COPYING_TEXT_HEAD) - 1;
  const size_t tail = sizeof(COPYING_TEXT_TAIL);  // with its terminator
  char text[head + MAX_PATH - 1 + tail];
  size_t length = TextLength(fileName);
  if (length > MAX_PATH - 1) return;
  MemoryCopy(text, COPYING_TEXT_HEAD, head);
  MemoryCopy(text + head, fileName, length);
  MemoryCopy(text + head + length, COPYING_TEXT_TAIL, tail);
  Show(text, position, range);
}

void StatusWindow::Hide() {
  if (m_window != NULL && PostMessageA(m_window, kHideMessage, 0, reinterpret_cast<LPARAM>(m_hidden)))
    WaitForSingleObject(m_hidden, INFINITE);
}

void StatusWindow::Close() {
  // Hidden first: no show is left in the queue to outlive the window.
  Hide();
  if (m_window != NULL) SendMessageA(m_window, kCloseMessage, 0, 0);
  m_window = NULL;
  if (m_thread != NULL) {
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = NULL;
  }
  if (m_hidden != NULL) {
    CloseHandle(m_hidden);
    m_hidden = NULL;
  }
}

DWORD WINAPI StatusWindow::ThreadMain(LPVOID object) {
  StatusWindow* self = static_cast<StatusWindow*>(object);
  HWND window = self->CreateWindows();
  self->m_window = window;
  // From here on the object is the run's again; the window is reached
  // through messages alone.
  SetEvent(self->m_ready);
  if (window == NULL) return 0;
  MSG message;
  // 0 is WM_QUIT, -1 an error: either ends the loop.
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

// On the window's thread: the hidden window and its two controls, or NULL.
HWND StatusWindow::CreateWindows() {
  InitCommonControls();
  WNDCLASSEXA windowClass;
  MemoryFill(&windowClass, 0, sizeof windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = m_instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = STATUS_WINDOW_CLASS;
  // The class of an earlier window of this process is still registered.
  if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return NULL;

  // A caption without a system menu: no close button, since the run cannot
  // be stopped half way.
  HWND window = CreateWindowExA(0, STATUS_WINDOW_CLASS, APP_CAPTION, WS_CAPTION,
                                Centred(GetSystemMetrics(SM_CXSCREEN), kWindowWidth),
                                Centred(GetSystemMetrics(SM_CYSCREEN), kWindowHeight), kWindowWidth, kWindowHeight,
                                NULL, NULL, m_instance, NULL);
  if (window == NULL) return NULL;
  // SS_NOPREFIX: a file name with "&" shows as it is.
  HWND text = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kMargin, kMargin,
                              kControlWidth, kTextHeight, window, ControlId(kTextId), m_instance, NULL);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, NULL, WS_CHILD | WS_VISIBLE, kMargin, kBarTop, kControlWidth,
                             kBarHeight, window, ControlId(kBarId), m_instance, NULL);
  if (text == NULL || bar == NULL) {
    DestroyWindow(window);
    return NULL;
  }
  return window;
}

LRESULT CALLBACK StatusWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kShowMessage: {
      // The text and the bar first, so that the window never shows the last ones.
      char* text = reinterpret_cast<char*>(lParam);
      SetWindowTextA(GetDlgItem(window, kTextId), text);
      HeapMemoryFree(text);
      HWND bar = GetDlgItem(window, kBarId);
      SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, HIWORD(wParam)));
      SendMessageA(bar, PBM_SETPOS, LOWORD(wParam), 0);
      ShowWindow(window, SW_SHOW);
      return 0;
    }
    case kHideMessage:
      ShowWindow(window, SW_HIDE);
      SetEvent(reinterpret_cast<HANDLE>(lParam));
      return 0;
    case kCloseMessage: DestroyWindow(window); return 0;
    // Alt+F4 still asks, even without a close button: the run goes on.
    case WM_CLOSE: return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}
