// Common ground of the emulator's tests: a machine at power-on with the
// stand-in synthesizer, the stand-in trap driver and a free card mixer, and
// the emulator run from its real entry point (emulator_process.h).
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <thread>

#include "box_texts.h"
#include "emulator.h"
#include "emulator_process.h"
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
    process_.End();
    winsim::Reset();
  }

  // Starts the emulator and waits until it sleeps, registered.
  void StartEmulator() {
    process_.Start();
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
};

}  // namespace qtest
