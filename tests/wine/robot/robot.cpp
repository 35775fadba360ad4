// The UI robot of the end-to-end runs: starts a program, then plays a user
// who reads every message box and dialog of that program and answers them
// from a script, writing down everything it saw.
//
//   robot.exe SCRIPT TRANSCRIPT DEADLINE_MS PROGRAM [ARGUMENT...]
//
// Script lines, tab-separated:
//   box     ANSWER        wait for the next message box; answer YES, NO, OK or CANCEL
//   box     ANSWER  PATH  the same, but first ask for a disc (write insert.txt in
//                         the current folder) and wait until PATH can be read
//   dialog                wait for the folder dialog and write down its state
//   select  N             select list line N, as a click does (LBN_SELCHANGE)
//   type    TEXT          replace the text of the path field
//   press   OK|CANCEL     press a button of the folder dialog
//   shot    FILE.bmp      save the folder dialog's window as a bitmap
//   showing TEXT          wait until the status window shows TEXT
//   statusshot FILE.bmp   save the status window as a bitmap
//   regset  KEY  NAME  TEXT  write a string value below HKLM (KEY starts with HKLM\)
// Transcript lines, tab-separated:
//   codepage N           always first: the ANSI code page of the run (GetACP)
//   box     CAPTION  TEXT  BUTTONS  ANSWER
//   dialog  CAPTION  FIELD  SELECTION  LINE|LINE|...
//   status  TEXT         the program's status window came into sight with TEXT,
//                        or changed to it
//   status  hidden       the status window went out of sight
//   unexpected  WHAT     a window the script did not foresee, or the status
//                        window over a box or the dialog (the program is ended)
//   timeout              the deadline passed (the program is ended)
//   exit    CODE
// In texts a line-feed is written as the two characters \n.
//
// A thread of the robot watches the status window all along, a few
// milliseconds apart: a state shorter than that can pass unseen. Before it
// writes a box or the dialog down, the robot looks once more itself, so the
// status lines up to that moment come before the box's line.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "escape_text.h"
#include "status_window.h"

namespace {

const int kListBoxId = 1001;
const int kFieldId = 1000;
const DWORD kPollMs = 50;
const DWORD kStatusPollMs = 3;
const UINT kTextTimeoutMs = 10000;

HANDLE sProcess = NULL;
DWORD sProcessId = 0;
DWORD sDeadline = 0;
FILE* sTranscript = NULL;
// Held while a transcript line is written and while the status window is
// looked at, by the watcher thread and the script's thread alike.
CRITICAL_SECTION sLock;

void Write(const std::string& line) {
  EnterCriticalSection(&sLock);
  fprintf(sTranscript, "%s\n", line.c_str());
  fflush(sTranscript);
  LeaveCriticalSection(&sLock);
}

// Asks the window itself for its text. GetWindowText on another process's
// window only returns the text the system keeps for it, which an edit
// control does not update as the user types. A window that does not answer
// in time (a program that hangs) reads as empty rather than stop the robot.
// The text may change between the question of its length and the question
// of the text itself (the status window moving on to the next file), so the
// buffer has room to spare, and a text that fills it is asked for again.
std::string WindowText(HWND window) {
  if (window == NULL) return "";
  const size_t kRoomToSpare = 512;
  std::vector<WCHAR> wide;
  for (DWORD_PTR copied = 0; wide.empty() || copied + 1 >= wide.size();) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length)) return "";
    wide.assign(static_cast<size_t>(length) + kRoomToSpare, 0);
    if (!SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(wide.size()), reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied))
      return "";
  }
  std::vector<char> narrow(wide.size() * 2 + 2, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow.data(), static_cast<int>(narrow.size()) - 1, NULL, NULL);
  return narrow.data();
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct Search {
  bool wantDialog;
  HWND found;
};

BOOL CALLBACK FindWindowOfProgram(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != sProcessId || !IsWindowVisible(window) || ClassOf(window) != "#32770") return TRUE;
  bool isDialog = GetDlgItem(window, kListBoxId) != NULL;
  if (isDialog != search->wantDialog) {
    // Remember it anyway: the caller reports what came instead.
    if (search->found == NULL) search->found = window;
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

bool ProgramEnded() { return WaitForSingleObject(sProcess, 0) == WAIT_OBJECT_0; }

bool PastDeadline() { return static_cast<LONG>(GetTickCount() - sDeadline) >= 0; }

// The status window as the user saw it at the last look: in sight with
// this text, or not. Kept under sLock.
bool sStatusVisible = false;
std::string sStatusText;
HANDLE sStopWatching = NULL;

HWND StatusWindowOfProgram() {
  HWND window = NULL;
  while ((window = FindWindowExA(NULL, window, STATUS_WINDOW_CLASS, NULL)) != NULL) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == sProcessId) return window;
  }
  return NULL;
}

