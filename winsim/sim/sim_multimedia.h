// Multimedia timers and mixers as a test sees them.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>
#include <mmsystem.h>

namespace winsim {

// Manual (the default after Reset): a timer's callback runs only when the
// test calls FireTimerTicks, on the test's thread. RealThread: one service
// thread calls every live timer's callback at its period in real time, one
// callback at a time, as the platform's timer thread does. The mode may only
// change while no timer lives.
enum class TimerMode { kManual, kRealThread };
void SetTimerMode(TimerMode mode);

// While set, every timeSetEvent fails (returns 0).
void FailTimerCreation(bool fail);

struct TimerCreation {
  UINT delay;
  UINT resolution;
  LPTIMECALLBACK callback;
  DWORD_PTR user;
  UINT flags;
  MMRESULT id;  // 0 when creation failed
};
std::vector<TimerCreation> TimerCreations();

struct TimerKill {
  UINT id;
  MMRESULT result;
  uint64_t ticksStarted;  // callbacks of that timer started before the kill
};
std::vector<TimerKill> TimerKills();

int LiveTimerCount();
// Callbacks of the timer started so far, in either mode.
uint64_t TicksStarted(UINT id);

// Manual mode: calls every live timer's callback once, in creation order, on
// the calling thread (any thread may fire). Returns how many callbacks ran.
int FireTimerTicks();

struct MixerSpec {
  std::string name;               // copied into szPname, cut to 31 characters
  MMRESULT capsResult = MMSYSERR_NOERROR;
  MMRESULT openResult = MMSYSERR_NOERROR;
  DWORD privateAnswer = 0;        // answer to DRV_USER with parameter 293
};
// Mixer devices get indices in the order added.
void AddMixer(const MixerSpec& mixer);

// Every mixer call as text, in order, for example "caps 0", "open 1 0 0
// 0x80000000", "message 1 0x4000 293 0", "close 1".
std::vector<std::string> MixerLog();
int OpenMixerCount();

}  // namespace winsim
