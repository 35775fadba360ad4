// Modal dialogs and their controls, driven by the test's scripted user.
//
// The model follows the system's dialog manager where the programs can see
// it:
// - DialogBoxParamA sends WM_SETFONT (for a DS_SETFONT template) and then
//   WM_INITDIALOG; a TRUE answer puts the focus on the first tab-stop control.
// - Every message to the dialog goes first to the dialog procedure with
//   DWLP_MSGRESULT set to 0. WM_INITDIALOG, WM_QUERYDRAGICON, WM_CTLCOLOR*,
//   WM_COMPAREITEM, WM_VKEYTOITEM and WM_CHARTOITEM answer with the
//   procedure's own result; for any other message a TRUE result means "the
//   answer is in DWLP_MSGRESULT", and FALSE lets the default handling run.
// - Default handling: WM_SETICON keeps the icon, WM_ICONERASEBKGND erases,
//   WM_PAINT paints the dialog, WM_CLOSE becomes IDCANCEL, text messages
//   read or set the caption.
// - Controls notify their dialog with WM_COMMAND: a list box with LBS_NOTIFY
//   reports LBN_SELCHANGE on a click, an edit field EN_UPDATE and EN_CHANGE
//   whenever its text is set. Programmatic selection (LB_SETCURSEL) reports
//   nothing.
// - EndDialog only marks the dialog; once the script has run, the dialog
//   receives WM_DESTROY and WM_NCDESTROY and its windows are destroyed.
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <windows.h>

#include "dialogs_internal.h"
#include "internal.h"
#include "sim_dialogs.h"
#include "sim_machine.h"
#include "sim_user.h"
#include "windows_internal.h"

