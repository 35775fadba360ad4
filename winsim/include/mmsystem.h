// Windows multimedia: periodic timers and the mixer API, with the platform's
// constants and structure layouts (MIXERCAPSA is 48 bytes, as on Win32).
#pragma once

#include <windows.h>

typedef UINT MMRESULT;
typedef UINT MMVERSION;
DECLARE_HANDLE(HMIXER);
typedef HMIXER* LPHMIXER;

#define MAXPNAMELEN 32

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11

#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

#define DRV_USER 0x4000

// ---- Multimedia timers ----------------------------------------------------

#define TIME_ONESHOT 0x0000
#define TIME_PERIODIC 0x0001
#define TIME_CALLBACK_FUNCTION 0x0000
#define TIME_CALLBACK_EVENT_SET 0x0010
#define TIME_CALLBACK_EVENT_PULSE 0x0020
#define TIME_KILL_SYNCHRONOUS 0x0100

typedef void(CALLBACK TIMECALLBACK)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                     DWORD_PTR reserved2);
typedef TIMECALLBACK* LPTIMECALLBACK;

// Returns the new timer's identifier, or 0 when no timer could be created.
// The callback runs on the timer service's thread (see sim/sim_multimedia.h for
// the manual and the real-thread modes).
MMRESULT WINAPI timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
// Once it returns, no further callback of that timer starts; one already
// running is not waited for (the flag TIME_KILL_SYNCHRONOUS is not modelled).
MMRESULT WINAPI timeKillEvent(UINT timerId);

// ---- Mixers ---------------------------------------------------------------

#define MIXER_OBJECTF_HANDLE 0x80000000u
#define MIXER_OBJECTF_MIXER 0x00000000u
#define MIXER_OBJECTF_HMIXER (MIXER_OBJECTF_HANDLE | MIXER_OBJECTF_MIXER)

typedef struct tagMIXERCAPSA {
  WORD wMid;
  WORD wPid;
  MMVERSION vDriverVersion;
  CHAR szPname[MAXPNAMELEN];
  DWORD fdwSupport;
  DWORD cDestinations;
} MIXERCAPSA, *PMIXERCAPSA, *LPMIXERCAPSA;
static_assert(sizeof(MIXERCAPSA) == 48, "MIXERCAPSA has its Win32 size");

UINT WINAPI mixerGetNumDevs();
MMRESULT WINAPI mixerGetDevCapsA(UINT_PTR device, LPMIXERCAPSA caps, UINT capsSize);
MMRESULT WINAPI mixerOpen(LPHMIXER mixer, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
DWORD WINAPI mixerMessage(HMIXER mixer, UINT message, DWORD_PTR parameter1, DWORD_PTR parameter2);
MMRESULT WINAPI mixerClose(HMIXER mixer);
