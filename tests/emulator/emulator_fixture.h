// Common ground of the emulator's tests: a machine at power-on with the
// stand-in synthesizer, the stand-in trap driver and a free card mixer, and
// the emulator run from its real entry point on a thread of its own, as the
// process's main thread.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "emulator.h"
#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_libraries.h"
#include "sim_machine.h"
#include "sim_multimedia.h"
#include "sim_threads.h"
#include "sim_user.h"

namespace qtest {

using winsim::TrapDriverStandIn;

constexpr const char* kCardMixer = "Q-Tonal Audio Mixer";
constexpr DWORD kCardFree = 292;
constexpr const char* kMixerBusyText = "Please close all Windows Sound AP and start this DOS AP again";
constexpr const char* kMixerBusyCaption = "DOS Mode MPU-401 Emulator";

// A new process starts with the record all zero.
inline void ClearEmulatorState() {
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

// The emulator process: WinMain on its own thread.
class EmulatorProcess {
 public:
  ~EmulatorProcess() {
    if (thread_.joinable()) End();
  }

  void Start() {
    std::promise<HANDLE> handle;
    std::future<HANDLE> ready = handle.get_future();
    thread_ = std::thread([this, &handle] {
      handle.set_value(winsim::CurrentThreadHandle());
      exitCode_ = WinMain(nullptr, nullptr, const_cast<char*>(""), 1);
      finished_.store(true);
    });
    handle_ = ready.get();
  }

  // Runs WinMain to its end; for start-ups that fail before the wait.
  int RunToExit() {
    Start();
    return Join();
  }

  // True once every call queued so far has run and the thread sleeps again.
  bool Idle() { return winsim::WaitUntilAlertableIdle(handle_, 20000); }

  // Ends the alertable wait the way only a non-APC wake-up can, and returns
  // WinMain's exit code.
  int End() {
    if (!thread_.joinable()) return exitCode_;
    winsim::EndAlertableWait(handle_);
    return Join();
  }

  HANDLE handle() const { return handle_; }
  bool finished() const { return finished_.load(); }

 private:
  int Join() {
    // A start-up that should have failed but went on to wait forever is
    // ended, and reported, rather than left to hang the test run.
    for (int i = 0; i < 2000 && !finished_.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!finished_.load()) {
      ADD_FAILURE() << "WinMain did not return; ending its wait";
      winsim::EndAlertableWait(handle_);
    }
    thread_.join();
    return exitCode_;
  }

  std::thread thread_;
  HANDLE handle_ = nullptr;
  std::atomic<bool> finished_{false};
  int exitCode_ = -1;
};

class EmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsim::Reset();
    ClearEmulatorState();
    winsim::RegisterStandInSynth();
    driver_ = std::make_shared<TrapDriverStandIn>();
    winsim::RegisterDevice("DOVORAV", driver_);
    winsim::AddMixer({kCardMixer, MMSYSERR_NOERROR, MMSYSERR_NOERROR, mixerAnswer_});
  }

  void TearDown() override {
    driver_->JoinScript();
    if (started_) process_.End();
    winsim::Reset();
  }

  // Starts the emulator and waits until it sleeps, registered.
  void StartEmulator() {
    process_.Start();
    started_ = true;
    ASSERT_TRUE(process_.Idle()) << "the emulator never reached its alertable wait";
  }

  // Lets the main thread run everything queued so far.
  void Settle() { ASSERT_TRUE(process_.Idle()); }

  // The driver queues a call, and the main thread runs it.
  void DriverStart() {
    driver_->QueueStart();
    Settle();
  }
  void DriverStart(const winsim::StandInRing& ring) {
    driver_->QueueStart(ring);
    Settle();
  }
  void DriverStop() {
    driver_->QueueStop();
    Settle();
  }

  static void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) winsim::FireTimerTicks();
  }

  static std::vector<uint32_t> Sequence(uint32_t first, size_t count) {
    std::vector<uint32_t> messages;
    for (size_t i = 0; i < count; ++i) messages.push_back(first + static_cast<uint32_t>(i));
    return messages;
  }

  DWORD mixerAnswer_ = kCardFree;  // what the card's mixer answers
  std::shared_ptr<TrapDriverStandIn> driver_;
  EmulatorProcess process_;
  bool started_ = false;
};

}  // namespace qtest
