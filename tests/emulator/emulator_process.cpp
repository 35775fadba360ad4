#include "emulator_process.h"

#include <stdio.h>

#include <chrono>

#include "emulator.h"
#include "sim_threads.h"

void ClearEmulatorState() {
  gEmulator.pfnStartMidi = nullptr;
  gEmulator.pfnMidiMessage = nullptr;
  gEmulator.pfnStopMidi = nullptr;
  gEmulator.pfnLoadDls = nullptr;
  gEmulator.hDevice = nullptr;
  gEmulator.running.store(0);
  gEmulator.dlsLoaded = 0;
  gEmulator.timerId = 0;
  gEmulator.ring.store(nullptr);
  gEmulator.readIndex.store(0);
  gEmulator.ticksInFlight.store(0);
}

EmulatorProcess::EmulatorProcess() : thread_([this] { Serve(); }) {}

EmulatorProcess::~EmulatorProcess() {
  End();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void EmulatorProcess::Serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return startAsked_ || quit_; });
    if (quit_) return;
    startAsked_ = false;
    finished_ = false;
    handle_ = winsim::CurrentThreadHandle();
    changed_.notify_all();
    lock.unlock();
    int exitCode = WinMain(nullptr, nullptr, const_cast<char*>(""), 1);
    lock.lock();
    exitCode_ = exitCode;
    finished_ = true;
    changed_.notify_all();
  }
}

void EmulatorProcess::Start() {
  std::unique_lock<std::mutex> lock(mutex_);
  exitCode_ = -1;
  startAsked_ = true;
  changed_.notify_all();
  changed_.wait(lock, [this] { return !startAsked_; });
}

int EmulatorProcess::RunToExit(int timeoutMs) {
  Start();
  std::unique_lock<std::mutex> lock(mutex_);
  if (changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return finished_; })) return exitCode_;
  lock.unlock();
  fprintf(stderr, "WinMain did not return within %d ms; its wait is ended\n", timeoutMs);
  End();
  return kKeptWaiting;
}

bool EmulatorProcess::Idle(DWORD timeoutMs) { return winsim::WaitUntilAlertableIdle(handle_, timeoutMs); }

int EmulatorProcess::End() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!finished_) {
    winsim::EndAlertableWait(handle_);
    changed_.wait(lock, [this] { return finished_; });
  }
  return exitCode_;
}

bool EmulatorProcess::finished() {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}
