// Threads, their queues of procedure calls, and alertable SleepEx.
//
// Each thread that asks for its handle, queues to itself or waits gets a
// queue object; a handle is the address of that object, kept alive until
// Reset. The queue's condition variable is where an alertable wait truly
// blocks, so a thread that waits for a call that never comes uses no
// processor time.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_threads.h"

namespace {

struct ThreadQueue {
  DWORD threadId = 0;
  std::mutex mutex;
  std::condition_variable changed;  // calls queued, waits entered and left
  std::deque<std::pair<PAPCFUNC, ULONG_PTR>> calls;
  bool inAlertableWait = false;
  bool endWait = false;
  winsim::WaitStats stats{0, 0, 0};
};

std::mutex sTableMutex;
std::vector<std::shared_ptr<ThreadQueue>> sQueues;  // every live handle
unsigned sGeneration = 1;                          // bumped by Reset
std::atomic<DWORD> sNextThreadId{0x100};

thread_local DWORD tThreadId = 0;
thread_local std::shared_ptr<ThreadQueue> tQueue;
thread_local unsigned tGeneration = 0;

ThreadQueue* CurrentQueue() {
  std::lock_guard<std::mutex> lock(sTableMutex);
  if (!tQueue || tGeneration != sGeneration) {
    tQueue = std::make_shared<ThreadQueue>();
    tQueue->threadId = GetCurrentThreadId();
    tGeneration = sGeneration;
    sQueues.push_back(tQueue);
  }
  return tQueue.get();
}

ThreadQueue* QueueOf(HANDLE handle) {
  std::lock_guard<std::mutex> lock(sTableMutex);
  for (const auto& queue : sQueues)
    if (queue.get() == handle) return queue.get();
  return nullptr;
}

ThreadQueue* CheckedQueueOf(HANDLE handle, const char* function) {
  ThreadQueue* queue = QueueOf(handle);
  if (queue == nullptr) winsim::Unmodelled(std::string(function) + " with a handle that is not a thread's");
  return queue;
}

// Runs every queued call, each outside the lock so that it may queue more
// (they then run in the same batch, as the platform delivers them).
void RunQueuedCalls(ThreadQueue* queue, std::unique_lock<std::mutex>& lock) {
  while (!queue->calls.empty()) {
    auto call = queue->calls.front();
    queue->calls.pop_front();
    ++queue->stats.apcsRun;
    lock.unlock();
    call.first(call.second);
    lock.lock();
  }
  queue->changed.notify_all();
}

}  // namespace

namespace winsim {

HANDLE CurrentThreadHandle() { return CurrentQueue(); }

DWORD ThreadIdOf(HANDLE thread) { return CheckedQueueOf(thread, "ThreadIdOf")->threadId; }

bool WaitUntilAlertableIdle(HANDLE thread, DWORD timeoutMs) {
  ThreadQueue* queue = CheckedQueueOf(thread, "WaitUntilAlertableIdle");
  std::unique_lock<std::mutex> lock(queue->mutex);
  auto idle = [queue] { return queue->inAlertableWait && queue->calls.empty(); };
  if (timeoutMs == INFINITE) {
    queue->changed.wait(lock, idle);
    return true;
  }
  return queue->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

void EndAlertableWait(HANDLE thread) {
  ThreadQueue* queue = CheckedQueueOf(thread, "EndAlertableWait");
  std::lock_guard<std::mutex> lock(queue->mutex);
  queue->endWait = true;
  queue->changed.notify_all();
}

WaitStats WaitStatsOf(HANDLE thread) {
  ThreadQueue* queue = CheckedQueueOf(thread, "WaitStatsOf");
  std::lock_guard<std::mutex> lock(queue->mutex);
  return queue->stats;
}

namespace detail {
DWORD NewThreadId() { return sNextThreadId.fetch_add(1); }
void AdoptThreadId(DWORD id) { tThreadId = id; }

// Called by Reset, when no test thread waits any more. Threads keep their
// identifiers; their queues start afresh.
void ResetThreads() {
  std::lock_guard<std::mutex> lock(sTableMutex);
  for (const auto& queue : sQueues) {
    std::lock_guard<std::mutex> queueLock(queue->mutex);
    if (queue->inAlertableWait) Unmodelled("Reset while a thread waits alertably; end its wait first");
  }
  sQueues.clear();
  ++sGeneration;
}
}  // namespace detail
}  // namespace winsim

DWORD WINAPI GetCurrentThreadId() {
  if (tThreadId == 0) tThreadId = sNextThreadId.fetch_add(1);
  return tThreadId;
}

DWORD WINAPI SleepEx(DWORD milliseconds, BOOL alertable) {
  ThreadQueue* queue = CurrentQueue();
  std::unique_lock<std::mutex> lock(queue->mutex);
  ++queue->stats.sleepExCalls;
  if (!alertable) {
    if (milliseconds == INFINITE) winsim::Unmodelled("SleepEx(INFINITE, FALSE) would never return");
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    // GetTickCount sees the time pass, as a program that waits and looks at
    // the clock expects.
    winsim::detail::AdvanceClock(milliseconds);
    return 0;
  }

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  queue->inAlertableWait = true;
  queue->changed.notify_all();
  while (queue->calls.empty() && !queue->endWait) {
    if (milliseconds == INFINITE) {
      queue->changed.wait(lock);
    } else if (queue->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      break;
    }
    ++queue->stats.wakeups;
  }
  queue->inAlertableWait = false;
  if (!queue->calls.empty()) {
    RunQueuedCalls(queue, lock);
    return WAIT_IO_COMPLETION;
  }
  queue->endWait = false;
  queue->changed.notify_all();
  return 0;
}

DWORD WINAPI QueueUserAPC(PAPCFUNC function, HANDLE thread, ULONG_PTR data) {
  ThreadQueue* queue = QueueOf(thread);
  if (queue == nullptr || function == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::lock_guard<std::mutex> lock(queue->mutex);
  queue->calls.emplace_back(function, data);
  queue->changed.notify_all();
  return 1;
}
