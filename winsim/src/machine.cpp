#include <cstdio>
#include <cstdlib>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"

namespace winsim {

// The whole machine, one part per line. Kept as they are: the program's
// resources (LoadProgramResources), thread identifiers, and each thread's
// last error, which belong to the program rather than to the machine.
void Reset() {
  // First: a thread the program started must have ended (else the test
  // stops), so that no thread of the program still uses the machine.
  detail::ResetSyncObjects();   // no threads, events or mutexes; none held by another process
  detail::ResetSystem();        // Windows 98, error mode 0, clock at 0, no scheduled changes
  detail::ResetCodePage();      // the ANSI code page 1252: no double-byte characters
  detail::ResetFaults();        // no injected faults or changes, every call count at 0
  detail::ResetRegistry();      // an empty HKLM, no open keys
  detail::ResetUser();          // no box answers or handler, no boxes shown
  detail::ResetDrives();        // no drives
  detail::ResetPaths();         // current folder "C:\"
  detail::ResetHostFiles();     // no memory folders, no hidden or system stored, host folders not frozen
  detail::ResetOpens();         // no open or held files, no opens recorded
  detail::ResetSearches();      // no open searches, no searches recorded
  detail::ResetProfileReads();  // no profile reads recorded
  detail::ResetFileWrites();    // no folder creations, copies or attribute changes recorded
  detail::ResetProcess();       // no program starts recorded
  detail::ResetLibraries();     // no libraries, no LoadLibraryA or GetProcAddress recorded
  detail::ResetSynthStandIn();  // the synthesizer stand-in's calls and hook
  detail::ResetDevices();       // no devices, no open device handles
  detail::ResetDialogs();       // no dialog scripts or showings
  detail::ResetWindowTable();   // no windows, no screen changes recorded
  detail::ResetTopWindows();    // no classes, common controls not initialised, a 640 x 480 screen, no other windows
  detail::ResetMessageQueues(); // no message queues
  detail::ResetImage();         // the program's image as mapped from drive D:, every page on the disc
  detail::ResetMultimedia();    // manual timer mode, no timers (the service thread stopped), no mixers
  // Last: once the timer service thread is gone, no thread can still be in a
  // procedure call or a wait.
  detail::ResetThreads();       // every thread's queue of procedure calls afresh
}

void Unmodelled(const std::string& what) { detail::Stop("unmodelled call: " + what); }

namespace detail {

void Stop(const std::string& message) {
  std::fprintf(stderr, "winsim: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace detail
}  // namespace winsim

namespace {
thread_local DWORD tLastError = 0;
}

DWORD WINAPI GetLastError() { return tLastError; }
void WINAPI SetLastError(DWORD code) { tLastError = code; }
