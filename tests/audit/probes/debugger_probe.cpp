// Breaks the baseline rule: IsDebuggerPresent came with Windows 98 and is
// not exported by the first Windows 95.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return IsDebuggerPresent() ? 1 : 0; }
