// Threads, alertable waiting and queued procedure calls (APCs); threads of
// the program's own, events and named mutexes.
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

// Threads the program starts, events and mutexes ---------------------------
//
// A thread the program starts is a real thread. Waiting for a thread or an
// event blocks for real, with no timeout (the programs wait INFINITE).

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

#define WAIT_FAILED 0xFFFFFFFFu

// Starts `start(parameter)` on a new thread. Windows 95 and 98 refuse a null
// `threadId`; NT accepts it. The handle is signalled when the thread ends.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);
// Waits until the thread behind the handle has ended or the event is set
// (an auto-reset event is then reset). WAIT_FAILED for any other handle.
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// An unnamed event.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL WINAPI SetEvent(HANDLE handle);
// A mutex, named or not. A name that already exists, in this process or in
// another, gives a handle to that mutex and ERROR_ALREADY_EXISTS.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
