// Windows, modal dialogs and their controls (push buttons, static texts, edit
// fields, list boxes), icons, and the painting of a minimised window.
//
// A modal dialog is built from the program's compiled dialog template, the
// same one the Windows build links (see sim/sim_dialogs.h). While it is shown,
// the user of the test's script operates it; every message reaches the
// dialog procedure as the system's dialog manager would send it.
#pragma once

#include "types.h"

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// Window styles
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_NOPARENTNOTIFY 0x00000004u
#define WS_EX_APPWINDOW 0x00040000u

// Dialog styles
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_3DLOOK 0x0004u
#define DS_CENTER 0x0800u

// Control styles
#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
#define SS_LEFT 0x00000000u
#define SS_NOPREFIX 0x00000080u
#define ES_LEFT 0x0000u
#define ES_MULTILINE 0x0004u
#define ES_AUTOHSCROLL 0x0080u
#define ES_READONLY 0x0800u
#define LBS_NOTIFY 0x0001u
#define LBS_SORT 0x0002u
#define LBS_NOINTEGRALHEIGHT 0x0100u

// Window messages
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ERASEBKGND 0x0014
#define WM_ICONERASEBKGND 0x0027
#define WM_VKEYTOITEM 0x002E
#define WM_CHARTOITEM 0x002F
#define WM_SETFONT 0x0030
#define WM_QUERYDRAGICON 0x0037
#define WM_COMPAREITEM 0x0039
#define WM_SETICON 0x0080
#define WM_NCDESTROY 0x0082
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_CTLCOLORMSGBOX 0x0132
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSCROLLBAR 0x0137
#define WM_CTLCOLORSTATIC 0x0138

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define ICON_SMALL 0
#define ICON_BIG 1

// Notifications (the high word of WM_COMMAND's wParam)
#define BN_CLICKED 0
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// List-box messages and results
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

// Extra window memory of a dialog
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + sizeof(DLGPROC))
// Of any window
#define GWL_STYLE (-16)

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXICON 11
#define SM_CYICON 12

// Shows a modal dialog from the program's template `templateName` (an
// integer resource) and returns what EndDialog was given, or -1 when the
// dialog could not be shown.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                               LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
HWND WINAPI GetDlgItem(HWND dialog, int id);

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
int WINAPI GetWindowTextA(HWND window, LPSTR text, int maxCount);
LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index);

// Icons come from the program's icon groups; the image that suits the
// system's icon size (32 x 32) is chosen. A loaded icon is shared and stays
// valid for the life of the program.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

BOOL WINAPI IsIconic(HWND window);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
int WINAPI GetSystemMetrics(int index);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL WINAPI DrawIcon(HDC dc, int x, int y, HICON icon);
