// Threads as a test sees them: handles to a thread's queue of procedure
// calls, and a view of its alertable waits.
#pragma once

#include "sim_tests_only.h"

#include <windows.h>

#include <string>

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

// Threads the program started with CreateThread whose function has not yet
// returned. Reset stops the test loudly while one still runs.
int ProgramThreadsRunning();

// Handles of threads, events and mutexes the program holds open now.
struct SyncHandleCounts {
  int threads, events, mutexes;
};
SyncHandleCounts OpenSyncHandles();

// The program's process ends, after its WinMain: the system closes every
// handle it still holds, so a named mutex it made goes unless another
// process holds it too. A thread of the program that still runs stops the
// test loudly.
void ProgramExits();

// Another process holds a mutex of this name from now until Reset, so the
// program's CreateMutexA of the name reports ERROR_ALREADY_EXISTS.
void HoldMutexInAnotherProcess(const std::string& name);

}  // namespace winsim
