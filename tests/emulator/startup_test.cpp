// Start-up and the device channel: binding the synthesizer, opening and
// registering with the trap driver, and the alertable wait.
#include "emulator_fixture.h"

namespace qtest {
namespace {

using winsim::Boxes;

class StartupTest : public EmulatorTest {};

TEST_F(StartupTest, MissingLibraryEndsSilentlyBeforeTheDevice) {
  winsim::Reset();  // no synthesizer registered
  winsim::RegisterDevice("DOVORAV", driver_);
  EXPECT_EQ(process_.RunToExit(), 0);
  EXPECT_EQ(winsim::LoadLibraryCalls(), std::vector<std::string>{"WTSYNTH.DLL"});
  EXPECT_TRUE(winsim::GetProcAddressCalls().empty());
  EXPECT_TRUE(winsim::DeviceOpens().empty());
  EXPECT_TRUE(Boxes().empty());
}

// Each export missing in turn: the ones looked up before it stay stored,
// nothing after it is looked up, and start-up ends silently with 0.
class MissingExportTest : public StartupTest, public ::testing::WithParamInterface<int> {};

TEST_P(MissingExportTest, EndsSilentlyKeepingTheEntryPointsFoundBefore) {
  const std::vector<std::string> order{"_StartMidi@0", "_MidiMessage@4", "_StopMidi@0", "_LoadDls@0"};
  const int missing = GetParam();
  winsim::Reset();
  winsim::RegisterStandInSynth({order[missing]});
  winsim::RegisterDevice("DOVORAV", driver_);

  EXPECT_EQ(process_.RunToExit(), 0);

  EXPECT_EQ(winsim::GetProcAddressCalls(), std::vector<std::string>(order.begin(), order.begin() + missing + 1));
  const bool stored[4] = {gEmulator.pfnStartMidi != nullptr, gEmulator.pfnMidiMessage != nullptr,
                          gEmulator.pfnStopMidi != nullptr, gEmulator.pfnLoadDls != nullptr};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(stored[i], i < missing) << order[i];
  EXPECT_TRUE(winsim::DeviceOpens().empty());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(winsim::SynthCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(EachExport, MissingExportTest, ::testing::Values(0, 1, 2, 3));

TEST_F(StartupTest, MissingDeviceEndsSilentlyWithAllEntryPointsStored) {
  winsim::Reset();
  winsim::RegisterStandInSynth();
  EXPECT_EQ(process_.RunToExit(), 0);
  EXPECT_NE(gEmulator.pfnLoadDls, nullptr);
  ASSERT_EQ(winsim::DeviceOpens().size(), 1u);
  EXPECT_FALSE(winsim::DeviceOpens()[0].opened);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartupTest, OnWindowsNtTheDeviceOpenIsRefusedAndStartUpEndsSilently) {
  winsim::SetVersion(winsim::kNT40);
  EXPECT_EQ(process_.RunToExit(), 0);
  ASSERT_EQ(winsim::DeviceOpens().size(), 1u);
  EXPECT_EQ(winsim::DeviceOpens()[0].error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(driver_->Registrations().empty());
  EXPECT_TRUE(Boxes().empty());
}

// A driver that answers anything but 5 gets the box, and exit code 0.
struct RefusalRow {
  TrapDriverStandIn::Answer answer;
  const char* what;
};

void PrintTo(const RefusalRow& row, std::ostream* out) { *out << row.what; }

class RefusedRegistrationTest : public StartupTest, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(RefusedRegistrationTest, ShowsTheBoxAndEndsWithZero) {
  auto driver = std::make_shared<TrapDriverStandIn>(GetParam().answer);
  winsim::RegisterDevice("DOVORAV", driver);
  winsim::ScriptBoxAnswers({IDOK});

  EXPECT_EQ(process_.RunToExit(), 0) << GetParam().what;

  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(boxes[0].hasOwner);
  EXPECT_EQ(boxes[0].text, "Fail to access Qtmpu401 Device");
  EXPECT_EQ(boxes[0].caption, "QTMPU");
  EXPECT_EQ(boxes[0].type, static_cast<uint32_t>(MB_OK));
  ASSERT_EQ(driver->Registrations().size(), 1u);
  EXPECT_EQ(driver->Registrations()[0].outBefore, 0u) << "the answer starts as 0";
  EXPECT_TRUE(winsim::SynthCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, RefusedRegistrationTest,
                         ::testing::Values(RefusalRow{TrapDriverStandIn::Answer::kRefuse, "answers 4"},
                                           RefusalRow{TrapDriverStandIn::Answer::kSilent, "writes nothing"}));

TEST_F(StartupTest, OpensAndRegistersExactlyAsTheDriverExpects) {
  StartEmulator();

  auto opens = winsim::DeviceOpens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].path, "\\\\.\\DOVORAV");
  EXPECT_EQ(opens[0].access, 0u);
  EXPECT_EQ(opens[0].share, 0u);
  EXPECT_FALSE(opens[0].security);
  EXPECT_EQ(opens[0].disposition, 0u);
  EXPECT_EQ(opens[0].flags, 0u);
  EXPECT_FALSE(opens[0].templateFile);
  EXPECT_TRUE(opens[0].opened);

  auto registrations = driver_->Registrations();
  ASSERT_EQ(registrations.size(), 1u);
  const auto& reg = registrations[0];
  EXPECT_EQ(reg.code, 1u);
  // The routine's own address, not the address of a variable holding it.
  EXPECT_EQ(reg.routine, reinterpret_cast<ULONG_PTR>(&OnDeviceApc));
  EXPECT_EQ(reg.inSize, 4u);
  EXPECT_EQ(reg.outSize, 4u);
  EXPECT_EQ(reg.outBefore, 0u);
  EXPECT_TRUE(reg.returnedGiven);
  EXPECT_FALSE(reg.overlappedGiven);
  EXPECT_EQ(reg.threadId, winsim::ThreadIdOf(process_.handle())) << "registered from the main thread";

  EXPECT_EQ(winsim::LoadLibraryCalls(), std::vector<std::string>{"WTSYNTH.DLL"});
  EXPECT_EQ(winsim::GetProcAddressCalls(),
            (std::vector<std::string>{"_StartMidi@0", "_MidiMessage@4", "_StopMidi@0", "_LoadDls@0"}));
  EXPECT_TRUE(Boxes().empty());
  // The handle stays open for the life of the process.
  EXPECT_EQ(winsim::OpenDeviceHandleCount(), 1);
  EXPECT_FALSE(process_.finished());
}

TEST_F(StartupTest, WaitLoopsOnQueuedCallsAndReturnsOneOnAnyOtherWakeUp) {
  StartEmulator();
  DriverStop();  // a call that changes nothing but the instrument set
  DriverStop();
  EXPECT_FALSE(process_.finished());
  auto stats = winsim::WaitStatsOf(process_.handle());
  EXPECT_EQ(stats.apcsRun, 2);
  EXPECT_EQ(stats.sleepExCalls, 3) << "one wait before each call, and the one it sleeps in now";

  EXPECT_EQ(process_.End(), 1);
}

TEST_F(StartupTest, AlertableWaitWithNothingQueuedNeverWakesUp) {
  StartEmulator();
  // Give a busy loop every chance to show itself; only counts are asserted.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto stats = winsim::WaitStatsOf(process_.handle());
  EXPECT_EQ(stats.sleepExCalls, 1);
  EXPECT_EQ(stats.wakeups, 0);
  EXPECT_EQ(stats.apcsRun, 0);
  EXPECT_TRUE(winsim::SynthCalls().empty());
}

TEST_F(StartupTest, NonZeroPreviousInstanceEndsAtOnce) {
  EXPECT_EQ(WinMain(nullptr, reinterpret_cast<HINSTANCE>(1), const_cast<char*>(""), 1), 0);
  EXPECT_TRUE(winsim::LoadLibraryCalls().empty());
}

}  // namespace
}  // namespace qtest
