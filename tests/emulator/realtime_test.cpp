// Playback with real threads: the driver writes from its own thread, the
// timer service ticks every 10 ms on its own, the main thread runs the
// driver's calls. Run under ThreadSanitizer as well. Only order and counts
// are asserted; waits are bounded guards, never measurements.
#include "emulator_fixture.h"

#include <algorithm>
#include <future>

namespace qtest {
namespace {

using Step = TrapDriverStandIn::Step;
using winsim::SynthCall;
using winsim::SynthMessageCount;

class RealTimeTest : public EmulatorTest {
 protected:
  void SetUp() override {
    EmulatorTest::SetUp();
    winsim::SetTimerMode(winsim::TimerMode::kRealThread);
    StartEmulator();
  }

  // The driver keeps at most this many messages unread, well under the 1023
  // the ring holds, as a DOS program waits when the port is busy.
  static std::function<bool(uint64_t)> FlowControl() {
    return [](uint64_t written) { return written - SynthMessageCount() < 900; };
  }

  // After the stop has returned, nothing more reaches the synthesizer and no
  // further tick starts. Checked again after several timer periods.
  void ExpectQuietAfterStop() {
    size_t calls = winsim::SynthCalls().size();
    auto kills = winsim::TimerKills();
    ASSERT_FALSE(kills.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(winsim::SynthCalls().size(), calls) << "a synthesizer call after the stop returned";
    for (const auto& kill : kills) EXPECT_EQ(winsim::TicksStarted(kill.id), kill.ticksStarted) << kill.id;
    EXPECT_EQ(gEmulator.ticksInFlight.load(), 0);
  }
};

TEST_F(RealTimeTest, DriverThreadWritesThousandsOfMessagesWhileThePumpDrains) {
  const uint32_t kCount = 4000;
  std::vector<Step> script{TrapDriverStandIn::Start()};
  for (uint32_t i = 0; i < kCount; ++i) {
    script.push_back(TrapDriverStandIn::Write(0x00900000u + i));
    if (i % 97 == 0) script.push_back(TrapDriverStandIn::Pause(1));  // bursts of varied size
  }
  script.push_back(TrapDriverStandIn::WaitUntil([kCount] { return SynthMessageCount() >= kCount; }));
  script.push_back(TrapDriverStandIn::Stop());

  driver_->RunScript(script, FlowControl());
  driver_->JoinScript();
  Settle();

  EXPECT_EQ(winsim::SynthMessages(), Sequence(0x00900000u, kCount)) << "each message once, in order";
  EXPECT_EQ(winsim::SynthTrace(), "LS" + std::string(kCount, 'M') + "T");
  // Messages arrive on the timer service's thread, the rest on the main one.
  DWORD mainThread = winsim::ThreadIdOf(process_.handle());
  for (const SynthCall& call : winsim::SynthCalls()) {
    if (call.kind == SynthCall::Kind::kMidiMessage)
      ASSERT_NE(call.threadId, mainThread);
    else
      ASSERT_EQ(call.threadId, mainThread);
  }
  EXPECT_EQ(gEmulator.running.load(), 0u);
  ExpectQuietAfterStop();
}

TEST_F(RealTimeTest, StopInTheMiddleOfAStreamPlaysAnOrderedPrefixThenNothing) {
  std::vector<Step> script{TrapDriverStandIn::Start()};
  for (uint32_t i = 0; i < 3000; ++i) {
    script.push_back(TrapDriverStandIn::Write(i + 1));
    if (i % 50 == 0) script.push_back(TrapDriverStandIn::Pause(1));
    // The stop comes while messages are still waiting to be played; the
    // driver goes on writing once it has run, and nobody reads any more.
    if (i == 1500) {
      script.push_back(TrapDriverStandIn::Stop());
      script.push_back(TrapDriverStandIn::WaitUntil([] { return gEmulator.running.load() == 0; }));
    }
  }
  driver_->RunScript(script, [](uint64_t written) {
    return written > 1500 || written - SynthMessageCount() < 900;
  });
  driver_->JoinScript();
  Settle();

  auto messages = winsim::SynthMessages();
  ASSERT_LE(messages.size(), 1501u);
  EXPECT_EQ(messages, Sequence(1, messages.size()));
  std::string trace = winsim::SynthTrace();
  EXPECT_EQ(trace.substr(0, 2), "LS");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'T'), 1);
  ExpectQuietAfterStop();
}

TEST_F(RealTimeTest, RepeatedPlaybacksInRealTimeEachPlayTheirWholeStream) {
  const int kRounds = 8;
  const uint32_t kPerRound = 300;
  std::vector<Step> script;
  uint64_t total = 0;
  for (int round = 0; round < kRounds; ++round) {
    script.push_back(TrapDriverStandIn::ClearRing());
    script.push_back(TrapDriverStandIn::Start());
    for (uint32_t i = 0; i < kPerRound; ++i) script.push_back(TrapDriverStandIn::Write((round << 16) | i));
    total += kPerRound;
    script.push_back(TrapDriverStandIn::WaitUntil([total] { return SynthMessageCount() >= total; }));
    script.push_back(TrapDriverStandIn::Stop());
    // The next ring may only be cleared once the stop has run.
    script.push_back(TrapDriverStandIn::WaitUntil([] { return gEmulator.running.load() == 0; }));
  }
  driver_->RunScript(script, [](uint64_t written) { return written - SynthMessageCount() < 900; });
  driver_->JoinScript();
  Settle();

  std::vector<uint32_t> expected;
  for (int round = 0; round < kRounds; ++round)
    for (uint32_t i = 0; i < kPerRound; ++i) expected.push_back((static_cast<uint32_t>(round) << 16) | i);
  EXPECT_EQ(winsim::SynthMessages(), expected);
  std::string trace = winsim::SynthTrace();
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'S'), kRounds);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), 'T'), kRounds);
  EXPECT_EQ(winsim::TimerCreations().size(), static_cast<size_t>(kRounds));
  ExpectQuietAfterStop();
}

