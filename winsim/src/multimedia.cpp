// Multimedia timers (manual and real-thread modes) and mixer devices.
//
// Real-thread mode has one service thread for all timers, as the platform
// has: callbacks never overlap one another, and a late tick is caught up by
// the next ones, which keep to the original schedule. Whether a tick starts
// is decided under the lock that timeKillEvent takes, so no tick of a timer
// starts once timeKillEvent has returned; a tick already running is not
// waited for, as the platform does not wait without TIME_KILL_SYNCHRONOUS.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <windows.h>
#include <mmsystem.h>

#include "internal.h"
#include "sim_machine.h"
#include "sim_multimedia.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  UINT delay;
  LPTIMECALLBACK callback;
  DWORD_PTR user;
  uint64_t started = 0;
  Clock::time_point due;
};

std::mutex sTimerMutex;
std::condition_variable sTimerChanged;
winsim::TimerMode sMode = winsim::TimerMode::kManual;
bool sFailCreation = false;
UINT sNextId = 1;
std::map<UINT, Timer> sTimers;          // live timers by identifier
std::map<UINT, uint64_t> sTicksStarted;  // every timer ever created
std::vector<winsim::TimerCreation> sCreations;
std::vector<winsim::TimerKill> sKills;
std::thread sService;
bool sServiceStop = false;

// The real-thread service: waits for the earliest due timer and calls it.
void ServiceLoop() {
  std::unique_lock<std::mutex> lock(sTimerMutex);
  while (!sServiceStop) {
    auto earliest = sTimers.end();
    for (auto it = sTimers.begin(); it != sTimers.end(); ++it)
      if (earliest == sTimers.end() || it->second.due < earliest->second.due) earliest = it;
    if (earliest == sTimers.end()) {
      sTimerChanged.wait(lock);
      continue;
    }
    Clock::time_point due = earliest->second.due;
    if (Clock::now() < due) {
      // A kill or a new timer wakes the wait early; the choice is then made
      // again from the timers still alive.
      sTimerChanged.wait_until(lock, due);
      continue;
    }
    UINT id = earliest->first;
    Timer& timer = earliest->second;
    ++timer.started;
    ++sTicksStarted[id];
    timer.due += std::chrono::milliseconds(timer.delay);
    LPTIMECALLBACK callback = timer.callback;
    DWORD_PTR user = timer.user;
    lock.unlock();
    callback(id, 0, user, 0, 0);
    lock.lock();
  }
}

void StopService() {
  {
    std::lock_guard<std::mutex> lock(sTimerMutex);
    sServiceStop = true;
    sTimerChanged.notify_all();
  }
  if (sService.joinable()) sService.join();
  std::lock_guard<std::mutex> lock(sTimerMutex);
  sServiceStop = false;
}

// ---- Mixers ----

struct OpenMixer {
  UINT device;
};

std::mutex sMixerMutex;
std::vector<winsim::MixerSpec> sMixers;
std::set<OpenMixer*> sOpenMixers;
std::vector<std::string> sMixerLog;

std::string Hex(DWORD_PTR value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

namespace winsim {

void SetTimerMode(TimerMode mode) {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  if (!sTimers.empty()) Unmodelled("changing the timer mode while a timer lives");
  sMode = mode;
}

void FailTimerCreation(bool fail) {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  sFailCreation = fail;
}

std::vector<TimerCreation> TimerCreations() {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  return sCreations;
}

std::vector<TimerKill> TimerKills() {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  return sKills;
}

int LiveTimerCount() {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  return static_cast<int>(sTimers.size());
}

uint64_t TicksStarted(UINT id) {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  auto it = sTicksStarted.find(id);
  return it == sTicksStarted.end() ? 0 : it->second;
}

int FireTimerTicks() {
  std::vector<UINT> ids;
  {
    std::lock_guard<std::mutex> lock(sTimerMutex);
    if (sMode != TimerMode::kManual) Unmodelled("FireTimerTicks in the real-thread timer mode");
    for (const auto& entry : sTimers) ids.push_back(entry.first);
  }
  int ran = 0;
  for (UINT id : ids) {
    LPTIMECALLBACK callback;
    DWORD_PTR user;
    {
      std::lock_guard<std::mutex> lock(sTimerMutex);
      auto it = sTimers.find(id);
      if (it == sTimers.end()) continue;  // killed by an earlier callback
      ++it->second.started;
      ++sTicksStarted[id];
      callback = it->second.callback;
      user = it->second.user;
    }
    callback(id, 0, user, 0, 0);
    ++ran;
  }
  return ran;
}

void AddMixer(const MixerSpec& mixer) {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  sMixers.push_back(mixer);
}

std::vector<std::string> MixerLog() {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  return sMixerLog;
}

int OpenMixerCount() {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  return static_cast<int>(sOpenMixers.size());
}

namespace detail {
void ResetMultimedia() {
  StopService();
  {
    std::lock_guard<std::mutex> lock(sTimerMutex);
    sMode = TimerMode::kManual;
    sFailCreation = false;
    sNextId = 1;
    sTimers.clear();
    sTicksStarted.clear();
    sCreations.clear();
    sKills.clear();
  }
  {
    std::lock_guard<std::mutex> lock(sMixerMutex);
    for (OpenMixer* open : sOpenMixers) delete open;
    sOpenMixers.clear();
    sMixers.clear();
    sMixerLog.clear();
  }
}
}  // namespace detail
}  // namespace winsim

MMRESULT WINAPI timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  if (flags != TIME_PERIODIC && flags != TIME_ONESHOT)
    winsim::Unmodelled("timeSetEvent with flags other than TIME_PERIODIC or TIME_ONESHOT");
  if (flags == TIME_ONESHOT) winsim::Unmodelled("timeSetEvent with TIME_ONESHOT");
  if (callback == nullptr) winsim::Unmodelled("timeSetEvent with no callback");
  std::lock_guard<std::mutex> lock(sTimerMutex);
  MMRESULT id = 0;
  // The platform refuses a period outside its capabilities (1 ms and up).
  if (!sFailCreation && delay >= 1) {
    id = sNextId++;
    Timer timer{delay, callback, user, 0, Clock::now() + std::chrono::milliseconds(delay)};
    sTimers.emplace(id, timer);
    sTicksStarted[id] = 0;
    if (sMode == winsim::TimerMode::kRealThread && !sService.joinable()) sService = std::thread(ServiceLoop);
    sTimerChanged.notify_all();
  }
  sCreations.push_back({delay, resolution, callback, user, flags, id});
  return id;
}

