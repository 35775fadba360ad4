// A proxy multimedia library (winmm.dll) that gives Wine a card mixer.
// Placed beside the program and run with WINEDLLOVERRIDES="winmm=n", it
// serves the mixer calls itself and hands the timer calls to Wine's own
// multimedia library, copied beside the program as wmmreal.dll.
//
// The mixers come from the environment variable CARD_MIXERS: entries
// "NAME=ANSWER" separated by semicolons, in device order, where ANSWER is
// what the private message (DRV_USER, 293) returns. Without it there is no
// mixer. Calls are logged to PROXY_WINMM_LOG (else WINMM.LOG beside the module).
#include "standin_log.h"

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

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    OpenStandInLog(&sLog, instance, "PROXY_WINMM_LOG", "WINMM.LOG");
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
  MMRESULT id = real != NULL ? real(delay, resolution, callback, user, flags) : 0;
  Logf("timeSetEvent %lu -> %lu", delay, id);
  return id;
}

MMRESULT WINAPI ProxyTimeKillEvent(UINT id) {
  TimeKillEventProc real = reinterpret_cast<TimeKillEventProc>(reinterpret_cast<void (*)(void)>(Real("timeKillEvent")));
  MMRESULT result = real != NULL ? real(id) : MMSYSERR_ERROR;
  Logf("timeKillEvent %lu -> %lu", id, result);
  return result;
}

}  // extern "C"