// A stop and a start queued back to back while a tick is still handing
// messages to the synthesizer: the new playback must begin at slot 0 of its
// own ring, whatever the old tick does after the stop. The tick runs on a
// thread of the test's (manual timer mode) so that it can be held mid-way.
class TickInFlightTest : public EmulatorTest {};

TEST_F(TickInFlightTest, StartRightAfterAStopIsNotDisturbedByTheOldTick) {
  StartEmulator();
  std::promise<void> inTick;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  winsim::SetSynthHook([&inTick, released](const SynthCall& call) {
    if (call.kind == SynthCall::Kind::kMidiMessage && call.message == 3) {
      inTick.set_value();
      released.wait();
    }
  });

  driver_->ring().Write(Sequence(1, 10));
  DriverStart();
  std::thread tick([] { winsim::FireTimerTicks(); });
  inTick.get_future().wait();

  winsim::StandInRing second;
  second.Write(Sequence(0x900, 5));
  driver_->QueueStop();
  driver_->QueueStart(second);
  // Give a start that does not wait every chance to run now.
  for (int i = 0; i < 30 && winsim::SynthTrace().find('T') == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::string whileHeld = winsim::SynthTrace();
  EXPECT_EQ(whileHeld, "LSMMMT") << "the stop ran, and the start waits for the tick in flight";

  release.set_value();
  tick.join();
  Settle();
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(second.Address()));
  EXPECT_EQ(gEmulator.readIndex.load(), 0u);
  Tick();

  std::vector<uint32_t> expected = Sequence(1, 10);  // the old tick finished its ring
  for (uint32_t m : Sequence(0x900, 5)) expected.push_back(m);
  EXPECT_EQ(winsim::SynthMessages(), expected);
  EXPECT_EQ(winsim::SynthTrace(), "LSMMMT" + std::string(7, 'M') + "S" + std::string(5, 'M'));
}

}  // namespace
}  // namespace qtest
