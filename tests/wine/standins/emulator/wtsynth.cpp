// WTSYNTH.DLL stand-in: the synthesizer library's four entry points, each of
// which only records that it was called (and with which message) in a log:
// the file named by the environment variable WTSYNTH_LOG, or else
// WTSYNTH.LOG beside the DLL. Lines read "<ms> <thread> <call> [message]".
// For the benchmarks, WTSYNTH_TIMES names a file of event times (see
// standin_times.h): each message's arrival, "arrive MESSAGE", read as the
// entry begins; written out at each StopMidi and when the library unloads.
// Every message handed over also counts in the shared arrival counter
// (standin_arrivals.h), which the trap driver stand-in reads to know how
// much of its ring is still unread.
#include "standin_arrivals.h"
#include "standin_log.h"
#include "standin_times.h"

namespace {
StandInLog sLog;
StandInTimes sTimes;
volatile LONG* sArrivals;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    OpenStandInLog(&sLog, instance, "WTSYNTH_LOG", "WTSYNTH.LOG");
    OpenStandInTimes(&sTimes, "WTSYNTH_TIMES");
    sArrivals = StandInArrivalCounter();
  } else if (reason == DLL_PROCESS_DETACH) {
    FlushStandInTimes(&sTimes);
  }
  return TRUE;
}

// Exported under the names "_StartMidi@0" and so on by wtsynth.def.
extern "C" {

void WINAPI SynthStartMidi(void) { WriteStandInLog(&sLog, "StartMidi"); }

void WINAPI SynthMidiMessage(DWORD message) {
  RecordStandInTime(&sTimes, "arrive", message, StandInNow());
  char text[32];
  _snprintf(text, sizeof text - 1, "MidiMessage %08lX", static_cast<unsigned long>(message));
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
  // Counted last: the driver may reuse the slot once the count says so.
  if (sArrivals != NULL) InterlockedIncrement(sArrivals);
}

void WINAPI SynthStopMidi(void) {
  WriteStandInLog(&sLog, "StopMidi");
  FlushStandInTimes(&sTimes);
}

void WINAPI SynthLoadDls(void) { WriteStandInLog(&sLog, "LoadDls"); }

}  // extern "C"
