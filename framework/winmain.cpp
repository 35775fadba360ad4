// The entry point of a program built on the framework.
#include "app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AppMain(instance); }
