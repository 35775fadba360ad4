// Playback control and the pump, with the timer in manual mode: the test
// fires each tick, and the driver's calls run on the emulator's main thread.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "emulator_fixture.h"

namespace qtest {
namespace {

using winsim::Boxes;
using winsim::SynthMessages;
using winsim::SynthTrace;

class PlaybackTest : public EmulatorTest {
 protected:
  void SetUp() override {
    EmulatorTest::SetUp();
    StartEmulator();
  }
};

TEST_F(PlaybackTest, StartCreatesThePeriodicTimerThenStartsTheSynthesizer) {
  // When the synthesizer is started the timer already lives, and playback
  // is not yet marked running.
  int liveAtStart = -1;
  DWORD runningAtStart = 99;
  winsim::SetSynthHook([&](const winsim::SynthCall& call) {
    if (call.kind != winsim::SynthCall::Kind::kStartMidi) return;
    liveAtStart = winsim::LiveTimerCount();
    runningAtStart = gEmulator.running.load();
  });
  DriverStart();

  auto timers = winsim::TimerCreations();
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_EQ(timers[0].delay, 10u);
  EXPECT_EQ(timers[0].resolution, 1u);
  EXPECT_EQ(timers[0].callback, &PumpMidi);
  EXPECT_EQ(timers[0].user, 0u);
  EXPECT_EQ(timers[0].flags, static_cast<UINT>(TIME_PERIODIC));
  EXPECT_EQ(gEmulator.timerId, timers[0].id);
  EXPECT_EQ(liveAtStart, 1);
  EXPECT_EQ(runningAtStart, 0u);
  EXPECT_EQ(gEmulator.running.load(), 1u);
  EXPECT_EQ(SynthTrace(), "LS");
  EXPECT_EQ(winsim::MixerLog(),
            (std::vector<std::string>{"count 1", "caps 0", "open 0 0 0 0x80000000", "message 0 0x4000 293 0",
                                      "close 0"}));
  EXPECT_EQ(winsim::OpenMixerCount(), 0);
}

TEST_F(PlaybackTest, TickOnAnEmptyRingCallsNothing) {
  DriverStart();
  Tick(3);
  EXPECT_EQ(SynthTrace(), "LS");
  EXPECT_EQ(gEmulator.readIndex.load(), 0u);
}

TEST_F(PlaybackTest, HundredMessagesPlayAsSixtyFourThenThirtySix) {
  DriverStart();
  driver_->ring().Write(Sequence(0x00903C00, 100));
  Tick();
  EXPECT_EQ(SynthMessages(), Sequence(0x00903C00, 64));
  EXPECT_EQ(gEmulator.readIndex.load(), 64u);
  Tick();
  EXPECT_EQ(SynthMessages(), Sequence(0x00903C00, 100));
  EXPECT_EQ(gEmulator.readIndex.load(), 100u);
  Tick();
  EXPECT_EQ(SynthMessages().size(), 100u);
}

TEST_F(PlaybackTest, MarkerIsNeverConsumedAndLaterMessagesPlayFromIt) {
  DriverStart();
  driver_->ring().Write(Sequence(1, 3));
  Tick();
  EXPECT_EQ(gEmulator.readIndex.load(), 3u);
  driver_->ring().Write(Sequence(4, 2));
  Tick();
  EXPECT_EQ(SynthMessages(), Sequence(1, 5));
  EXPECT_EQ(gEmulator.readIndex.load(), 5u);
}

TEST_F(PlaybackTest, RingWrapsFromSlot1023ToSlot0) {
  DriverStart();
  // Bring the reader to slot 1020 by playing 1020 messages.
  driver_->ring().Write(Sequence(0x1000, 1020));
  Tick(16);  // 15 x 64 + 60
  ASSERT_EQ(gEmulator.readIndex.load(), 1020u);
  ASSERT_EQ(SynthMessages().size(), 1020u);

  // Slots 1020..1023 and 0..3, with the marker in slot 4.
  driver_->ring().Write(Sequence(0xA0, 8));
  ASSERT_EQ(driver_->ring().Slot(4), kRingEmpty);
  Tick();
  auto messages = SynthMessages();
  EXPECT_EQ(std::vector<uint32_t>(messages.begin() + 1020, messages.end()), Sequence(0xA0, 8));
  EXPECT_EQ(gEmulator.readIndex.load(), 4u);
}

TEST_F(PlaybackTest, FullRingOf1023MessagesPlaysInSixteenTicks) {
  DriverStart();
  driver_->ring().Write(Sequence(0x5000, 1023));  // the most the ring holds
  Tick(16);
  EXPECT_EQ(SynthMessages(), Sequence(0x5000, 1023));
  EXPECT_EQ(gEmulator.readIndex.load(), 1023u);
}

TEST_F(PlaybackTest, StopBeforeAnyStartOnlyLoadsTheInstrumentSet) {
  DriverStop();
  EXPECT_EQ(SynthTrace(), "L");
  EXPECT_EQ(gEmulator.dlsLoaded, 1u);
  EXPECT_EQ(gEmulator.running.load(), 0u);
  EXPECT_TRUE(winsim::TimerCreations().empty());
  EXPECT_TRUE(winsim::TimerKills().empty());
  EXPECT_TRUE(winsim::MixerLog().empty());
  EXPECT_EQ(gEmulator.ring.load(), nullptr);
  EXPECT_TRUE(Boxes().empty());

  // A later start does not load it again.
  DriverStart();
  EXPECT_EQ(SynthTrace(), "LS");
}

// A start whose ring address is 0 is ignored as a stop while idle is: the
// first call of the process still loads the instrument set, and nothing
// else happens (played, every tick would read through a null pointer).
TEST_F(PlaybackTest, StartWithRingAddressZeroIsIgnored) {
  driver_->QueueParameter(0);
  Settle();
  EXPECT_EQ(SynthTrace(), "L");
  EXPECT_EQ(gEmulator.running.load(), 0u);
  ASSERT_TRUE(winsim::TimerCreations().empty());
  EXPECT_TRUE(winsim::MixerLog().empty());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(gEmulator.ring.load(), nullptr);

  // After a start that got no timer, ring and index stay as that start set them.
  winsim::FailTimerCreation(true);
  driver_->ring().Write(Sequence(1, 3));
  DriverStart();
  winsim::FailTimerCreation(false);
  driver_->QueueParameter(0);
  Settle();
  ASSERT_EQ(winsim::TimerCreations().size(), 1u) << "only the start with a ring tried for a timer";
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(driver_->ring().Address()));
  EXPECT_EQ(winsim::MixerLog().size(), 5u) << "one mixer probe, for the start with a ring";

