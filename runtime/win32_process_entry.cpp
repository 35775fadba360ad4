// The process entry point of the Windows build, in place of the C
// run-time's start-up, which the programs do not link (see text.h).
//
// It does what that start-up does for a program of this kind: it runs the
// constructors of objects with static storage (the installer's application
// object has one; the emulator has none), builds WinMain's arguments from
// what the system gives every process, and ends the process with WinMain's
// result after running the destructors registered on the way.
#include <windows.h>

#include "command_line.h"

// The linker script of the toolchain brackets the constructor table: a -1,
// the constructors in link order, then a 0.
typedef void (*StaticFunction)(void);
extern "C" StaticFunction __CTOR_LIST__[];

// Destructors of objects with static storage, registered as their
// constructors finish, run in reverse order at exit.
namespace {
const int kMaxExitFunctions = 32;
StaticFunction sExitFunctions[kMaxExitFunctions];
int sExitFunctionCount = 0;

void RunConstructors() {
  int count = 0;
  while (__CTOR_LIST__[count + 1] != 0) ++count;
  // Run from the end of the table, as the toolchain's own start-up does:
  // objects of one file are built in the order they are declared.
  for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

void RunExitFunctions() {
  while (sExitFunctionCount > 0) sExitFunctions[--sExitFunctionCount]();
}
}  // namespace

// Called by the compiler's code for each object with a destructor. A full
// table is reported as failure; the object is then simply not destroyed,
// which the process end makes harmless.
extern "C" int atexit(StaticFunction function) {
  if (sExitFunctionCount == kMaxExitFunctions) return -1;
  sExitFunctions[sExitFunctionCount++] = function;
  return 0;
}

// Windows 95 starts a program with a stack aligned only to 4 bytes.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup(void) {
  RunConstructors();
  STARTUPINFOA startup;
  startup.cb = sizeof startup;
  startup.dwFlags = 0;
  startup.wShowWindow = 0;
  GetStartupInfoA(&startup);
  int result = WinMain(GetModuleHandleA(NULL), NULL, CommandLineArguments(GetCommandLineA()),
                       StartupShowCommand(startup.dwFlags, startup.wShowWindow));
  RunExitFunctions();
  ExitProcess(static_cast<UINT>(result));
}