// Looks at the status window once and writes down what the user sees
// differently since the last look. Returns whether it is in sight, and its
// text in `text`.
bool LookAtStatus(std::string* text = NULL) {
  EnterCriticalSection(&sLock);
  HWND window = StatusWindowOfProgram();
  bool visible = window != NULL && IsWindowVisible(window);
  std::string now = visible ? EscapeText(WindowText(FindWindowExA(window, NULL, "Static", NULL))) : "";
  // Hidden or destroyed while its text was read: the text may be lost.
  visible = visible && IsWindowVisible(window);
  if (visible && (!sStatusVisible || now != sStatusText))
    Write("status\t" + now);
  else if (!visible && sStatusVisible)
    Write("status\thidden");
  sStatusVisible = visible;
  sStatusText = now;
  if (text != NULL) *text = now;
  LeaveCriticalSection(&sLock);
  return visible;
}

DWORD WINAPI WatchStatus(LPVOID) {
  while (WaitForSingleObject(sStopWatching, kStatusPollMs) == WAIT_TIMEOUT) LookAtStatus();
  return 0;
}

// A box or the dialog has the screen to itself: the status window in sight
// with it is a finding.
bool StatusOutOfSight(const std::string& what) {
  if (!LookAtStatus()) return true;
  Write("unexpected\tstatus window over the " + what);
  return false;
}

// Waits for a window of the wanted kind. Returns NULL when the program ended,
// the deadline passed, or another kind of window came first.
HWND WaitForWindow(bool wantDialog, HWND* other) {
  *other = NULL;
  while (!ProgramEnded() && !PastDeadline()) {
    Search search = {wantDialog, NULL};
    EnumWindows(FindWindowOfProgram, reinterpret_cast<LPARAM>(&search));
    if (search.found != NULL) {
      bool isDialog = GetDlgItem(search.found, kListBoxId) != NULL;
      if (isDialog == wantDialog) {
        Sleep(kPollMs);  // let the window finish its initialisation
        return search.found;
      }
      *other = search.found;
      return NULL;
    }
    Sleep(kPollMs);
  }
  return NULL;
}

std::string Buttons(HWND box) {
  std::string buttons;
  if (GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)) buttons += "YESNO";
  if (GetDlgItem(box, IDOK)) buttons += "OK";
  if (GetDlgItem(box, IDCANCEL)) buttons += "CANCEL";
  return buttons.empty() ? "NONE" : buttons;
}

int AnswerId(const std::string& answer) {
  if (answer == "YES") return IDYES;
  if (answer == "NO") return IDNO;
  if (answer == "OK") return IDOK;
  if (answer == "CANCEL") return IDCANCEL;
  return 0;
}

void Click(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void WaitGone(HWND window) {
  while (IsWindow(window) && IsWindowVisible(window) && !ProgramEnded() && !PastDeadline()) Sleep(kPollMs);
}

// Describes an unforeseen window and ends the program: the transcript then
// shows exactly where the run went astray.
bool Unexpected(HWND window, const std::string& wanted) {
  std::string what = window ? ("\"" + EscapeText(WindowText(window)) + "\" while waiting for " + wanted)
                            : ("nothing while waiting for " + wanted);
  if (window && GetDlgItem(window, 0xFFFF))
    what = "box \"" + EscapeText(WindowText(window)) + "\" \"" + EscapeText(WindowText(GetDlgItem(window, 0xFFFF))) +
           "\" while waiting for " + wanted;
  if (PastDeadline() && !ProgramEnded()) {
    Write("timeout");
  } else if (!ProgramEnded() || window) {
    Write("unexpected\t" + what);
  }
  return false;
}

// The user puts the disc back: asks the runner for it, and waits until the
// drive reads again.
bool InsertDisc(const std::string& path) {
  FILE* request = fopen("insert.txt", "wb");
  if (request != NULL) fclose(request);
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (PastDeadline()) return false;
    Sleep(kPollMs);
  }
  return true;
}

