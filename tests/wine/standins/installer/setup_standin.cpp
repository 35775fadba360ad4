// Setup.exe stand-in: the application suite's setup program as the installer
// sees it from outside. It writes one line, its own full path and then its
// command line separated by a tab, to the end of "C:\qt-started.txt", and
// ends at once. The line is written with one WriteFile on a file opened for
// appending, so a test script reading the file after the program ended sees
// every start, in order, even when several were made.
#include <windows.h>

#include <string.h>

namespace {

const char kRecordFile[] = "C:\\qt-started.txt";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Path, tab, command line, CR LF: a MAX_PATH path and the longest command
  // line WinExec hands over fit.
  char line[MAX_PATH + 1 + 32768 + 2];
  DWORD length = GetModuleFileNameA(NULL, line, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) length = 0;  // unknown or cut short: left empty
  line[length++] = '\t';
  LPCSTR commandLine = GetCommandLineA();
  size_t commandLength = commandLine != NULL ? strlen(commandLine) : 0;
  if (commandLength > 32768) commandLength = 32768;
  memcpy(line + length, commandLine, commandLength);
  length += static_cast<DWORD>(commandLength);
  line[length++] = '\r';
  line[length++] = '\n';

  HANDLE file = CreateFileA(kRecordFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  SetFilePointer(file, 0, NULL, FILE_END);
  DWORD written = 0;
  BOOL ok = WriteFile(file, line, length, &written, NULL) && written == length;
  CloseHandle(file);
  return ok ? 0 : 1;
}
