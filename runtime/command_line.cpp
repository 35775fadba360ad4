#include "command_line.h"

namespace {
char sNoArguments[] = "";
}  // namespace

LPSTR CommandLineArguments(LPSTR commandLine) {
  if (commandLine == NULL) return sNoArguments;
  LPSTR p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

int StartupShowCommand(DWORD startupFlags, WORD showWindow) {
  return (startupFlags & STARTF_USESHOWWINDOW) != 0 ? showWindow : SW_SHOWDEFAULT;
}