MMRESULT WINAPI timeKillEvent(UINT timerId) {
  std::lock_guard<std::mutex> lock(sTimerMutex);
  auto it = sTimers.find(timerId);
  MMRESULT result = it == sTimers.end() ? static_cast<MMRESULT>(MMSYSERR_INVALPARAM) : TIMERR_NOERROR;
  uint64_t started = sTicksStarted.count(timerId) ? sTicksStarted[timerId] : 0;
  if (it != sTimers.end()) sTimers.erase(it);
  sKills.push_back({timerId, result, started});
  sTimerChanged.notify_all();
  return result;
}

UINT WINAPI mixerGetNumDevs() {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  sMixerLog.push_back("count " + std::to_string(sMixers.size()));
  return static_cast<UINT>(sMixers.size());
}

MMRESULT WINAPI mixerGetDevCapsA(UINT_PTR device, LPMIXERCAPSA caps, UINT capsSize) {
  if (caps == nullptr || capsSize != sizeof(MIXERCAPSA))
    winsim::Unmodelled("mixerGetDevCapsA with a record other than MIXERCAPSA (48 bytes)");
  std::lock_guard<std::mutex> lock(sMixerMutex);
  sMixerLog.push_back("caps " + std::to_string(device));
  if (device >= sMixers.size()) return MMSYSERR_BADDEVICEID;
  const winsim::MixerSpec& mixer = sMixers[device];
  if (mixer.capsResult != MMSYSERR_NOERROR) return mixer.capsResult;
  caps->wMid = 1;
  caps->wPid = 1;
  caps->vDriverVersion = 0x0100;
  size_t length = mixer.name.size() < MAXPNAMELEN - 1 ? mixer.name.size() : MAXPNAMELEN - 1;
  for (size_t i = 0; i < MAXPNAMELEN; ++i) caps->szPname[i] = i < length ? mixer.name[i] : '\0';
  caps->fdwSupport = 0;
  caps->cDestinations = 1;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerOpen(LPHMIXER mixer, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  // The card's driver was observed to take a device index with either flag.
  if (mixer == nullptr || callback != 0 || (flags != MIXER_OBJECTF_HMIXER && flags != MIXER_OBJECTF_MIXER))
    winsim::Unmodelled("mixerOpen with a callback, no result or flags other than an index");
  std::lock_guard<std::mutex> lock(sMixerMutex);
  sMixerLog.push_back("open " + std::to_string(device) + " " + std::to_string(callback) + " " +
                      std::to_string(instance) + " " + Hex(flags));
  if (device >= sMixers.size()) return MMSYSERR_BADDEVICEID;
  if (sMixers[device].openResult != MMSYSERR_NOERROR) return sMixers[device].openResult;
  auto* open = new OpenMixer{device};
  sOpenMixers.insert(open);
  *mixer = reinterpret_cast<HMIXER>(open);
  return MMSYSERR_NOERROR;
}

DWORD WINAPI mixerMessage(HMIXER mixer, UINT message, DWORD_PTR parameter1, DWORD_PTR parameter2) {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  auto it = sOpenMixers.find(reinterpret_cast<OpenMixer*>(mixer));
  if (it == sOpenMixers.end()) return MMSYSERR_INVALHANDLE;
  UINT device = (*it)->device;
  sMixerLog.push_back("message " + std::to_string(device) + " " + Hex(message) + " " + std::to_string(parameter1) +
                      " " + std::to_string(parameter2));
  if (message != DRV_USER || parameter1 != 293 || parameter2 != 0)
    winsim::Unmodelled("mixerMessage other than the card's private query (DRV_USER, 293, 0)");
  return sMixers[device].privateAnswer;
}

MMRESULT WINAPI mixerClose(HMIXER mixer) {
  std::lock_guard<std::mutex> lock(sMixerMutex);
  auto it = sOpenMixers.find(reinterpret_cast<OpenMixer*>(mixer));
  if (it == sOpenMixers.end()) return MMSYSERR_INVALHANDLE;
  sMixerLog.push_back("close " + std::to_string((*it)->device));
  delete *it;
  sOpenMixers.erase(it);
  return MMSYSERR_NOERROR;
}
