// Kernel services: version, error mode, waiting, and case-insensitive comparison.
#pragma once

#include "types.h"

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;
typedef OSVERSIONINFOA OSVERSIONINFO;

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOGPFAULTERRORBOX 0x0002
#define SEM_NOALIGNMENTFAULTEXCEPT 0x0004
#define SEM_NOOPENFILEERRORBOX 0x8000

UINT WINAPI SetErrorMode(UINT mode);

// A program's entry point; the native build calls it like any function.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_TIMEOUT 0x00000102u

// Sleep advances the simulated clock at once; it never blocks.
void WINAPI Sleep(DWORD milliseconds);
// Milliseconds on the simulated clock since Reset.
DWORD WINAPI GetTickCount();

// Compares without case, folding only the ASCII letters, and orders by byte
// value; Windows compares by the user's locale (winsim/README.md, known gaps).
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
