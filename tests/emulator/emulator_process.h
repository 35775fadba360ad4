// The emulator as a process of the simulated machine, for its tests, its
// benchmarks and its fuzz target: the record cleared as a new process finds
// it, and WinMain run on a thread of its own as the process's main thread.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

// A new process starts with the emulator's record all zero.
void ClearEmulatorState();

// A thread that runs the emulator's WinMain once per Start. The thread lives
// as long as the object and serves every start, so a fuzzing process keeps
// one for all its inputs (a fresh thread per input, with the sanitizers'
// records of it, cost a fifth of each run).
class EmulatorProcess {
 public:
  // What RunToExit returns when WinMain did not return by itself.
  static const int kKeptWaiting = -2;

  EmulatorProcess();
  ~EmulatorProcess();  // ends a WinMain still waiting, then the thread
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  // Runs WinMain on the thread and returns once the thread's handle is
  // known (it is new after every winsim::Reset).
  void Start();
  // Runs WinMain to its end, for start-ups that end before the wait: its
  // exit code, or kKeptWaiting when it went on to wait instead (the wait is
  // then ended, and reported, rather than left to hang the run).
  int RunToExit(int timeoutMs = 20000);
  // True once every call queued so far has run and the thread sleeps again
  // in its alertable wait; false if that did not happen within the timeout.
  bool Idle(DWORD timeoutMs = 20000);
  // Ends the alertable wait the way only a non-APC wake-up can, and returns
  // WinMain's exit code; at once when WinMain is not running.
  int End();

  HANDLE handle() const { return handle_; }
  // WinMain has returned since the last Start.
  bool finished();
  std::thread::native_handle_type NativeHandle() { return thread_.native_handle(); }

 private:
  void Serve();

  std::mutex mutex_;
  std::condition_variable changed_;
  bool startAsked_ = false;
  bool finished_ = true;
  bool quit_ = false;
  HANDLE handle_ = nullptr;
  int exitCode_ = -1;
  std::thread thread_;  // last: it starts once the fields above are set
};
