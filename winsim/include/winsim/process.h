// Starting a program: WinExec and its show commands.
#pragma once

#include "types.h"

// How the started program shows its first window.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// The start-up record's flag that says its show command is to be used.
#define STARTF_USESHOWWINDOW 0x00000001

// Starts the program that the command line names and returns at once,
// without waiting for it. The result is above 31 when the program was
// started; otherwise it is the reason: 0 (out of resources), 2 (no such
// program; Wine gives 2 for a missing folder as well), 11 (not a program).
//
// The program is found as Windows finds it. A command line that begins with
// a quote names the text up to the closing quote. Otherwise the text is cut
// at each blank in turn, from the left, and the first part that names an
// existing file is the program: "C:\My Drivers\Setup.exe" starts C:\My.exe
// when that exists. ".exe" is added to a name without an extension. Only
// full paths ("X:\...") are modelled; a name found through the search path
// is refused as unmodelled. Every existing file counts as a program.
UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand);
