// Breaks the instruction rule: compiled for the Pentium Pro (see
// CMakeLists.txt), the conditional choice below becomes a cmov.
#include <windows.h>

namespace {
int Smaller(int a, int b) { return a < b ? a : b; }
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int showCommand) {
  return Smaller(showCommand, lstrlenA(commandLine));
}