  // A start with a ring plays as always.
  DriverStart();
  Tick();
  EXPECT_EQ(SynthTrace(), "LSMMM");
}

class BusyMixerTest : public EmulatorTest {
 protected:
  BusyMixerTest() { mixerAnswer_ = 291; }
};

TEST_F(BusyMixerTest, ShowsTheBoxOncePerStartAndPlaysNothing) {
  StartEmulator();
  winsim::ScriptBoxAnswers({IDOK, IDOK});
  driver_->ring().Write(Sequence(1, 10));
  winsim::StandInRing second;
  second.Write(Sequence(100, 3));

  DriverStart();
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(driver_->ring().Address()));
  DriverStart(second);
  Tick();

  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_FALSE(box.hasOwner);
    EXPECT_EQ(box.text, texts::kMixerBusy);
    EXPECT_EQ(box.caption, texts::kMixerBusyCaption);
    EXPECT_EQ(box.type, static_cast<uint32_t>(MB_OK));
  }
  EXPECT_EQ(SynthTrace(), "L") << "instrument set loaded once, nothing started or played";
  EXPECT_TRUE(winsim::TimerCreations().empty());
  EXPECT_EQ(gEmulator.running.load(), 0u);
  // Ring and index were still taken from the latest start.
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(second.Address()));
  EXPECT_EQ(gEmulator.readIndex.load(), 0u);
  EXPECT_EQ(winsim::OpenMixerCount(), 0);
  // A stop after the refused starts is a stop while idle.
  DriverStop();
  EXPECT_EQ(SynthTrace(), "L");
  EXPECT_TRUE(winsim::TimerKills().empty());
}

