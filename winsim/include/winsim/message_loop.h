// Windows of the program's own classes, the common controls they hold, and
// the message queue of each thread with its loop.
//
// A window belongs to the thread that created it, and only that thread runs
// its window procedure: a message sent from another thread waits until the
// owner takes it in GetMessageA, and the sender blocks until it has been
// handled, as on Windows. Messages posted to a window wait in its owner's
// queue. There is no screen: no painting, input or activation messages.
#pragma once

#include "types.h"

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef WORD ATOM;

typedef struct tagWNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagCREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
// A class's background: a system colour's index plus 1 stands for its brush.
#define COLOR_BTNFACE 15

#define WM_CREATE 0x0001
#define WM_QUIT 0x0012
#define WM_NCCREATE 0x0081
#define WM_USER 0x0400
#define WM_APP 0x8000

// Registers a class of the program's own, by name (no atom, menu or extra
// memory). A name already registered gives 0 with ERROR_CLASS_ALREADY_EXISTS.
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass);
// A top-level window of a registered class, or a "STATIC" or
// "msctls_progress32" (after InitCommonControls) child of such a window; the
// child's id is `menu`. Sends WM_NCCREATE and WM_CREATE to a window of the
// program's class; a FALSE or -1 answer destroys it and gives NULL.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);
LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
// SW_HIDE, SW_SHOW, SW_SHOWNORMAL, SW_SHOWNA, SW_SHOWNOACTIVATE on a window of
// the calling thread. Returns whether it was visible before.
BOOL WINAPI ShowWindow(HWND handle, int command);
// Sends WM_DESTROY and WM_NCDESTROY, then the window and its children are
// gone. A window of another thread is refused with ERROR_ACCESS_DENIED.
BOOL WINAPI DestroyWindow(HWND handle);

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
// Handles the messages other threads send to this thread's windows while it
// waits; returns the next posted message, or 0 for WM_QUIT.
BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);

// A top-level window of any process by class name and, unless null, caption.
HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName);
BOOL WINAPI SetForegroundWindow(HWND handle);
