// The emulator's fault table: each row injects one fault and runs the
// emulator from its real entry point, with the stand-in trap driver queueing
// its calls to the main thread and the timer ticked by hand.
//
// Start-up rows (the library, the driver) state the exit code and the boxes;
// nothing may reach the synthesizer. Playback rows (the timer, the mixer)
// play one start, two ticks and a stop over a ring of five messages and
// state what the synthesizer received and which boxes were shown.
//
// Every row also checks that nothing was lost:
//   - the ring is never written by the emulator, and a refused start leaves
//     the read index on slot 0 of the ring it was given;
//   - no timer stays alive and no mixer stays open;
//   - once the fault is mended (a later start with a timer; a new start of
//     the program with its library and driver), the ring's five messages
//     are all played, in order, from slot 0.
#include <functional>
#include <string>
#include <vector>

#include "emulator_fixture.h"

namespace qtest {
namespace {

using winsim::MixerSpec;

const char* const kAccessText = "Fail to access Qtmpu401 Device";
const MixerSpec kFreeCard{kCardMixer, MMSYSERR_NOERROR, MMSYSERR_NOERROR, kCardFree};

class EmulatorFaultTest;

struct EmulatorFaultRow {
  int number;
  const char* name;
  std::vector<MixerSpec> mixers;                     // the machine's mixers, in device order
  std::function<void(EmulatorFaultTest&)> fault;     // injected before start-up
  std::function<void(EmulatorFaultTest&)> mend;      // playback rows: takes the fault away, or nothing
  // The outcome.
  int exitCode;                    // start-up rows; -1 when the emulator reaches its wait
  std::vector<std::string> boxes;  // texts shown by the start-up or the playback
  std::string trace;               // synthesizer calls, as letters (sim_emulator_standins.h)
};

void PrintTo(const EmulatorFaultRow& row, std::ostream* out) { *out << row.number << " " << row.name; }

class EmulatorFaultTest : public EmulatorTest, public ::testing::WithParamInterface<EmulatorFaultRow> {
 public:
  // The machine of the row: the synthesizer, the driver, the row's mixers.
  void SetUp() override {
    winsim::Reset();
    ClearEmulatorState();
    winsim::RegisterStandInSynth();
    driver_ = std::make_shared<TrapDriverStandIn>();
    winsim::RegisterDevice("DOVORAV", driver_);
    for (const MixerSpec& mixer : GetParam().mixers) winsim::AddMixer(mixer);
    winsim::SetBoxHandler([](const winsim::BoxRecord&) { return IDOK; });
  }

  std::shared_ptr<TrapDriverStandIn>& driver() { return driver_; }

  // A machine at power-on with only some of the outside parts.
  void PowerOnWith(bool synthesizer, bool device) {
    winsim::Reset();
    if (synthesizer) winsim::RegisterStandInSynth();
    if (device) winsim::RegisterDevice("DOVORAV", driver_);
    winsim::SetBoxHandler([](const winsim::BoxRecord&) { return IDOK; });
  }

  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : winsim::Boxes()) {
      EXPECT_FALSE(box.hasOwner) << box.text;
      EXPECT_EQ(box.type, static_cast<uint32_t>(MB_OK)) << box.text;
      texts.push_back(box.text);
    }
    return texts;
  }

  // The ring's five messages, and a copy of every slot to compare with.
  void FillRing() {
    driver_->ring().Write(Sequence(0x90 + 1, 5));
    for (uint32_t i = 0; i < winsim::kStandInRingSlots; ++i) slots_.push_back(driver_->ring().Slot(i));
  }

  void ExpectRingUntouched() {
    for (uint32_t i = 0; i < winsim::kStandInRingSlots; ++i)
      ASSERT_EQ(driver_->ring().Slot(i), slots_[i]) << "slot " << i << " was written";
  }

  std::vector<uint32_t> slots_;
};