bool DoBox(const std::string& step) {
  std::string answer = step.substr(0, step.find('\t'));
  std::string disc = step.find('\t') == std::string::npos ? "" : step.substr(step.find('\t') + 1);
  HWND other;
  HWND box = WaitForWindow(false, &other);
  if (box == NULL) return Unexpected(other, "a message box");
  if (!StatusOutOfSight("box")) return false;
  if (!disc.empty() && !InsertDisc(disc)) {
    Write("timeout");
    return false;
  }
  std::string caption = WindowText(box);
  std::string text = WindowText(GetDlgItem(box, 0xFFFF));
  Write("box\t" + caption + "\t" + EscapeText(text) + "\t" + Buttons(box) + "\t" + answer);
  int id = AnswerId(answer);
  if (id == 0 || GetDlgItem(box, id) == NULL) {
    Write("unexpected\tno button " + answer);
    return false;
  }
  Click(box, id);
  WaitGone(box);
  return true;
}

// List lines read across processes come back as wide text, whatever the
// caller asked for, so they are read with the wide messages.
std::string ListLine(HWND list, int index) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return "";
  std::vector<WCHAR> wide(static_cast<size_t>(length) + 2, 0);
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.data()));
  char narrow[1024] = "";
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow, sizeof narrow - 1, NULL, NULL);
  return narrow;
}

HWND Dialog() {
  HWND other;
  HWND dialog = WaitForWindow(true, &other);
  if (dialog == NULL) Unexpected(other, "the folder dialog");
  if (dialog != NULL && !StatusOutOfSight("dialog")) return NULL;
  return dialog;
}

bool DoDump() {
  HWND dialog = Dialog();
  if (dialog == NULL) return false;
  HWND list = GetDlgItem(dialog, kListBoxId);
  LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  std::string lines;
  for (int i = 0; i < count; ++i) lines += (i ? "|" : "") + ListLine(list, i);
  LRESULT selection = SendMessageA(list, LB_GETCURSEL, 0, 0);
  char sel[16];
  snprintf(sel, sizeof sel, "%ld", static_cast<long>(selection));
  Write("dialog\t" + WindowText(dialog) + "\t" + WindowText(GetDlgItem(dialog, kFieldId)) + "\t" + sel + "\t" + lines);
  return true;
}

bool DoSelect(int line) {
  HWND dialog = Dialog();
  if (dialog == NULL) return false;
  HWND list = GetDlgItem(dialog, kListBoxId);
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
  // A click notifies the dialog; a programmatic selection does not, so the
  // robot sends the notification itself and waits until it was handled.
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kListBoxId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  return true;
}

bool DoType(const std::string& text) {
  HWND dialog = Dialog();
  if (dialog == NULL) return false;
  SendMessageA(GetDlgItem(dialog, kFieldId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return true;
}

bool DoPress(const std::string& button) {
  HWND dialog = Dialog();
  if (dialog == NULL) return false;
  Click(dialog, button == "OK" ? IDOK : IDCANCEL);
  WaitGone(dialog);
  return true;
}

bool SaveBitmap(HWND window, const std::string& file) {
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  HDC screen = GetDC(NULL);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(NULL, screen);

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = fopen(file.c_str(), "wb");
  if (out == NULL) return false;
  fwrite(&header, sizeof header, 1, out);
  fwrite(&info, sizeof info, 1, out);
  fwrite(pixels.data(), 1, pixels.size(), out);
  fclose(out);
  return true;
}

bool DoShot(const std::string& file) {
  HWND dialog = Dialog();
  if (dialog == NULL) return false;
  Sleep(300);  // let the dialog paint
  if (!SaveBitmap(dialog, file)) Write("unexpected\tcannot write " + file);
  return true;
}

// Waits until the status window shows `text` (as the transcript writes
// it); a box or the dialog that comes first is unexpected.
bool DoShowing(const std::string& text) {
  std::string now;
  while (!ProgramEnded() && !PastDeadline()) {
    if (LookAtStatus(&now) && now == text) return true;
    Search search = {false, NULL};
    EnumWindows(FindWindowOfProgram, reinterpret_cast<LPARAM>(&search));
    if (search.found != NULL) return Unexpected(search.found, "the status window showing " + text);
    Sleep(kStatusPollMs);
  }
  return Unexpected(NULL, "the status window showing " + text);
}

bool DoStatusShot(const std::string& file) {
  HWND window = StatusWindowOfProgram();
  if (window == NULL || !LookAtStatus()) return Unexpected(NULL, "the status window for " + file);
  Sleep(300);  // let the window paint
  if (!SaveBitmap(window, file)) Write("unexpected\tcannot write " + file);
  return true;
}

// Writes a string value, as Windows does when it finishes installing a
// device. The arguments are the key (HKLM\...), the name and the text.
bool DoRegSet(const std::string& arguments) {
  size_t tab1 = arguments.find('\t');
  size_t tab2 = tab1 == std::string::npos ? tab1 : arguments.find('\t', tab1 + 1);
  const std::string root = "HKLM\\";
  if (tab2 == std::string::npos || arguments.compare(0, root.size(), root) != 0) {
    Write("unexpected\tregset needs HKLM\\KEY, NAME and TEXT: " + arguments);
    return false;
  }
  std::string subkey = arguments.substr(root.size(), tab1 - root.size());
  std::string name = arguments.substr(tab1 + 1, tab2 - tab1 - 1);
  std::string text = arguments.substr(tab2 + 1);
  HKEY key;
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
  }
  if (rc != ERROR_SUCCESS) {
    char code[16];
    snprintf(code, sizeof code, "%ld", static_cast<long>(rc));
    Write("unexpected\tcannot write HKLM\\" + subkey + " " + name + ": error " + code);
    return false;
  }
  return true;
}

bool RunStep(const std::string& line) {
  std::string verb = line.substr(0, line.find('\t'));
  std::string arg = line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1);
  if (verb == "box") return DoBox(arg);
  if (verb == "dialog") return DoDump();
  if (verb == "select") return DoSelect(atoi(arg.c_str()));
  if (verb == "type") return DoType(arg);
  if (verb == "press") return DoPress(arg);
  if (verb == "shot") return DoShot(arg);
  if (verb == "showing") return DoShowing(arg);
  if (verb == "statusshot") return DoStatusShot(arg);
  if (verb == "regset") return DoRegSet(arg);
  Write("unexpected\tunknown script step " + verb);
  return false;
}

