// Breaks the DLL rule: strlen taken from msvcrt.dll, which the first
// Windows 95 does not ship (built without the compiler's built-in strlen).
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) { return static_cast<int>(strlen(commandLine)); }
