// Threads the program starts, events and mutexes, and their handles.
//
// A thread the program starts is a real thread; when its function returns,
// the system destroys its windows and its queue, then the thread counts as
// ended (its handle is signalled). A handle is an object of its own, so that
// two handles of one mutex can be told apart and closed one by one; a named
// mutex lives while a handle of it is open here or another process holds it.
#include <condition_variable>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_threads.h"
#include "windows_internal.h"

namespace {

struct Object {
  // The thread has ended once the handle is signalled; only its last steps
  // out of the host's thread are left to wait for.
  ~Object() {
    if (thread.joinable()) thread.join();
  }
  enum Kind { kThread, kEvent, kMutex } kind;
  // thread
  DWORD threadId = 0;
  std::thread thread;
  bool running = false;
  // event
  bool manualReset = false;
  bool signalled = false;
};

struct Handle {
  std::shared_ptr<Object> object;
};

std::mutex sMutex;
std::condition_variable sChanged;  // a thread ended, an event was set
std::set<Handle*> sHandles;
std::vector<std::shared_ptr<Object>> sThreads;  // every thread started since Reset
std::map<std::string, std::weak_ptr<Object>> sNamedMutexes;
std::vector<std::shared_ptr<Object>> sHeldElsewhere;  // by another process

HANDLE NewHandle(std::shared_ptr<Object> object) {
  auto* handle = new Handle{std::move(object)};
  sHandles.insert(handle);
  return handle;
}

// The object behind a handle, or null. Caller holds sMutex.
Object* ObjectOf(HANDLE handle) {
  auto it = sHandles.find(static_cast<Handle*>(handle));
  return it == sHandles.end() ? nullptr : (*it)->object.get();
}

// `self` lives in sThreads until Reset, which waits for the thread to end.
void RunThread(Object* self, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
  winsim::detail::AdoptThreadId(self->threadId);
  start(parameter);
  winsim::detail::ForgetThreadWindows(self->threadId);
  winsim::detail::EndThreadMessages(self->threadId);
  std::lock_guard<std::mutex> lock(sMutex);
  self->running = false;
  sChanged.notify_all();
}

// The end of the program's process: every handle closes. A thread of its
// own that still ran would go on using what its process no longer has.
// Caller holds sMutex.
void EndProcessLocked(const char* threadStillRuns) {
  for (const auto& thread : sThreads)
    if (thread->running) winsim::detail::Stop(threadStillRuns);
  for (Handle* handle : sHandles) delete handle;
  sHandles.clear();
  sThreads.clear();
}

HANDLE Refuse(DWORD error) {
  SetLastError(error);
  return nullptr;
}

}  // namespace

namespace winsim {

int ProgramThreadsRunning() {
  std::lock_guard<std::mutex> lock(sMutex);
  int running = 0;
  for (const auto& thread : sThreads) running += thread->running ? 1 : 0;
  return running;
}

SyncHandleCounts OpenSyncHandles() {
  std::lock_guard<std::mutex> lock(sMutex);
  SyncHandleCounts counts{0, 0, 0};
  for (const Handle* handle : sHandles) {
    if (handle->object->kind == Object::kThread) ++counts.threads;
    if (handle->object->kind == Object::kEvent) ++counts.events;
    if (handle->object->kind == Object::kMutex) ++counts.mutexes;
  }
  return counts;
}

void ProgramExits() {
  std::lock_guard<std::mutex> lock(sMutex);
  EndProcessLocked("the program ended while a thread it started still runs");
}

void HoldMutexInAnotherProcess(const std::string& name) {
  std::lock_guard<std::mutex> lock(sMutex);
  std::shared_ptr<Object> mutex = sNamedMutexes[name].lock();
  if (!mutex) {
    mutex = std::make_shared<Object>();
    mutex->kind = Object::kMutex;
    sNamedMutexes[name] = mutex;
  }
  sHeldElsewhere.push_back(mutex);
}

namespace detail {

bool CloseSyncHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(sMutex);
  auto it = sHandles.find(static_cast<Handle*>(handle));
  if (it == sHandles.end()) return false;
  delete *it;
  sHandles.erase(it);
  return true;
}

// First in Reset: a thread the program started and left running would go
// on using the machine that Reset takes away.
void ResetSyncObjects() {
  std::lock_guard<std::mutex> lock(sMutex);
  EndProcessLocked("Reset while a thread the program started still runs; the program must end it");
  sNamedMutexes.clear();
  sHeldElsewhere.clear();
}

}  // namespace detail
}  // namespace winsim

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId) {
  (void)stackSize;  // the host's default stack
  if (security != nullptr || flags != 0 || start == nullptr)
    winsim::Unmodelled("CreateThread with security attributes, creation flags or no function");
  // "Windows 95/98: lpThreadId cannot be NULL" (CreateThread's documentation).
  if (threadId == nullptr && !winsim::detail::IsNt()) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD error = 0;
  if (winsim::detail::FaultDue("CreateThread", &error)) return Refuse(error);
  auto thread = std::make_shared<Object>();
  thread->kind = Object::kThread;
  thread->threadId = winsim::detail::NewThreadId();
  thread->running = true;
  if (threadId != nullptr) *threadId = thread->threadId;
  std::lock_guard<std::mutex> lock(sMutex);
  sThreads.push_back(thread);
  thread->thread = std::thread(RunThread, thread.get(), start, parameter);
  return NewHandle(thread);
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (milliseconds != INFINITE) winsim::Unmodelled("WaitForSingleObject with a timeout");
  std::unique_lock<std::mutex> lock(sMutex);
  Object* object = ObjectOf(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (object->kind == Object::kMutex) winsim::Unmodelled("WaitForSingleObject on a mutex (ownership)");
  if (object->kind == Object::kThread) {
    if (object->threadId == GetCurrentThreadId()) winsim::Unmodelled("a thread waiting for its own end");
    sChanged.wait(lock, [object] { return !object->running; });
    return WAIT_OBJECT_0;
  }
  sChanged.wait(lock, [object] { return object->signalled; });
  if (!object->manualReset) object->signalled = false;
  return WAIT_OBJECT_0;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (security != nullptr || name != nullptr) winsim::Unmodelled("CreateEventA with security attributes or a name");
  DWORD error = 0;
  if (winsim::detail::FaultDue("CreateEventA", &error)) return Refuse(error);
  auto event = std::make_shared<Object>();
  event->kind = Object::kEvent;
  event->manualReset = manualReset != FALSE;
  event->signalled = initialState != FALSE;
  std::lock_guard<std::mutex> lock(sMutex);
  return NewHandle(event);
}

BOOL WINAPI SetEvent(HANDLE handle) {
  std::lock_guard<std::mutex> lock(sMutex);
  Object* object = ObjectOf(handle);
  if (object == nullptr || object->kind != Object::kEvent) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object->signalled = true;
  sChanged.notify_all();
  return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
  if (security != nullptr || initialOwner) winsim::Unmodelled("CreateMutexA with security attributes or an owner");
  std::lock_guard<std::mutex> lock(sMutex);
  std::shared_ptr<Object> mutex = name != nullptr ? sNamedMutexes[name].lock() : nullptr;
  // NT and Wine clear the last error when the mutex is new.
  SetLastError(mutex ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  if (!mutex) {
    mutex = std::make_shared<Object>();
    mutex->kind = Object::kMutex;
    if (name != nullptr) sNamedMutexes[name] = mutex;
  }
  return NewHandle(mutex);
}
