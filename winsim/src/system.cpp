// Version, error mode, the virtual clock and case-insensitive comparison.
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <windows.h>

#include "internal.h"
#include "windows_internal.h"
#include "sim_machine.h"

namespace {

winsim::Version sVersion = winsim::kWin98;
bool sFailVersion = false;
UINT sErrorMode = 0;
// Atomic: a non-alertable SleepEx on another thread moves it on too.
std::atomic<uint64_t> sNow{0};
std::multimap<uint64_t, std::function<void()>> sSchedule;
std::vector<uint32_t> sSleeps;

// Runs the changes due by now; a change may schedule another.
void RunDueChanges() {
  while (!sSchedule.empty() && sSchedule.begin()->first <= sNow) {
    auto change = std::move(sSchedule.begin()->second);
    sSchedule.erase(sSchedule.begin());
    change();
  }
}

int FoldCase(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

}  // namespace

namespace winsim {

void SetVersion(const Version& version) { sVersion = version; }
void FailVersionQuery(bool fail) { sFailVersion = fail; }
unsigned ErrorMode() { return sErrorMode; }
uint64_t Now() { return sNow; }
void ScheduleAt(uint64_t when, std::function<void()> change) { sSchedule.emplace(when, std::move(change)); }
const std::vector<uint32_t>& SleepCalls() { return sSleeps; }

namespace detail {
bool IsNt() { return sVersion.platformId == VER_PLATFORM_WIN32_NT; }

void AdvanceClock(uint32_t milliseconds) { sNow += milliseconds; }

void ResetSystem() {
  sVersion = kWin98;
  sFailVersion = false;
  sErrorMode = 0;
  sNow = 0;
  sSchedule.clear();
  sSleeps.clear();
}
}  // namespace detail
}  // namespace winsim

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  // Windows takes the plain record (148 bytes) or the extended one (156).
  if (sFailVersion || info == nullptr ||
      (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != 156)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = sVersion.major;
  info->dwMinorVersion = sVersion.minor;
  info->dwBuildNumber = sVersion.build;
  info->dwPlatformId = sVersion.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode) {
  UINT previous = sErrorMode;
  sErrorMode = mode;
  return previous;
}

void WINAPI Sleep(DWORD milliseconds) {
  sSleeps.push_back(milliseconds);
  if (milliseconds == INFINITE) winsim::Unmodelled("Sleep(INFINITE) would never return");
  // A window's thread takes what it was posted long before a real sleep
  // ends.
  winsim::detail::SettleWindowThreads();
  sNow += milliseconds;
  RunDueChanges();
}

// The emulator bounds its stop's wait by this clock.
DWORD WINAPI GetTickCount() { return static_cast<DWORD>(sNow); }

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
  if (a == nullptr || b == nullptr) winsim::Unmodelled("lstrcmpiA with a null text");
  for (;; ++a, ++b) {
    int ca = FoldCase(static_cast<unsigned char>(*a));
    int cb = FoldCase(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}