TEST_P(EmulatorFaultTest, OutcomeAndNothingLost) {
  const EmulatorFaultRow& row = GetParam();
  if (row.fault) row.fault(*this);
  FillRing();

  if (row.exitCode >= 0) {
    // ---- Start-up ----
    EXPECT_EQ(process_.RunToExit(), row.exitCode);
    EXPECT_EQ(BoxTexts(), row.boxes);
    EXPECT_EQ(winsim::SynthTrace(), row.trace);
    EXPECT_TRUE(winsim::TimerCreations().empty());
    ExpectRingUntouched();

    // A new start of the program with its library and its driver plays.
    winsim::Reset();
    ClearEmulatorState();
    winsim::RegisterStandInSynth();
    auto driver = std::make_shared<TrapDriverStandIn>();
    driver->ring().Write(Sequence(0x90 + 1, 5));
    winsim::RegisterDevice("DOVORAV", driver);
    winsim::AddMixer(kFreeCard);
    EmulatorProcess restarted;
    restarted.Start();
    ASSERT_TRUE(restarted.Idle());
    driver->QueueStart();
    ASSERT_TRUE(restarted.Idle());
    Tick();
    driver->QueueStop();
    ASSERT_TRUE(restarted.Idle());
    EXPECT_EQ(restarted.End(), 1);
    EXPECT_EQ(winsim::SynthTrace(), "LSMMMMMT");
    EXPECT_EQ(winsim::SynthMessages(), Sequence(0x90 + 1, 5));
    return;
  }

  // ---- Playback ----
  StartEmulator();
  DriverStart();
  Tick(2);
  DriverStop();
  EXPECT_EQ(BoxTexts(), row.boxes);
  EXPECT_EQ(winsim::SynthTrace(), row.trace);
  EXPECT_EQ(winsim::LiveTimerCount(), 0);
  EXPECT_EQ(winsim::OpenMixerCount(), 0);
  ExpectRingUntouched();
  EXPECT_EQ(gEmulator.running.load(), 0u);
  EXPECT_EQ(gEmulator.ring.load(), reinterpret_cast<const MidiSlot*>(driver_->ring().Address()));
  const bool played = row.trace.find('S') != std::string::npos;
  if (!played) {
    EXPECT_EQ(gEmulator.readIndex.load(), 0u) << "a refused start reads from slot 0 later";
  }

  std::string before = winsim::SynthTrace();
  size_t boxes = row.boxes.size();
  if (row.mend) {
    // Mended: the next start plays the whole ring from slot 0.
    row.mend(*this);
    DriverStart();
    Tick();
    DriverStop();
    EXPECT_EQ(winsim::SynthTrace(), before + "SMMMMMT");
    std::vector<uint32_t> messages = winsim::SynthMessages();
    ASSERT_GE(messages.size(), 5u);
    EXPECT_EQ(std::vector<uint32_t>(messages.end() - 5, messages.end()), Sequence(0x90 + 1, 5));
  } else if (!played) {
    // Not mended: every later start is refused the same way, once per start.
    DriverStart();
    Tick();
    EXPECT_EQ(winsim::SynthTrace(), before);
    EXPECT_EQ(winsim::Boxes().size(), boxes + (boxes > 0 ? 1 : 0));
  }
  EXPECT_EQ(winsim::LiveTimerCount(), 0);
  EXPECT_EQ(winsim::OpenMixerCount(), 0);
  ExpectRingUntouched();
}

using Fixture = EmulatorFaultTest;

const EmulatorFaultRow kRows[] = {
    // ---- Start-up: the library and the trap driver ----
    {1, "LibraryMissing", {kFreeCard}, [](Fixture& t) { t.PowerOnWith(false, true); },
     nullptr, 0, {}, ""},
    {2, "InstrumentSetEntryMissing", {kFreeCard}, [](Fixture&) { winsim::RegisterStandInSynth({"_LoadDls@0"}); },
     nullptr, 0, {}, ""},
    {3, "TrapDriverCannotBeOpened", {kFreeCard},
     [](Fixture& t) { t.PowerOnWith(true, false); }, nullptr, 0, {}, ""},
    {4, "TrapDriverRefusedOnWindowsNt", {kFreeCard}, [](Fixture&) { winsim::SetVersion(winsim::kNT40); }, nullptr, 0,
     {}, ""},
    {5, "DeviceAnswers4", {kFreeCard},
     [](Fixture& t) {
       t.driver() = std::make_shared<TrapDriverStandIn>(TrapDriverStandIn::Answer::kRefuse);
       winsim::RegisterDevice("DOVORAV", t.driver());
     },
     nullptr, 0, {kAccessText}, ""},
    {6, "DeviceAnswers0", {kFreeCard},
     [](Fixture& t) {
       t.driver() = std::make_shared<TrapDriverStandIn>(TrapDriverStandIn::Answer::kSilent);
       winsim::RegisterDevice("DOVORAV", t.driver());
     },
     nullptr, 0, {kAccessText}, ""},
    // ---- Playback: the timer and the mixer ----
    {7, "TimerCannotBeCreated", {kFreeCard}, [](Fixture&) { winsim::FailTimerCreation(true); },
     [](Fixture&) { winsim::FailTimerCreation(false); }, -1, {}, "L"},
    {8, "MixerCannotBeOpened", {{kCardMixer, MMSYSERR_NOERROR, MMSYSERR_ALLOCATED, kCardFree}}, nullptr, nullptr, -1,
     {texts::kMixerBusy}, "L"},
    {9, "MixerReportsTheCardHeld", {{kCardMixer, MMSYSERR_NOERROR, MMSYSERR_NOERROR, 291}}, nullptr, nullptr, -1,
     {texts::kMixerBusy}, "L"},
    {10, "NoMixerAtAll", {}, nullptr, nullptr, -1, {texts::kMixerBusy}, "L"},
    {11, "CardMixerCapabilitiesUnreadable", {{kCardMixer, MMSYSERR_NODRIVER, MMSYSERR_NOERROR, kCardFree}}, nullptr,
     nullptr, -1, {texts::kMixerBusy}, "L"},
    {12, "FirstCardMixerUnreadableSecondFree",
     {{kCardMixer, MMSYSERR_NODRIVER, MMSYSERR_NOERROR, 291}, kFreeCard}, nullptr, nullptr, -1, {}, "LSMMMMMT"},
};

INSTANTIATE_TEST_SUITE_P(Rows, EmulatorFaultTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<EmulatorFaultRow>& row) {
                           char number[8];
                           snprintf(number, sizeof number, "%02d", row.param.number);
                           return std::string("Row") + number + "_" + row.param.name;
                         });

}  // namespace
}  // namespace qtest
