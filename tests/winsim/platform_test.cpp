// Threads and their queued procedure calls, threads the program starts,
// events and mutexes, multimedia timers, libraries, devices and the trap
// driver stand-in's ring behave as the platform does where the programs rely
// on them.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_libraries.h"
#include "sim_machine.h"
#include "sim_multimedia.h"
#include "sim_threads.h"

namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { winsim::Reset(); }
  void TearDown() override { winsim::Reset(); }
};

std::string gApcTrace;
void WINAPI AppendApc(ULONG_PTR letter) { gApcTrace += static_cast<char>(letter); }
void WINAPI AppendAndQueueAnother(ULONG_PTR letter) {
  gApcTrace += static_cast<char>(letter);
  QueueUserAPC(AppendApc, winsim::CurrentThreadHandle(), 'z');
}

TEST_F(PlatformTest, QueuedCallsRunInOrderOnTheWaitingThreadOnlyWhenAlertable) {
  gApcTrace.clear();
  HANDLE self = winsim::CurrentThreadHandle();
  ASSERT_NE(QueueUserAPC(AppendApc, self, 'a'), 0u);
  ASSERT_NE(QueueUserAPC(AppendAndQueueAnother, self, 'b'), 0u);
  EXPECT_EQ(SleepEx(0, FALSE), 0u) << "a non-alertable wait runs nothing";
  EXPECT_EQ(gApcTrace, "");
  EXPECT_EQ(SleepEx(INFINITE, TRUE), static_cast<DWORD>(WAIT_IO_COMPLETION));
  EXPECT_EQ(gApcTrace, "abz") << "a call queued by a call runs in the same batch";
  EXPECT_EQ(SleepEx(0, TRUE), 0u) << "nothing left: the wait times out";
}

TEST_F(PlatformTest, CallQueuedFromAnotherThreadWakesTheWaiterWhichRunsIt) {
  std::promise<HANDLE> handle;
  std::atomic<DWORD> ranOn{0};
  std::atomic<DWORD> result{0};
  static std::atomic<DWORD>* sRanOn = nullptr;
  sRanOn = &ranOn;
  std::thread waiter([&] {
    handle.set_value(winsim::CurrentThreadHandle());
    result = SleepEx(INFINITE, TRUE);
  });
  HANDLE thread = handle.get_future().get();
  ASSERT_TRUE(winsim::WaitUntilAlertableIdle(thread, 20000));
  QueueUserAPC([](ULONG_PTR) { sRanOn->store(GetCurrentThreadId()); }, thread, 0);
  waiter.join();
  EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_IO_COMPLETION));
  EXPECT_EQ(ranOn.load(), winsim::ThreadIdOf(thread));
  EXPECT_NE(ranOn.load(), GetCurrentThreadId());
}

TEST_F(PlatformTest, EndingTheWaitReturnsZeroWithoutRunningAnything) {
  std::promise<HANDLE> handle;
  std::atomic<DWORD> result{99};
  std::thread waiter([&] {
    handle.set_value(winsim::CurrentThreadHandle());
    result = SleepEx(INFINITE, TRUE);
  });
  HANDLE thread = handle.get_future().get();
  ASSERT_TRUE(winsim::WaitUntilAlertableIdle(thread, 20000));
  winsim::EndAlertableWait(thread);
  waiter.join();
  EXPECT_EQ(result.load(), 0u);
  EXPECT_EQ(winsim::WaitStatsOf(thread).apcsRun, 0);
}

TEST_F(PlatformTest, QueueToAnUnknownHandleFails) {
  int notAThread = 0;
  EXPECT_EQ(QueueUserAPC(AppendApc, &notAThread, 'x'), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A thread of the program's: it notes where it runs, then waits for the
// event it is given.
std::atomic<DWORD> gRanOn{0};
DWORD WINAPI WaitForTheEvent(LPVOID event) {
  gRanOn = GetCurrentThreadId();
  return WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
}

TEST_F(PlatformTest, ProgramThreadRunsUnderItsIdUntilItsFunctionReturnsThenItsHandleIsSignalled) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WaitForTheEvent, event, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(winsim::ProgramThreadsRunning(), 1);
  EXPECT_EQ(SetEvent(event), TRUE);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gRanOn.load(), id);
  EXPECT_EQ(winsim::ProgramThreadsRunning(), 0);
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0) << "a manual-reset event stays set";
  winsim::SyncHandleCounts open = winsim::OpenSyncHandles();
  EXPECT_EQ(open.threads + open.events, 2);
  EXPECT_EQ(CloseHandle(thread), TRUE);
  EXPECT_EQ(CloseHandle(event), TRUE);
  EXPECT_EQ(CloseHandle(event), FALSE) << "closed twice";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
  EXPECT_EQ(SetEvent(event), FALSE);
}

