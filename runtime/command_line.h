// What the process start-up hands to WinMain, worked out from the raw
// values the system gives every process.
#pragma once

#include <windows.h>

// The arguments after the program's name in a process command line (as
// GetCommandLineA returns it): the name is skipped as the system's start-up
// skips it (a quoted name up to its closing quote, else up to the first
// space or tab), then the blanks after it. Never NULL; "" when no arguments.
LPSTR CommandLineArguments(LPSTR commandLine);

// WinMain's show command: the one the starter asked for in its start-up
// record when it set STARTF_USESHOWWINDOW, else SW_SHOWDEFAULT.
int StartupShowCommand(DWORD startupFlags, WORD showWindow);
