// WTSYNTH.DLL stand-in: the synthesizer library's four entry points, each of
// which only records that it was called (and with which message) in a log:
// the file named by the environment variable WTSYNTH_LOG, or else
// WTSYNTH.LOG beside the DLL. Lines read "<ms> <thread> <call> [message]".
#include "standin_log.h"

namespace {
StandInLog sLog;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) OpenStandInLog(&sLog, instance, "WTSYNTH_LOG", "WTSYNTH.LOG");
  return TRUE;
}

// Exported under the names "_StartMidi@0" and so on by wtsynth.def.
extern "C" {

void WINAPI SynthStartMidi(void) { WriteStandInLog(&sLog, "StartMidi"); }

void WINAPI SynthMidiMessage(DWORD message) {
  char text[32];
  _snprintf(text, sizeof text - 1, "MidiMessage %08lX", static_cast<unsigned long>(message));
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
}

void WINAPI SynthStopMidi(void) { WriteStandInLog(&sLog, "StopMidi"); }

void WINAPI SynthLoadDls(void) { WriteStandInLog(&sLog, "LoadDls"); }

}  // extern "C"