TEST_F(PlatformTest, ThreadWithoutAPlaceForItsIdIsRefusedOnWindows9xOnly) {
  HANDLE set = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  for (winsim::Version version : {winsim::kWin95, winsim::kWin98, winsim::kNT40}) {
    winsim::SetVersion(version);
    SetLastError(0);
    HANDLE thread = CreateThread(nullptr, 0, WaitForTheEvent, set, 0, nullptr);
    EXPECT_EQ(thread != nullptr, version.platformId == VER_PLATFORM_WIN32_NT) << version.minor;
    if (thread == nullptr) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
      continue;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(set);
}

TEST_F(PlatformTest, NamedMutexExistsWhileAHandleOrAnotherProcessHoldsIt) {
  SetLastError(ERROR_ALREADY_EXISTS);
  HANDLE first = CreateMutexA(nullptr, FALSE, "Name");
  EXPECT_EQ(GetLastError(), 0u) << "a new mutex clears the error";
  HANDLE second = CreateMutexA(nullptr, FALSE, "Name");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(first, second) << "each call its own handle";
  CreateMutexA(nullptr, FALSE, "NAME");
  EXPECT_EQ(GetLastError(), 0u) << "names are compared with their case";
  CloseHandle(first);
  CloseHandle(second);
  CreateMutexA(nullptr, FALSE, "Name");
  EXPECT_EQ(GetLastError(), 0u) << "gone with its last handle";
  winsim::ProgramExits();
  EXPECT_EQ(winsim::OpenSyncHandles().mutexes, 0);
  winsim::HoldMutexInAnotherProcess("Held");
  CreateMutexA(nullptr, FALSE, "Held");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  winsim::ProgramExits();
  CreateMutexA(nullptr, FALSE, "Held");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the other process still holds it";
}

void CALLBACK CountTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  reinterpret_cast<std::atomic<int>*>(user)->fetch_add(1);
}

TEST_F(PlatformTest, ManualTimersTickOnlyWhenFiredAndNeverAfterTheKill) {
  std::atomic<int> ticks{0};
  MMRESULT id = timeSetEvent(10, 1, CountTick, reinterpret_cast<DWORD_PTR>(&ticks), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(ticks.load(), 0);
  EXPECT_EQ(winsim::FireTimerTicks(), 1);
  EXPECT_EQ(winsim::FireTimerTicks(), 1);
  EXPECT_EQ(ticks.load(), 2);
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(winsim::FireTimerTicks(), 0);
  EXPECT_EQ(ticks.load(), 2);
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM)) << "killed twice";
  ASSERT_EQ(winsim::TimerKills().size(), 2u);
  EXPECT_EQ(winsim::TimerKills()[0].ticksStarted, 2u);
}

TEST_F(PlatformTest, TimerCreationCanBeMadeToFail) {
  std::atomic<int> ticks{0};
  winsim::FailTimerCreation(true);
  EXPECT_EQ(timeSetEvent(10, 1, CountTick, reinterpret_cast<DWORD_PTR>(&ticks), TIME_PERIODIC), 0u);
  EXPECT_EQ(winsim::LiveTimerCount(), 0);
  ASSERT_EQ(winsim::TimerCreations().size(), 1u);
  EXPECT_EQ(winsim::TimerCreations()[0].id, 0u);
}

