// The message queue of each thread that has windows of the program's own
// class, and the message loop's calls.
//
// As on Windows, a message sent to a window of another thread waits in the
// owner's queue until the owner takes it inside GetMessageA (or inside a
// SendMessageA of its own); the sender blocks until it has been handled and
// meanwhile handles what others send to its own windows. Posted messages
// wait for GetMessageA, and WM_QUIT comes once no posted message is left.
// A thread that ends answers what was still sent to it with 0.
#include <condition_variable>
#include <deque>
#include <map>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"
#include "windows_internal.h"

namespace {

using winsim::detail::Window;
using winsim::detail::WindowLock;

struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
  bool answered;
};

struct Queue {
  std::deque<MSG> posted;
  std::deque<SentMessage*> sent;
  bool quit = false;
  int quitCode = 0;
  bool ended = false;
  bool looping = false;  // the thread has run GetMessageA: a window's thread
  bool waiting = false;  // it waits in GetMessageA with nothing to handle
};

// Under WindowLock(), by thread id; sChanged wakes every waiter, which looks
// again at what it waits for.
std::map<DWORD, Queue> sQueues;
std::condition_variable sChanged;

// Handles one message sent to this thread, without the lock while the
// window procedure runs. The window may have gone since it was sent.
void AnswerOne(Queue& queue, std::unique_lock<std::mutex>& lock) {
  SentMessage* sent = queue.sent.front();
  queue.sent.pop_front();
  Window* window = reinterpret_cast<Window*>(sent->window);
  bool live = winsim::detail::IsLiveWindowLocked(window);
  winsim::detail::BeginSentMessage();
  lock.unlock();
  LRESULT result = live ? winsim::detail::OwnWindowMessage(window, sent->message, sent->wParam, sent->lParam) : 0;
  lock.lock();
  winsim::detail::EndSentMessageLocked();
  sent->result = result;
  sent->answered = true;
  sChanged.notify_all();
}

}  // namespace

namespace winsim::detail {

LRESULT SendToProgramWindow(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD self = GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(WindowLock());
  // Its owner may have destroyed it since the caller found it: the send
  // then fails, with 0.
  if (!IsLiveWindowLocked(window)) return 0;
  if (window->ownerThread == self) {
    lock.unlock();
    return OwnWindowMessage(window, message, wParam, lParam);
  }
  Queue& owner = sQueues[window->ownerThread];
  if (owner.ended) return 0;
  SentMessage sent{HandleOf(window), message, wParam, lParam, 0, false};
  owner.sent.push_back(&sent);
  sChanged.notify_all();
  Queue& mine = sQueues[self];
  while (!sent.answered) {
    if (!mine.sent.empty())
      AnswerOne(mine, lock);
    else
      sChanged.wait(lock);
  }
  return sent.result;
}

void SettleWindowThreads() {
  std::unique_lock<std::mutex> lock(WindowLock());
  DWORD self = GetCurrentThreadId();
  sChanged.wait(lock, [self] {
    for (const auto& entry : sQueues) {
      const Queue& queue = entry.second;
      if (entry.first == self || queue.ended) continue;
      if (!queue.posted.empty() || !queue.sent.empty() || (queue.looping && !queue.waiting)) return false;
    }
    return true;
  });
}

void EndThreadMessages(DWORD thread) {
  std::lock_guard<std::mutex> lock(WindowLock());
  Queue& queue = sQueues[thread];
  queue.ended = true;
  for (SentMessage* sent : queue.sent) sent->answered = true;
  queue.sent.clear();
  queue.posted.clear();
  sChanged.notify_all();
}

void ResetMessageQueues() {
  std::lock_guard<std::mutex> lock(WindowLock());
  sQueues.clear();
}

}  // namespace winsim::detail

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (handle == nullptr) winsim::Unmodelled("PostMessageA to a thread");
  std::lock_guard<std::mutex> lock(WindowLock());
  auto* window = reinterpret_cast<Window*>(handle);
  if (!winsim::detail::IsLiveWindowLocked(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (winsim::detail::IsDialogWindow(window)) winsim::Unmodelled("PostMessageA to a dialog");
  Queue& queue = sQueues[window->ownerThread];
  if (queue.ended) return FALSE;
  queue.posted.push_back(MSG{handle, message, wParam, lParam, 0, {0, 0}});
  sChanged.notify_all();
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lock(WindowLock());
  Queue& queue = sQueues[GetCurrentThreadId()];
  queue.quit = true;
  queue.quitCode = exitCode;
  sChanged.notify_all();
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  if (message == nullptr || window != nullptr || first != 0 || last != 0)
    winsim::Unmodelled("GetMessageA with a filter or no record");
  std::unique_lock<std::mutex> lock(WindowLock());
  Queue& queue = sQueues[GetCurrentThreadId()];
  queue.looping = true;
  for (;;) {
    if (!queue.sent.empty()) {
      AnswerOne(queue, lock);
      continue;
    }
    if (!queue.posted.empty()) {
      *message = queue.posted.front();
      queue.posted.pop_front();
      return TRUE;
    }
    if (queue.quit) {
      queue.quit = false;
      *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, 0, {0, 0}};
      return FALSE;
    }
    queue.waiting = true;
    sChanged.notify_all();  // a settling thread looks again
    sChanged.wait(lock);
    queue.waiting = false;
  }
}

// winsim has no keyboard, so no message is ever one to translate.
BOOL WINAPI TranslateMessage(const MSG* message) {
  if (message == nullptr) winsim::Unmodelled("TranslateMessage with no message");
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr) winsim::Unmodelled("DispatchMessageA with no message");
  if (message->hwnd == nullptr) return 0;
  // A window destroyed since the message was posted takes nothing.
  Window* window = winsim::detail::LiveWindow(message->hwnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (window->ownerThread != GetCurrentThreadId() || winsim::detail::IsDialogWindow(window))
    winsim::Unmodelled("DispatchMessageA of a message for a window of another thread or a dialog");
  // What handling one message changes is seen as one change.
  winsim::detail::BeginSentMessage();
  LRESULT result = winsim::detail::OwnWindowMessage(window, message->message, message->wParam, message->lParam);
  std::lock_guard<std::mutex> lock(WindowLock());
  winsim::detail::EndSentMessageLocked();
  return result;
}
