// The framework's modal dialog, over raw Win32.
//
//   CDialogBase  a modal dialog shown from a dialog template of the program's
//                resources. The dialog object is handed to the dialog
//                procedure through DialogBoxParamA's last argument and kept
//                in the dialog's DWLP_USER slot from WM_INITDIALOG on.
//
// A derived dialog lists its handlers in a message map:
//
//   BEGIN_MSG_MAP(CMyDlg)
//     MSG_WM_INITDIALOG(OnInitDialog)
//     COMMAND_ID_HANDLER(IDOK, OnOK)
//   END_MSG_MAP()
//
// The macros expand to one function, ProcessMessage, with one test per
// handler: a handler that matches runs and the message counts as handled;
// a message no handler takes goes on to the system's default handling.
#pragma once

#include <windows.h>

class CDialogBase {
 public:
  explicit CDialogBase(UINT templateId);
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Shows the dialog and returns when it is closed: the code given to
  // EndDialog (IDOK, IDCANCEL), or -1 when the dialog could not be shown.
  INT_PTR DoModal();

  // The dialog window while it is shown; NULL before and after.
  HWND Handle() const { return m_hWnd; }

 protected:
  // Overrideables

  // The message map (see BEGIN_MSG_MAP). Returns TRUE when a handler took the
  // message, with its answer in `lResult`.
  virtual BOOL ProcessMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) = 0;

  // Implementation

  // Ends the modal loop; DoModal returns `result`.
  void EndDialog(INT_PTR result);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HWND m_hWnd;
};

// Opens the message map: the dispatch function of class `theClass`.
#define BEGIN_MSG_MAP(theClass)                                                                   \
  BOOL ProcessMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override { \
    (void)hWnd;                                                                                   \
    (void)wParam;                                                                                 \
    (void)lParam;

// BOOL OnInitDialog(): TRUE lets the system give the focus to the first
// control that takes it.
#define MSG_WM_INITDIALOG(func)          \
  if (uMsg == WM_INITDIALOG) {           \
    lResult = static_cast<LRESULT>(func()); \
    return TRUE;                         \
  }

// BOOL OnPaint(): FALSE leaves the painting to the system's default.
#define MSG_WM_PAINT(func)  \
  if (uMsg == WM_PAINT) {   \
    if (!func()) return FALSE; \
    lResult = 0;            \
    return TRUE;            \
  }

// HICON OnQueryDragIcon(): the icon shown while the minimised window is dragged.
#define MSG_WM_QUERYDRAGICON(func)                   \
  if (uMsg == WM_QUERYDRAGICON) {                    \
    lResult = reinterpret_cast<LRESULT>(func());     \
    return TRUE;                                     \
  }

// void OnDestroy(): the window is being destroyed.
#define MSG_WM_DESTROY(func) \
  if (uMsg == WM_DESTROY) {  \
    func();                  \
    lResult = 0;             \
    return TRUE;             \
  }

// void func(): WM_COMMAND from control `id` with notification `code`.
#define COMMAND_HANDLER(id, code, func)                                       \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) { \
    func();                                                                   \
    lResult = 0;                                                              \
    return TRUE;                                                              \
  }

// void func(): WM_COMMAND with command `id`, whatever its notification (a
// button click, Enter or Escape).
#define COMMAND_ID_HANDLER(id, func)                  \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) { \
    func();                                           \
    lResult = 0;                                      \
    return TRUE;                                      \
  }

#define END_MSG_MAP() \
  return FALSE;       \
  }