TEST_F(PlaybackTest, SecondStartWhileRunningKeepsReadingTheFirstRing) {
  driver_->ring().Write(Sequence(1, 70));
  DriverStart();
  Tick();
  ASSERT_EQ(gEmulator.readIndex.load(), 64u);

  winsim::StandInRing other;
  other.Write(Sequence(0xBAD0, 5));
  DriverStart(other);
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(driver_->ring().Address()));
  EXPECT_EQ(gEmulator.readIndex.load(), 64u);
  Tick();
  EXPECT_EQ(SynthMessages(), Sequence(1, 70));
  EXPECT_EQ(winsim::TimerCreations().size(), 1u);
  EXPECT_EQ(SynthTrace(), "LS" + std::string(70, 'M'));
}

TEST_F(PlaybackTest, StartWithoutATimerIsSilentAndALaterStartPlays) {
  winsim::FailTimerCreation(true);
  driver_->ring().Write(Sequence(1, 4));
  DriverStart();
  EXPECT_EQ(SynthTrace(), "L") << "no _StartMidi@0 without a timer";
  EXPECT_EQ(gEmulator.running.load(), 0u);
  EXPECT_EQ(gEmulator.timerId, 0u);
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(driver_->ring().Address()));
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(winsim::TimerCreations().size(), 1u);

  winsim::FailTimerCreation(false);
  DriverStart();
  Tick();
  EXPECT_EQ(SynthTrace(), "LSMMMM");
}

TEST_F(PlaybackTest, StopCallsTheSynthesizerFirstThenKillsTheTimerThenClearsRunning) {
  DriverStart();
  MMRESULT id = gEmulator.timerId;
  int liveAtStop = -1;
  DWORD runningAtStop = 99;
  winsim::SetSynthHook([&](const winsim::SynthCall& call) {
    if (call.kind != winsim::SynthCall::Kind::kStopMidi) return;
    liveAtStop = winsim::LiveTimerCount();
    runningAtStop = gEmulator.running.load();
  });
  DriverStop();

  EXPECT_EQ(liveAtStop, 1) << "the timer still lives when the synthesizer stops";
  EXPECT_EQ(runningAtStop, 1u);
  ASSERT_EQ(winsim::TimerKills().size(), 1u);
  EXPECT_EQ(winsim::TimerKills()[0].id, id);
  EXPECT_EQ(winsim::LiveTimerCount(), 0);
  EXPECT_EQ(gEmulator.running.load(), 0u);
  EXPECT_EQ(gEmulator.timerId, id) << "keeps the old identifier";
  EXPECT_EQ(SynthTrace(), "LST");

  // A second stop while idle changes nothing.
  DriverStop();
  EXPECT_EQ(SynthTrace(), "LST");
  EXPECT_EQ(winsim::TimerKills().size(), 1u);
}

TEST_F(PlaybackTest, TickBetweenStopMidiAndTheKillStillPlays) {
  driver_->ring().Write(Sequence(1, 3));
  DriverStart();
  // The platform may run a tick after "_StopMidi@0" and before the kill.
  winsim::SetSynthHook([](const winsim::SynthCall& call) {
    if (call.kind == winsim::SynthCall::Kind::kStopMidi) winsim::FireTimerTicks();
  });
  DriverStop();
  EXPECT_EQ(SynthTrace(), "LSTMMM");
  EXPECT_EQ(gEmulator.running.load(), 0u);
}

