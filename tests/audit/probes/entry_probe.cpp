// Keeps every rule, and shows under Wine what the run-time's process entry
// point does: static constructors run in declaration order before WinMain,
// WinMain gets the instance, no previous instance and the arguments after
// the program name, and the destructors run in reverse order after it.
//
// The exit code is 42 when WinMain saw what it should, else a mask of what
// was wrong. The last destructor writes the trail of constructors (upper
// case) and destructors (lower case), then the command line WinMain got and
// its show command, to entry_probe.txt in the current folder.
#include <windows.h>

namespace {

char sTrail[64];
int sTrailLength = 0;
LPSTR sCommandLine = NULL;
int sShowCommand = -1;

void Note(char c) {
  if (sTrailLength < 63) sTrail[sTrailLength++] = c;
}

void WriteTrail() {
  HANDLE file = CreateFileA("entry_probe.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[128];
  int length = wsprintfA(line, "%s|%s|%d", sTrail, sCommandLine != NULL ? sCommandLine : "(null)", sShowCommand);
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &written, NULL);
  CloseHandle(file);
}

struct Recorder {
  char name;
  bool last;
  Recorder(char n, bool l) : name(n), last(l) { Note(name); }
  ~Recorder() {
    Note(static_cast<char>(name + ('a' - 'A')));
    if (last) WriteTrail();
  }
};

Recorder sFirst('A', true);
Recorder sSecond('B', false);

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  sCommandLine = commandLine;
  sShowCommand = showCommand;
  int wrong = 0;
  if (sTrailLength != 2 || sTrail[0] != 'A' || sTrail[1] != 'B') wrong |= 1;
  if (instance == NULL || instance != GetModuleHandleA(NULL)) wrong |= 2;
  if (previous != NULL) wrong |= 4;
  if (lstrcmpiA(commandLine, "alpha beta") != 0) wrong |= 8;
  return wrong == 0 ? 42 : wrong;
}
