// The WinMain of a program built on the framework. The process entry point
// that calls it is the run-time's (runtime/win32_process_entry.cpp); the
// native tests call it themselves.
#include "app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AppMain(instance); }