// A tick stuck inside the synthesizer: the stop waits for it no longer
// than 1 s on the clock behind GetTickCount, and the driver's next call is
// served. Should the call return later, the old tick plays the rest of its
// messages.
TEST_F(PlaybackTest, StopWaitsForATickStuckInTheSynthesizerOnlySoLong) {
  driver_->ring().Write(Sequence(1, 3));
  DriverStart();
  std::mutex mutex;
  std::condition_variable changed;
  bool inside = false;
  bool released = false;
  winsim::SetSynthHook([&](const winsim::SynthCall& call) {
    if (call.kind != winsim::SynthCall::Kind::kMidiMessage) return;
    std::unique_lock<std::mutex> lock(mutex);
    if (inside) return;  // only the first message sticks
    inside = true;
    changed.notify_all();
    // A guard, not a measurement: a stop that waits for ever is let go after
    // 5 s, so that the test fails instead of hanging.
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return released; });
  });
  std::thread timerService([] { winsim::FireTimerTicks(); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return inside; });
  }

  uint64_t before = winsim::Now();
  DriverStop();
  EXPECT_EQ(gEmulator.ticksInFlight.load(), 1) << "the stop waited until the tick had returned";
  EXPECT_EQ(winsim::Now() - before, 1000u);
  EXPECT_EQ(gEmulator.running.load(), 0u);
  EXPECT_EQ(winsim::LiveTimerCount(), 0);

  winsim::StandInRing second;
  DriverStart(second);
  EXPECT_EQ(gEmulator.running.load(), 1u) << "the start behind the stop was served";
  EXPECT_EQ(winsim::TimerCreations().size(), 2u);

  {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  changed.notify_all();
  timerService.join();
  EXPECT_EQ(gEmulator.ticksInFlight.load(), 0);
  EXPECT_EQ(SynthTrace(), "LSMTSMM");
  DriverStop();
}

TEST_F(PlaybackTest, TicksBeforeRunningIsSetPlayNothing) {
  driver_->ring().Write(Sequence(1, 5));
  int ticksInsideStart = 0;
  winsim::SetSynthHook([&](const winsim::SynthCall& call) {
    if (call.kind == winsim::SynthCall::Kind::kStartMidi) ticksInsideStart = winsim::FireTimerTicks();
  });
  DriverStart();
  EXPECT_EQ(ticksInsideStart, 1);
  EXPECT_EQ(SynthTrace(), "LS");
  winsim::SetSynthHook(nullptr);
  Tick();
  EXPECT_EQ(SynthMessages(), Sequence(1, 5));
}

TEST_F(PlaybackTest, PumpWhileIdleTouchesNothing) {
  driver_->ring().Write(Sequence(1, 5));
  DriverStart();
  DriverStop();
  // A callback arriving late, after the stop, finds playback idle.
  PumpMidi(0, 0, 0, 0, 0);
  EXPECT_EQ(SynthTrace(), "LST");
  EXPECT_EQ(gEmulator.readIndex.load(), 0u);
}

TEST_F(PlaybackTest, RepeatedPlaybacksEachStartAtSlotZeroOfTheirRing) {
  winsim::StandInRing rings[3];
  std::vector<uint32_t> expected;
  for (int round = 0; round < 3; ++round) {
    // Each ring's history differs, so a reader that kept an old index
    // would play the wrong slots.
    auto messages = Sequence(0x100u * (round + 1), static_cast<size_t>(10 + round));
    rings[round].Write(messages);
    expected.insert(expected.end(), messages.begin(), messages.end());
    DriverStart(rings[round]);
    EXPECT_EQ(gEmulator.readIndex.load(), 0u);
    Tick();
    DriverStop();
    EXPECT_EQ(gEmulator.readIndex.load(), messages.size());
  }
  EXPECT_EQ(SynthMessages(), expected);
  std::string trace = SynthTrace();
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'L'), 1);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'S'), 3);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'T'), 3);
  EXPECT_EQ(winsim::TimerCreations().size(), 3u);
  EXPECT_EQ(winsim::TimerKills().size(), 3u);
  EXPECT_EQ(winsim::LiveTimerCount(), 0);
}

TEST_F(PlaybackTest, MessagesReachTheSynthesizerUnchanged) {
  DriverStart();
  // Any 32-bit value but the marker is a message, high byte included.
  const std::vector<uint32_t> odd{0xFFFFFFFFu, 0x00000000u, 0x11111110u, 0x11111112u, 0x80000000u};
  driver_->ring().Write(odd);
  Tick();
  EXPECT_EQ(SynthMessages(), odd);
}

}  // namespace
}  // namespace qtest
