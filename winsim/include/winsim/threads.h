// Threads, alertable waiting and queued procedure calls (APCs).
//
// Unlike Sleep, which advances the simulated clock at once, SleepEx blocks
// the calling thread for real: the emulator's threads are real threads, and
// its main thread must truly sleep (on a condition variable, using no
// processor time) until a procedure call is queued to it.
#pragma once

#include "types.h"

typedef void(WINAPI* PAPCFUNC)(ULONG_PTR parameter);

// A small number that stays the same for the life of the calling thread.
DWORD WINAPI GetCurrentThreadId();

// Non-alertable: waits the given time (INFINITE is refused as unmodelled),
// then moves the virtual clock behind GetTickCount on by as much; changes
// scheduled on that clock still run only inside Sleep.
// Alertable: runs every procedure call queued to the thread, in the order
// queued, on this thread, and returns WAIT_IO_COMPLETION; if none is queued,
// blocks until one is (then runs them) or the timeout passes (returns 0).
DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable);

// Queues a call of `function(data)` to the thread behind the handle; it runs
// when that thread next waits alertably. Returns 0 for a handle that is not a
// thread's (see winsim::CurrentThreadHandle for where handles come from).
DWORD WINAPI QueueUserAPC(PAPCFUNC function, HANDLE thread, ULONG_PTR data);