TEST_F(PlatformTest, RealThreadTimerTicksOnItsOwnThreadUntilKilled) {
  winsim::SetTimerMode(winsim::TimerMode::kRealThread);
  static std::atomic<int> sTicks{0};
  static std::atomic<DWORD> sThread{0};
  sTicks = 0;
  MMRESULT id = timeSetEvent(
      10, 1,
      [](UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
        sThread = GetCurrentThreadId();
        sTicks.fetch_add(1);
      },
      0, TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  for (int i = 0; i < 2000 && sTicks.load() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GE(sTicks.load(), 3);
  EXPECT_NE(sThread.load(), GetCurrentThreadId());
  timeKillEvent(id);
  int atKill = sTicks.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  // A tick already started may still finish, but none starts after the kill.
  EXPECT_LE(sTicks.load(), atKill + 1);
  EXPECT_EQ(winsim::TicksStarted(id), winsim::TimerKills()[0].ticksStarted);
}

TEST_F(PlatformTest, LibrariesAreFoundByNameInAnyCaseAndExportsExactly) {
  winsim::RegisterStandInSynth({"_LoadDls@0"});
  HMODULE lib = LoadLibraryA("wtsynth.dll");
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(LoadLibraryA("WTSYNTH"), lib) << "the extension .DLL is implied";
  EXPECT_EQ(LoadLibraryA("OTHER.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(GetProcAddress(lib, "_StartMidi@0"), nullptr);
  EXPECT_EQ(GetProcAddress(lib, "_startmidi@0"), nullptr) << "export names are case-sensitive";
  EXPECT_EQ(GetProcAddress(lib, "_LoadDls@0"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

TEST_F(PlatformTest, DevicesOpenByNameOnWindows9xAndNotWithDispositionZeroOnNt) {
  auto driver = std::make_shared<winsim::TrapDriverStandIn>();
  winsim::RegisterDevice("DOVORAV", driver);
  HANDLE device = CreateFileA("\\\\.\\dovorav", 0, 0, nullptr, 0, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA("\\\\.\\NOSUCH", 0, 0, nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CloseHandle(device), TRUE);
  EXPECT_EQ(winsim::OpenDeviceHandleCount(), 0);

  winsim::SetVersion(winsim::kNT40);
  EXPECT_EQ(CreateFileA("\\\\.\\DOVORAV", 0, 0, nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  HANDLE nt = CreateFileA("\\\\.\\DOVORAV", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(nt, INVALID_HANDLE_VALUE);
  CloseHandle(nt);
}

TEST_F(PlatformTest, StandInRingKeepsTheMarkerAfterTheNewestMessage) {
  winsim::StandInRing ring;
  EXPECT_EQ(ring.Slot(0), winsim::kStandInRingEmpty);
  ring.Write({7, 8});
  EXPECT_EQ(ring.Slot(0), 7u);
  EXPECT_EQ(ring.Slot(1), 8u);
  EXPECT_EQ(ring.Slot(2), winsim::kStandInRingEmpty);
  for (uint32_t i = 0; i < 1022; ++i) ring.Write(100 + i);  // around to slot 0
  EXPECT_EQ(ring.WriteIndex(), 0u);
  EXPECT_EQ(ring.Slot(0), winsim::kStandInRingEmpty);
  EXPECT_EQ(ring.Slot(1023), 100u + 1021u);
}

using PlatformDeathTest = PlatformTest;

TEST_F(PlatformDeathTest, UnmodelledCallsAbortNamingTheCall) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(GetProcAddress(nullptr, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(3))), "by ordinal");
  EXPECT_DEATH(timeSetEvent(10, 1, CountTick, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS), "timeSetEvent");
  EXPECT_DEATH(SleepEx(INFINITE, FALSE), "SleepEx");
  EXPECT_DEATH(CreateEventA(nullptr, FALSE, FALSE, "named"), "CreateEventA");
  EXPECT_DEATH(WaitForSingleObject(CreateEventA(nullptr, FALSE, TRUE, nullptr), 10), "timeout");
  EXPECT_DEATH(WaitForSingleObject(CreateMutexA(nullptr, FALSE, nullptr), INFINITE), "mutex");
  // A thread left running would use the machine Reset takes away.
  EXPECT_DEATH(
      {
        DWORD id;
        CreateThread(nullptr, 0, WaitForTheEvent, CreateEventA(nullptr, FALSE, FALSE, nullptr), 0, &id);
        winsim::Reset();
      },
      "Reset while a thread the program started still runs");
}

}  // namespace