namespace {

using winsim::PaintEvent;
using winsim::detail::CopyText;
using winsim::detail::HandleOf;
using winsim::detail::Window;
using Kind = winsim::detail::WindowKind;

const int kEditLimit = 32767;
// Dialog base units of 8-point MS Sans Serif: 6 x 13 pixels.
const int kBaseUnitX = 6;
const int kBaseUnitY = 13;

Window* sShown = nullptr;
std::deque<winsim::DialogScript> sScripts;
winsim::DialogScript sHandler;
std::vector<winsim::DialogRecord> sRecords;
uintptr_t sNextDc = 0x1000;
size_t sTextLengthSurplus = 0;

Window* WindowOf(HWND handle, const char* function) {
  Window* window = winsim::detail::LiveWindow(handle);
  if (window == nullptr) winsim::Unmodelled(std::string(function) + " on a window that does not exist");
  return window;
}

Window* DialogOf(HWND handle, const char* function) {
  Window* window = WindowOf(handle, function);
  if (window->kind != Kind::kDialog) winsim::Unmodelled(std::string(function) + " on a control");
  return window;
}

bool AnswersDirectly(UINT message) {
  return message == WM_INITDIALOG || message == WM_QUERYDRAGICON || message == WM_COMPAREITEM ||
         message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
         (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

RECT ClientRect(const Window* dialog) {
  RECT rect{0, 0, 0, 0};
  if (dialog->iconic) {
    rect.right = dialog->iconicWidth;
    rect.bottom = dialog->iconicHeight;
  } else {
    rect.right = dialog->cx * kBaseUnitX / 4;
    rect.bottom = dialog->cy * kBaseUnitY / 8;
  }
  return rect;
}

LRESULT SendToDialog(Window* dialog, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT DefaultDialogMessage(Window* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETICON: {
      if (wParam != ICON_SMALL && wParam != ICON_BIG) winsim::Unmodelled("WM_SETICON of an unknown kind");
      HICON icon = reinterpret_cast<HICON>(lParam);
      if (icon != nullptr && !winsim::detail::IsIcon(icon)) winsim::Unmodelled("WM_SETICON with no icon");
      HICON previous = dialog->icons[wParam];
      dialog->icons[wParam] = icon;
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_ICONERASEBKGND:
      dialog->paints.push_back(PaintEvent{PaintEvent::kIconBackground, reinterpret_cast<HDC>(wParam), 0, 0, nullptr});
      return 1;
    case WM_PAINT:
      dialog->paints.push_back(PaintEvent{PaintEvent::kDefaultPaint, nullptr, 0, 0, nullptr});
      return 0;
    case WM_CLOSE: {
      Window* cancel = nullptr;
      for (Window* child : dialog->children)
        if (child->id == IDCANCEL) cancel = child;
      return SendToDialog(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    }
    case WM_GETTEXT: return CopyText(dialog->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(dialog->text.size());
    case WM_SETTEXT:
      dialog->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    default: return 0;
  }
}

LRESULT SendToDialog(Window* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  dialog->msgResult = 0;
  INT_PTR result = dialog->proc(HandleOf(dialog), message, wParam, lParam);
  if (AnswersDirectly(message)) return result;
  if (result != 0) return dialog->msgResult;
  return DefaultDialogMessage(dialog, message, wParam, lParam);
}

void Notify(Window* control, int code) {
  SendToDialog(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control));
}

void SetControlText(Window* control, const std::string& text) {
  control->text = text;
  if (control->kind == Kind::kEdit) {
    Notify(control, EN_UPDATE);
    Notify(control, EN_CHANGE);
  }
}

LRESULT ListBoxMessage(Window* list, UINT message, WPARAM wParam, LPARAM lParam) {
  int count = static_cast<int>(list->lines.size());
  int index = static_cast<int>(wParam);
  switch (message) {
    case LB_ADDSTRING: {
      if (lParam == 0) winsim::Unmodelled("LB_ADDSTRING with no text");
      // A list box whose storage is full (Windows 95 keeps a list box's
      // lines in a 64 KB heap) refuses the line.
      DWORD error = 0;
      if (winsim::detail::FaultDue("LB_ADDSTRING", &error)) return LB_ERRSPACE;
      std::string text = reinterpret_cast<const char*>(lParam);
      auto at = list->lines.end();
      if (list->style & LBS_SORT)
        at = std::upper_bound(list->lines.begin(), list->lines.end(), text, [](const std::string& a, const std::string& b) {
          return winsim::detail::CompareNoCase(a, b) < 0;
        });
      at = list->lines.insert(at, text);
      return at - list->lines.begin();
    }
    case LB_RESETCONTENT:
      list->lines.clear();
      list->selection = -1;
      return 0;
    case LB_SETCURSEL:
      if (index < 0 || index >= count) {
        if (index < 0) list->selection = -1;
        return LB_ERR;
      }
      list->selection = index;
      return index;
    case LB_GETCURSEL: return list->selection < 0 ? LB_ERR : list->selection;
    case LB_GETCOUNT: return count;
    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LRESULT>(list->lines[index].size() + sTextLengthSurplus);
    case LB_GETTEXT: {
      if (index < 0 || index >= count) return LB_ERR;
      if (lParam == 0) winsim::Unmodelled("LB_GETTEXT with no buffer");
      // As in the system, the buffer must hold the whole line: LB_GETTEXTLEN tells its size.
      const std::string& line = list->lines[index];
      std::memcpy(reinterpret_cast<char*>(lParam), line.c_str(), line.size() + 1);
      return static_cast<LRESULT>(line.size());
    }
    default: winsim::Unmodelled("a list-box message that is not modelled: " + std::to_string(message));
  }
}

LRESULT ControlMessage(Window* control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (control->kind == Kind::kListBox) return ListBoxMessage(control, message, wParam, lParam);
  switch (message) {
    case WM_SETTEXT:
      SetControlText(control, lParam ? reinterpret_cast<const char*>(lParam) : "");
      return TRUE;
    case WM_GETTEXT: return CopyText(control->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(control->text.size());
    default: winsim::Unmodelled("a control message that is not modelled: " + std::to_string(message));
  }
}

Window* FirstChild(Window* dialog, Kind kind, const char* what) {
  for (Window* child : dialog->children)
    if (child->kind == kind) return child;
  winsim::Unmodelled(std::string("the dialog has no ") + what);
}

Window* ChildById(Window* dialog, int id) {
  for (Window* child : dialog->children)
    if (child->id == id) return child;
  return nullptr;
}

Window* ShownDialog(HWND handle, const char* action) {
  Window* dialog = DialogOf(handle, action);
  if (dialog->ended) winsim::Unmodelled(std::string(action) + " on a dialog that has already ended");
  return dialog;
}

void Click(Window* dialog, int id, const char* action) {
  Window* button = ChildById(dialog, id);
  if (button == nullptr || button->kind != Kind::kButton) winsim::Unmodelled(std::string(action) + ": no such button");
  if (button->style & WS_DISABLED) winsim::Unmodelled(std::string(action) + ": the button is disabled");
  dialog->focus = button;
  SendToDialog(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

Kind KindOfClass(const std::string& name) {
  if (name == "Button") return Kind::kButton;
  if (name == "Edit") return Kind::kEdit;
  if (name == "Static") return Kind::kStatic;
  if (name == "ListBox") return Kind::kListBox;
  winsim::Unmodelled("a control of class " + name);
}

Window* CreateDialogWindows(const winsim::DialogTemplate& dialogTemplate, int id, DLGPROC proc) {
  auto* dialog = new Window();
  dialog->kind = Kind::kDialog;
  dialog->templateId = id;
  dialog->style = dialogTemplate.style;
  dialog->exStyle = dialogTemplate.exStyle;
  dialog->text = dialogTemplate.caption;
  dialog->cx = dialogTemplate.cx;
  dialog->cy = dialogTemplate.cy;
  dialog->proc = proc;
  dialog->ownerThread = GetCurrentThreadId();
  winsim::detail::AddWindow(dialog);
  for (const auto& control : dialogTemplate.controls) {
    auto* child = new Window();
    child->kind = KindOfClass(control.windowClass);
    child->parent = dialog;
    child->id = static_cast<int>(control.id);
    child->style = control.style;
    child->exStyle = control.exStyle;
    child->text = control.text;
    child->ownerThread = dialog->ownerThread;
    dialog->children.push_back(child);
    winsim::detail::AddWindow(child);
  }
  return dialog;
}

void DestroyDialogWindows(Window* dialog) {
  for (Window* child : dialog->children) winsim::detail::RemoveWindow(child);
  winsim::detail::RemoveWindow(dialog);
}

std::vector<std::string> LinesOf(Window* dialog) {
  for (Window* child : dialog->children)
    if (child->kind == Kind::kListBox) return child->lines;
  return {};
}

int SelectionOf(Window* dialog) {
  for (Window* child : dialog->children)
    if (child->kind == Kind::kListBox) return child->selection;
  return -1;
}

std::string FieldOf(Window* dialog) {
  for (Window* child : dialog->children)
    if (child->kind == Kind::kEdit) return child->text;
  return "";
}

}  // namespace

namespace winsim {

std::string DialogUser::Caption() const { return DialogOf(dialog_, "Caption")->text; }

std::vector<std::string> DialogUser::Lines() const {
  return FirstChild(DialogOf(dialog_, "Lines"), Kind::kListBox, "list box")->lines;
}

int DialogUser::Selection() const {
  return FirstChild(DialogOf(dialog_, "Selection"), Kind::kListBox, "list box")->selection;
}

std::string DialogUser::Field() const {
  return FirstChild(DialogOf(dialog_, "Field"), Kind::kEdit, "edit field")->text;
}

std::string DialogUser::ControlText(int id) const {
  Window* control = ChildById(DialogOf(dialog_, "ControlText"), id);
  if (control == nullptr) Unmodelled("ControlText: no control with id " + std::to_string(id));
  return control->text;
}

HICON DialogUser::Icon(bool big) const { return DialogOf(dialog_, "Icon")->icons[big ? ICON_BIG : ICON_SMALL]; }

bool DialogUser::Ended() const { return DialogOf(dialog_, "Ended")->ended; }

void DialogUser::Select(int line) {
  Window* dialog = ShownDialog(dialog_, "Select");
  Window* list = FirstChild(dialog, Kind::kListBox, "list box");
  if (line < 0 || line >= static_cast<int>(list->lines.size()))
    Unmodelled("Select: the list box has no line " + std::to_string(line));
  dialog->focus = list;
  list->selection = line;
  if (list->style & LBS_NOTIFY) Notify(list, LBN_SELCHANGE);
}

void DialogUser::SelectText(const std::string& text) {
  std::vector<std::string> lines = Lines();
  auto it = std::find(lines.begin(), lines.end(), text);
  if (it == lines.end()) Unmodelled("SelectText: no line " + text);
  Select(static_cast<int>(it - lines.begin()));
}

void DialogUser::Type(const std::string& text) {
  Window* dialog = ShownDialog(dialog_, "Type");
  Window* edit = FirstChild(dialog, Kind::kEdit, "edit field");
  if (edit->style & ES_READONLY) Unmodelled("Type: the field is read-only");
  dialog->focus = edit;
  SetControlText(edit, text.substr(0, kEditLimit));
}

void DialogUser::PressOK() { Click(ShownDialog(dialog_, "PressOK"), IDOK, "PressOK"); }

void DialogUser::PressCancel() { Click(ShownDialog(dialog_, "PressCancel"), IDCANCEL, "PressCancel"); }

void DialogUser::PressEnter() {
  Window* dialog = ShownDialog(dialog_, "PressEnter");
  // Enter presses the focused push button, else the default push button.
  Window* button = dialog->focus != nullptr && dialog->focus->kind == Kind::kButton ? dialog->focus : nullptr;
  for (Window* child : dialog->children)
    if (button == nullptr && child->kind == Kind::kButton && (child->style & 0xFu) == BS_DEFPUSHBUTTON) button = child;
  int id = button != nullptr ? button->id : IDOK;
  SendToDialog(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void DialogUser::PressEscape() {
  Window* dialog = ShownDialog(dialog_, "PressEscape");
  SendToDialog(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(ChildById(dialog, IDCANCEL)));
}

void DialogUser::Close() { SendToDialog(ShownDialog(dialog_, "Close"), WM_CLOSE, 0, 0); }

void DialogUser::Minimise(int clientWidth, int clientHeight) {
  Window* dialog = ShownDialog(dialog_, "Minimise");
  dialog->iconic = true;
  dialog->iconicWidth = clientWidth;
  dialog->iconicHeight = clientHeight;
  SendToDialog(dialog, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(clientWidth, clientHeight));
}

void DialogUser::Restore() {
  Window* dialog = ShownDialog(dialog_, "Restore");
  dialog->iconic = false;
  RECT rect = ClientRect(dialog);
  SendToDialog(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right, rect.bottom));
}

std::vector<PaintEvent> DialogUser::Paint() {
  Window* dialog = ShownDialog(dialog_, "Paint");
  dialog->paints.clear();
  SendToDialog(dialog, WM_PAINT, 0, 0);
  if (dialog->painting) Unmodelled("WM_PAINT returned between BeginPaint and EndPaint");
  return dialog->paints;
}

HICON DialogUser::DragIcon() {
  return reinterpret_cast<HICON>(SendToDialog(ShownDialog(dialog_, "DragIcon"), WM_QUERYDRAGICON, 0, 0));
}

void SetListBoxTextLengthSurplus(size_t extra) { sTextLengthSurplus = extra; }
void AddDialogScript(DialogScript script) { sScripts.push_back(std::move(script)); }
void SetDialogHandler(DialogScript handler) { sHandler = std::move(handler); }
size_t PendingDialogScripts() { return sScripts.size(); }
std::vector<DialogRecord> Dialogs() { return sRecords; }

namespace detail {
void ResetDialogs() {
  sShown = nullptr;
  sScripts.clear();
  sHandler = nullptr;
  sRecords.clear();
  sNextDc = 0x1000;
  sTextLengthSurplus = 0;
}
}  // namespace detail
}  // namespace winsim

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC dialogProc,
                               LPARAM initParam) {
  (void)instance;  // the program has one module
  if (!IS_INTRESOURCE(templateName)) winsim::Unmodelled("DialogBoxParamA with a template named by text");
  if (dialogProc == nullptr) winsim::Unmodelled("DialogBoxParamA with no dialog procedure");
  if (parent != nullptr) winsim::Unmodelled("DialogBoxParamA with an owner window");
  if (sShown != nullptr) winsim::Unmodelled("a modal dialog shown from inside another");
  int id = LOWORD(templateName);
  winsim::DialogRecord record{id, "", {}, -1, "", -1, "", winsim::Boxes().size(),
                              winsim::detail::VisibleProgramWindows()};
  DWORD error = 0;
  const winsim::DialogTemplate* dialogTemplate = winsim::detail::ProgramDialog(id);
  if (winsim::detail::FaultDue("DialogBoxParamA", &error) || dialogTemplate == nullptr) {
    if (dialogTemplate == nullptr && error == 0) error = 1812;  // ERROR_RESOURCE_DATA_NOT_FOUND
    sRecords.push_back(record);
    SetLastError(error);
    return -1;
  }

  Window* dialog = CreateDialogWindows(*dialogTemplate, id, dialogProc);
  sShown = dialog;
  HWND handle = HandleOf(dialog);
  if (dialog->style & DS_SETFONT) SendToDialog(dialog, WM_SETFONT, 0x5F0, FALSE);
  Window* firstTabStop = nullptr;
  for (Window* child : dialog->children)
    if (firstTabStop == nullptr && (child->style & WS_TABSTOP) && !(child->style & WS_DISABLED)) firstTabStop = child;
  if (SendToDialog(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), initParam) != 0)
    dialog->focus = firstTabStop;

  record.caption = dialog->text;
  record.initialLines = LinesOf(dialog);
  record.initialSelection = SelectionOf(dialog);
  record.initialField = FieldOf(dialog);

  if (!dialog->ended) {
    winsim::DialogScript script = sHandler;
    if (!script) {
      if (sScripts.empty()) winsim::Unmodelled("DialogBoxParamA not answered by the script: \"" + dialog->text + "\"");
      script = std::move(sScripts.front());
      sScripts.pop_front();
    }
    winsim::DialogUser user(handle);
    script(user);
    if (!dialog->ended) winsim::Unmodelled("the script left the dialog \"" + dialog->text + "\" open");
  }

  record.result = dialog->result;
  record.finalField = FieldOf(dialog);
  SendToDialog(dialog, WM_DESTROY, 0, 0);
  SendToDialog(dialog, WM_NCDESTROY, 0, 0);
  INT_PTR result = dialog->result;
  DestroyDialogWindows(dialog);
  sShown = nullptr;
  sRecords.push_back(record);
  return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  Window* window = DialogOf(dialog, "EndDialog");
  window->ended = true;
  window->result = result;
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  // A window of the program's own class holds controls too.
  Window* parent = WindowOf(dialog, "GetDlgItem");
  if (parent->kind != Kind::kDialog && parent->kind != Kind::kTopLevel) winsim::Unmodelled("GetDlgItem on a control");
  Window* control = nullptr;
  {
    std::lock_guard<std::mutex> lock(winsim::detail::WindowLock());
    control = ChildById(parent, id);
  }
  if (control == nullptr) SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
  return control == nullptr ? nullptr : HandleOf(control);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* target = WindowOf(window, "SendMessageA");
  if (!winsim::detail::IsDialogWindow(target))
    return winsim::detail::SendToProgramWindow(target, message, wParam, lParam);
  // The dialog's loop here is the test's script, which takes no messages
  // from other threads.
  if (target->ownerThread != GetCurrentThreadId()) winsim::Unmodelled("SendMessageA to a dialog of another thread");
  if (target->kind != Kind::kDialog) return ControlMessage(target, message, wParam, lParam);
  switch (message) {
    case WM_SETICON:
    case WM_ICONERASEBKGND:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
    case WM_CLOSE:
      return SendToDialog(target, message, wParam, lParam);
    default: winsim::Unmodelled("a dialog message that is not modelled: " + std::to_string(message));
  }
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control == nullptr ? 0 : SendMessageA(control, message, wParam, lParam);
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int WINAPI GetWindowTextA(HWND window, LPSTR text, int maxCount) {
  if (maxCount <= 0) return 0;
  return static_cast<int>(
      SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Window* dialog = DialogOf(window, "SetWindowLongPtrA");
  LONG_PTR* slot = nullptr;
  if (index == static_cast<int>(DWLP_MSGRESULT)) slot = &dialog->msgResult;
  if (index == static_cast<int>(DWLP_USER)) slot = &dialog->user;
  if (slot == nullptr) winsim::Unmodelled("SetWindowLongPtrA of an index that is not modelled");
  LONG_PTR previous = *slot;
  *slot = value;
  return previous;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
  if (index == GWL_STYLE) return winsim::detail::StyleOfWindow(window);
  Window* dialog = DialogOf(window, "GetWindowLongPtrA");
  if (index == static_cast<int>(DWLP_MSGRESULT)) return dialog->msgResult;
  if (index == static_cast<int>(DWLP_USER)) return dialog->user;
  winsim::Unmodelled("GetWindowLongPtrA of an index that is not modelled");
}

BOOL WINAPI IsIconic(HWND window) { return DialogOf(window, "IsIconic")->iconic; }

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
  if (rect == nullptr) winsim::Unmodelled("GetClientRect with no rectangle");
  *rect = ClientRect(DialogOf(window, "GetClientRect"));
  return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
  if (index == SM_CXICON || index == SM_CYICON) return 32;
  if (index == SM_CXSCREEN) return winsim::detail::ScreenWidth();
  if (index == SM_CYSCREEN) return winsim::detail::ScreenHeight();
  winsim::Unmodelled("GetSystemMetrics " + std::to_string(index));
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  Window* dialog = DialogOf(window, "BeginPaint");
  if (paint == nullptr) winsim::Unmodelled("BeginPaint with no record");
  if (dialog->painting) winsim::Unmodelled("BeginPaint inside a painting");
  dialog->painting = true;
  dialog->paintDc = reinterpret_cast<HDC>(++sNextDc);
  std::memset(paint, 0, sizeof *paint);
  paint->hdc = dialog->paintDc;
  paint->rcPaint = ClientRect(dialog);
  dialog->paints.push_back(PaintEvent{PaintEvent::kBeginPaint, dialog->paintDc, 0, 0, nullptr});
  return dialog->paintDc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
  Window* dialog = DialogOf(window, "EndPaint");
  if (!dialog->painting || paint == nullptr || paint->hdc != dialog->paintDc)
    winsim::Unmodelled("EndPaint without its BeginPaint");
  dialog->painting = false;
  dialog->paints.push_back(PaintEvent{PaintEvent::kEndPaint, dialog->paintDc, 0, 0, nullptr});
  dialog->paintDc = nullptr;
  return TRUE;
}

BOOL WINAPI DrawIcon(HDC dc, int x, int y, HICON icon) {
  // Only the shown dialog paints: it is the one window with a device context.
  Window* dialog = sShown;
  if (dialog == nullptr || !dialog->painting || dialog->paintDc != dc)
    winsim::Unmodelled("DrawIcon on a device context that is not being painted");
  if (!winsim::detail::IsIcon(icon)) winsim::Unmodelled("DrawIcon with no icon");
  dialog->paints.push_back(PaintEvent{PaintEvent::kDrawIcon, dc, x, y, icon});
  return TRUE;
}
