// Version, error mode, the virtual clock and case-insensitive comparison.
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <windows.h>

#include "internal.h"
#include "sim_machine.h"

namespace {

winsim::Version gVersion = winsim::kWin98;
bool gFailVersion = false;
UINT gErrorMode = 0;
// Atomic: a non-alertable SleepEx on another thread moves it on too.
std::atomic<uint64_t> gNow{0};
std::multimap<uint64_t, std::function<void()>> gSchedule;
std::vector<uint32_t> gSleeps;

// Runs the changes due by now; a change may schedule another.
void RunDueChanges() {
  while (!gSchedule.empty() && gSchedule.begin()->first <= gNow) {
    auto change = std::move(gSchedule.begin()->second);
    gSchedule.erase(gSchedule.begin());
    change();
  }
}

int FoldCase(int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

}  // namespace

namespace winsim {

void SetVersion(const Version& version) { gVersion = version; }
void FailVersionQuery(bool fail) { gFailVersion = fail; }
unsigned ErrorMode() { return gErrorMode; }
uint64_t Now() { return gNow; }
void ScheduleAt(uint64_t when, std::function<void()> change) { gSchedule.emplace(when, std::move(change)); }
const std::vector<uint32_t>& SleepCalls() { return gSleeps; }

namespace detail {
void AdvanceClock(uint32_t milliseconds) { gNow += milliseconds; }

void ResetSystem() {
  gVersion = kWin98;
  gFailVersion = false;
  gErrorMode = 0;
  gNow = 0;
  gSchedule.clear();
  gSleeps.clear();
}
}  // namespace detail
}  // namespace winsim

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  // Windows takes the plain record (148 bytes) or the extended one (156).
  if (gFailVersion || info == nullptr ||
      (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != 156)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = gVersion.major;
  info->dwMinorVersion = gVersion.minor;
  info->dwBuildNumber = gVersion.build;
  info->dwPlatformId = gVersion.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

UINT WINAPI SetErrorMode(UINT mode) {
  UINT previous = gErrorMode;
  gErrorMode = mode;
  return previous;
}

void WINAPI Sleep(DWORD milliseconds) {
  gSleeps.push_back(milliseconds);
  if (milliseconds == INFINITE) winsim::Unmodelled("Sleep(INFINITE) would never return");
  gNow += milliseconds;
  RunDueChanges();
}

// The emulator bounds its stop's wait by this clock.
DWORD WINAPI GetTickCount() { return static_cast<DWORD>(gNow); }

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
  if (a == nullptr || b == nullptr) winsim::Unmodelled("lstrcmpiA with a null text");
  for (;; ++a, ++b) {
    int ca = FoldCase(static_cast<unsigned char>(*a));
    int cb = FoldCase(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}
