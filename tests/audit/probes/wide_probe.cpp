// Breaks the ANSI rule: MessageBoxW, one of the few wide forms Windows 95
// implements, still not the form the programs use.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return MessageBoxW(NULL, L"", L"", MB_OK); }
