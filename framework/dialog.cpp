#include "dialog.h"

#include "app.h"

CDialogBase::CDialogBase(UINT templateId) : m_templateId(templateId), m_hWnd(NULL) {}

CDialogBase::~CDialogBase() {}

INT_PTR CDialogBase::DoModal() {
  CAppBase* app = CAppBase::Current();
  HINSTANCE instance = app != NULL ? app->Instance() : NULL;
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(m_templateId), NULL, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  m_hWnd = NULL;
  // -1 when the dialog could not be created (no template, no memory).
  return result;
}

void CDialogBase::EndDialog(INT_PTR result) {
  if (m_hWnd != NULL) ::EndDialog(m_hWnd, result);
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CDialogBase* dialog;
  if (uMsg == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialogBase*>(lParam);
    SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    dialog->m_hWnd = hWnd;
  } else {
    dialog = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(hWnd, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
  if (dialog == NULL) return FALSE;

  LRESULT result = 0;
  BOOL handled = dialog->ProcessMessage(hWnd, uMsg, wParam, lParam, result);
  if (uMsg == WM_NCDESTROY) dialog->m_hWnd = NULL;
  if (!handled) return FALSE;

  // These messages take the dialog procedure's own result as their answer;
  // every other handled message answers through DWLP_MSGRESULT.
  switch (uMsg) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}