std::vector<std::string> ReadLines(const char* path) {
  std::vector<std::string> lines;
  FILE* in = fopen(path, "rb");
  if (in == NULL) return lines;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, in)) {
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  fclose(in);
  return lines;
}

std::string Quote(const char* argument) { return std::string("\"") + argument + "\""; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: robot SCRIPT TRANSCRIPT DEADLINE_MS PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  std::vector<std::string> script = ReadLines(argv[1]);
  InitializeCriticalSection(&sLock);
  sTranscript = fopen(argv[2], "w");
  if (sTranscript == NULL) return 2;
  sDeadline = GetTickCount() + static_cast<DWORD>(atol(argv[3]));
  // Every text below is in this code page; a run that expected another one
  // (a locale that was not there) must see so.
  char codePage[32];
  snprintf(codePage, sizeof codePage, "codepage\t%u", GetACP());
  Write(codePage);

  std::string command = Quote(argv[4]);
  for (int i = 5; i < argc; ++i) command += " " + Quote(argv[i]);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    Write("unexpected\tcannot start " + command);
    return 3;
  }
  sProcess = process.hProcess;
  sProcessId = process.dwProcessId;
  sStopWatching = CreateEventA(NULL, TRUE, FALSE, NULL);
  DWORD watcherId;
  HANDLE watcher = CreateThread(NULL, 0, WatchStatus, NULL, 0, &watcherId);

  bool onScript = true;
  for (const std::string& step : script) {
    if (!RunStep(step)) {
      onScript = false;
      break;
    }
  }
  // After the script the program should end by itself; any window it still
  // shows was not foreseen.
  while (onScript && !ProgramEnded() && !PastDeadline()) {
    Search search = {false, NULL};
    EnumWindows(FindWindowOfProgram, reinterpret_cast<LPARAM>(&search));
    if (search.found != NULL) {
      Unexpected(search.found, "the end of the program");
      break;
    }
    Sleep(kPollMs);
  }
  if (!ProgramEnded()) {
    if (PastDeadline() && onScript) Write("timeout");
    TerminateProcess(sProcess, 259);
    WaitForSingleObject(sProcess, 5000);
  }
  SetEvent(sStopWatching);
  if (watcher != NULL) WaitForSingleObject(watcher, INFINITE);
  LookAtStatus();  // the program has ended: its status window is gone
  DWORD code = 0;
  GetExitCodeProcess(sProcess, &code);
  char text[32];
  snprintf(text, sizeof text, "exit\t%lu", static_cast<unsigned long>(code));
  Write(text);
  fclose(sTranscript);
  return 0;
}
