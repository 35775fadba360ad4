// Threads as a test sees them: handles to a thread's queue of procedure
// calls, and a view of its alertable waits.
#pragma once

#include "sim_tests_only.h"

#include <windows.h>

namespace winsim {

// A handle to the calling thread, good for QueueUserAPC from any thread until
// the next Reset (as a handle duplicated from GetCurrentThread would be).
HANDLE CurrentThreadHandle();
DWORD ThreadIdOf(HANDLE thread);

// Blocks the caller until the thread sits in an alertable SleepEx with no
// procedure call left queued: everything queued so far has run. Returns
// false if that has not happened within the timeout (a guard against a hung
// test, not a measurement).
bool WaitUntilAlertableIdle(HANDLE thread, DWORD timeoutMs = INFINITE);

// Makes the thread's current (or next) alertable wait return 0 without
// running a procedure call: the result a real wait gives when its timeout
// passes, which an INFINITE wait never does on its own.
void EndAlertableWait(HANDLE thread);

struct WaitStats {
  int sleepExCalls;  // SleepEx calls the thread has made
  int wakeups;       // times a blocked alertable wait woke up, for any reason
  int apcsRun;       // procedure calls run on the thread
};
WaitStats WaitStatsOf(HANDLE thread);

}  // namespace winsim
