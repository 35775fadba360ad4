// Start-up and the device channel: bind the synthesizer library, register
// with the MPU-401 trap driver, then sleep alertably for the rest of the
// process's life. Everything after start-up happens inside the procedure
// calls the driver queues to this thread (playback.cpp).
#include "emulator.h"

EmulatorState gEmulator;

namespace {

const DWORD kRegisterControlCode = 1;
const DWORD kRegistrationAccepted = 5;

// GetProcAddress hands out a generic function type; an entry point is
// called by its own. The cast through void (*)(void) converts between
// function pointer types without a warning.
template <typename Proc>
Proc AsEntryPoint(FARPROC proc) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)(void)>(proc));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE previous, LPSTR, int) {
  // The process start-up always passes zero here.
  if (previous != NULL) return 0;

  // Loaded for good: the library is never freed.
  HMODULE synth = LoadLibraryA("WTSYNTH.DLL");
  if (synth == NULL) return 0;

  // Looked up in this order, each stored at once: when one is missing, the
  // ones found before it stay stored.
  gEmulator.pfnStartMidi = AsEntryPoint<SYNTH_NOARG_PROC>(GetProcAddress(synth, "_StartMidi@0"));
  if (gEmulator.pfnStartMidi == NULL) return 0;
  gEmulator.pfnMidiMessage = AsEntryPoint<SYNTH_MESSAGE_PROC>(GetProcAddress(synth, "_MidiMessage@4"));
  if (gEmulator.pfnMidiMessage == NULL) return 0;
  gEmulator.pfnStopMidi = AsEntryPoint<SYNTH_NOARG_PROC>(GetProcAddress(synth, "_StopMidi@0"));
  if (gEmulator.pfnStopMidi == NULL) return 0;
  gEmulator.pfnLoadDls = AsEntryPoint<SYNTH_NOARG_PROC>(GetProcAddress(synth, "_LoadDls@0"));
  if (gEmulator.pfnLoadDls == NULL) return 0;

  // Every other argument zero: no access rights, no sharing, creation
  // disposition 0. Windows 95 and 98 open a virtual device driver so, but
  // only one the card's driver set has already loaded (or listed under
  // KnownVxDs): without it the emulator ends here. NT refuses the
  // disposition, so on NT the emulator ends here too.
  gEmulator.hDevice = CreateFileA("\\\\.\\DOVORAV", 0, 0, NULL, 0, 0, NULL);
  if (gEmulator.hDevice == INVALID_HANDLE_VALUE) return 0;

  // The input buffer argument is the routine's own address (not a variable
  // holding it): the driver takes the pointer itself and later queues calls
  // of that routine to this thread. The call's result is not examined; only
  // the answer the driver writes counts.
  DWORD answer = 0;
  DWORD returned = 0;
  DeviceIoControl(gEmulator.hDevice, kRegisterControlCode, reinterpret_cast<LPVOID>(&OnDeviceApc), 4, &answer,
                  sizeof answer, &returned, NULL);
  if (answer != kRegistrationAccepted) {
    MessageBoxA(NULL, "Fail to access Qtmpu401 Device", "QTMPU", MB_OK);
    return 0;
  }

  // The driver's calls run only inside this alertable wait. With an infinite
  // timeout the wait only ever returns to report that calls ran.
  while (SleepEx(INFINITE, TRUE) == WAIT_IO_COMPLETION) {
  }
  return 1;
}
