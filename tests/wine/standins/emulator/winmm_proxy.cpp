// A proxy multimedia library (winmm.dll) that gives Wine a card mixer.
// Placed beside the program and run with WINEDLLOVERRIDES="winmm=n", it
// serves the mixer calls itself and hands the timer calls to Wine's own
// multimedia library, copied beside the program as wmmreal.dll.
//
// The mixers come from the environment variable CARD_MIXERS: entries
// "NAME=ANSWER" separated by semicolons, in device order, where ANSWER is
// what the private message (DRV_USER, 293) returns. Without it there is no
// mixer. Calls are logged to PROXY_WINMM_LOG (else WINMM.LOG beside the module).
//
// For the benchmarks, PROXY_TIMES names a file of event times (see
// standin_times.h): then each periodic timer's callback is wrapped, and the
// file gets "set ID" (read just before the timer was created: tick n is due
// n periods later) and "tick ID" (read as the wrapper starts, before the
// program's callback runs). Without it the callback is handed on unchanged.
#include "standin_log.h"
#include "standin_times.h"

#include <mmsystem.h>
#include <stdlib.h>

namespace {

const UINT kMaxMixers = 8;

struct ProxyMixer {
  char name[MAXPNAMELEN];
  DWORD answer;
};

StandInLog sLog;
ProxyMixer sMixers[kMaxMixers];
UINT sMixerCount;
BOOL sMixersRead;
HMODULE sReal;
StandInTimes sTimes;

// The program's callbacks behind the wrapper, one slot per timer created.
const LONG kMaxWrapped = 64;
struct WrappedTimer {
  LPTIMECALLBACK callback;
  DWORD_PTR user;
};
WrappedTimer sWrapped[kMaxWrapped];
volatile LONG sWrappedCount;

typedef MMRESULT(WINAPI* TimeSetEventProc)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
typedef MMRESULT(WINAPI* TimeKillEventProc)(UINT);

// Read at the first mixer call. (Wine passes no Unix variable whose name
// begins with "QT_" on to a Windows program, hence the names used here.)
void ReadMixers() {
  if (sMixersRead) return;
  sMixersRead = TRUE;
  static char text[1024];
  DWORD length = GetEnvironmentVariableA("CARD_MIXERS", text, sizeof text);
  if (length == 0 || length >= sizeof text) return;
  for (char* entry = strtok(text, ";"); entry != NULL && sMixerCount < kMaxMixers; entry = strtok(NULL, ";")) {
    char* equals = strrchr(entry, '=');
    if (equals == NULL) continue;
    *equals = '\0';
    ProxyMixer& mixer = sMixers[sMixerCount++];
    lstrcpynA(mixer.name, entry, sizeof mixer.name);
    mixer.answer = strtoul(equals + 1, NULL, 10);
  }
}

FARPROC Real(const char* name) {
  if (sReal == NULL) sReal = LoadLibraryA("wmmreal.dll");
  return sReal != NULL ? GetProcAddress(sReal, name) : NULL;
}

void Logf(const char* format, unsigned long a, unsigned long b) {
  char text[128];
  _snprintf(text, sizeof text - 1, format, a, b);
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
}

void CALLBACK TimedCallback(UINT id, UINT message, DWORD_PTR slot, DWORD_PTR reserved1, DWORD_PTR reserved2) {
  RecordStandInTime(&sTimes, "tick", id, StandInNow());
  const WrappedTimer& wrapped = sWrapped[slot];
  wrapped.callback(id, message, wrapped.user, reserved1, reserved2);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    OpenStandInLog(&sLog, instance, "PROXY_WINMM_LOG", "WINMM.LOG");
    OpenStandInTimes(&sTimes, "PROXY_TIMES");
  } else if (reason == DLL_PROCESS_DETACH) {
    FlushStandInTimes(&sTimes);
  }
  return TRUE;
}

// Exported under the platform's names by winmm_proxy.def. A mixer handle is
// the device index plus one.
extern "C" {

UINT WINAPI ProxyMixerGetNumDevs(void) {
  ReadMixers();
  Logf("mixerGetNumDevs %lu", sMixerCount, 0);
  return sMixerCount;
}

MMRESULT WINAPI ProxyMixerGetDevCapsA(UINT_PTR device, LPMIXERCAPSA caps, UINT size) {
  ReadMixers();
  Logf("mixerGetDevCapsA %lu %lu", static_cast<unsigned long>(device), size);
  if (device >= sMixerCount) return MMSYSERR_BADDEVICEID;
  if (caps == NULL || size < sizeof(MIXERCAPSA)) return MMSYSERR_INVALPARAM;
  ZeroMemory(caps, sizeof(MIXERCAPSA));
  lstrcpynA(caps->szPname, sMixers[device].name, sizeof caps->szPname);
  caps->cDestinations = 1;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProxyMixerOpen(LPHMIXER mixer, UINT device, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  Logf("mixerOpen %lu 0x%lx", device, flags);
  if (mixer == NULL || callback != 0) return MMSYSERR_INVALPARAM;
  if (device >= sMixerCount) return MMSYSERR_BADDEVICEID;
  *mixer = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(device + 1));
  return MMSYSERR_NOERROR;
}

DWORD WINAPI ProxyMixerMessage(HMIXER mixer, UINT message, DWORD_PTR parameter1, DWORD_PTR) {
  UINT_PTR device = reinterpret_cast<UINT_PTR>(mixer) - 1;
  Logf("mixerMessage 0x%lx %lu", message, static_cast<unsigned long>(parameter1));
  if (device >= sMixerCount) return MMSYSERR_INVALHANDLE;
  if (message != DRV_USER || parameter1 != 293) return MMSYSERR_NOTSUPPORTED;
  return sMixers[device].answer;
}

MMRESULT WINAPI ProxyMixerClose(HMIXER mixer) {
  Logf("mixerClose %lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(mixer) - 1), 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI ProxyTimeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  TimeSetEventProc real = reinterpret_cast<TimeSetEventProc>(reinterpret_cast<void (*)(void)>(Real("timeSetEvent")));
  LONGLONG created = StandInNow();
  LONG slot = -1;
  if (StandInTimesOn(&sTimes) && callback != NULL && (flags & (TIME_CALLBACK_EVENT_SET | TIME_CALLBACK_EVENT_PULSE)) == 0) {
    slot = InterlockedIncrement(&sWrappedCount) - 1;
    if (slot < kMaxWrapped) {
      sWrapped[slot].callback = callback;
      sWrapped[slot].user = user;
      callback = TimedCallback;
      user = static_cast<DWORD_PTR>(slot);
    } else {
      slot = -1;
    }
  }
  MMRESULT id = real != NULL ? real(delay, resolution, callback, user, flags) : 0;
  if (slot >= 0 && id != 0) RecordStandInTime(&sTimes, "set", id, created);
  Logf("timeSetEvent %lu -> %lu", delay, id);
  return id;
}

MMRESULT WINAPI ProxyTimeKillEvent(UINT id) {
  TimeKillEventProc real = reinterpret_cast<TimeKillEventProc>(reinterpret_cast<void (*)(void)>(Real("timeKillEvent")));
  MMRESULT result = real != NULL ? real(id) : MMSYSERR_ERROR;
  Logf("timeKillEvent %lu -> %lu", id, result);
  FlushStandInTimes(&sTimes);
  return result;
}

}  // extern "C"
