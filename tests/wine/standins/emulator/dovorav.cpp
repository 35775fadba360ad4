// DOVORAV.VXD stand-in: the card's MPU-401 trap driver as the emulator sees
// it. Wine set to Windows 95 or 98 loads this module into the process that
// opens "\\.\DOVORAV" and calls its exported DeviceIoControl on the caller's
// thread with the caller's own pointers.
//
// Configured by environment variables (the emulator reads none; this
// stand-in is the test's, not the program's):
//   DOVORAV_ANSWER  what the registration's output value gets: "5" (the
//                   default), "4", or "none" (nothing is written);
//   DOVORAV_SCRIPT  a script file, played from a thread of the driver's own
//                   once registration is accepted; without one, the driver
//                   never queues a call;
//   DOVORAV_LOG     the log file (else DOVORAV.LOG beside the module);
//   DOVORAV_TIMES   for the benchmarks, a file of event times (see
//                   standin_times.h): "write MESSAGE" for each message, read
//                   just before it is stored into its slot; written out at
//                   "exit", at the script's end and when the module unloads.
//
// Script lines (blank lines and lines starting with # are skipped):
//   wait MS             sleep that long
//   start               queue a start call with the driver's ring
//   stop                queue a stop call (parameter 0x11111111)
//   clear               every slot back to the marker, writing from slot 0
//   write HEX [HEX...]  write messages into the ring
//   burst N FIRST       write N messages FIRST, FIRST+1, ...
//   pace N FIRST US     write N messages FIRST, FIRST+1, ..., message i not
//                       before i x US microseconds after the first (Sleep
//                       between them, no busy wait)
//   sync                wait (up to 120 s) until every call queued so far
//                       has run and returned
//   exit CODE           end the process with that exit code
// The calls are queued with QueueUserAPC to the thread that registered. Each
// queued call is a small routine of the driver's that calls the routine
// whose address came in as the input buffer argument, on that thread inside
// its alertable wait, and then notes that it returned, so that a script can
// wait for a call to have run (the log gets "call start begins" and "call
// start returned" lines).
#include "standin_log.h"
#include "standin_times.h"

#include <stdlib.h>

namespace {

const DWORD kRingSlots = 1024;
const DWORD kRingEmpty = 0x11111111;

StandInLog sLog;
StandInTimes sTimes;
HINSTANCE sModule;
PAPCFUNC sRoutine;
HANDLE sRegisteredThread;
volatile LONG sRing[kRingSlots];
DWORD sWriteIndex;
char sScriptPath[MAX_PATH];
volatile LONG sCallsQueued;
volatile LONG sCallsReturned;

void ClearRing() {
  for (DWORD i = 0; i < kRingSlots; ++i) InterlockedExchange(&sRing[i], static_cast<LONG>(kRingEmpty));
  sWriteIndex = 0;
}

// The marker goes into the next slot before the message goes into this one,
// so a reader that sees the message also sees the marker after it.
// InterlockedExchange orders both stores.
void WriteMessage(DWORD message) {
  DWORD next = (sWriteIndex + 1) % kRingSlots;
  InterlockedExchange(&sRing[next], static_cast<LONG>(kRingEmpty));
  RecordStandInTime(&sTimes, "write", message, StandInNow());
  InterlockedExchange(&sRing[sWriteIndex], static_cast<LONG>(message));
  sWriteIndex = next;
}

// Runs as the queued call, on the registered thread.
void WINAPI CallRoutine(ULONG_PTR parameter) {
  const char* what = parameter == kRingEmpty ? "stop" : "start";
  char text[64];
  _snprintf(text, sizeof text - 1, "call %s begins", what);
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
  sRoutine(parameter);
  _snprintf(text, sizeof text - 1, "call %s returned", what);
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
  InterlockedIncrement(&sCallsReturned);
}

void Queue(ULONG_PTR parameter, const char* what) {
  char text[96];
  InterlockedIncrement(&sCallsQueued);
  DWORD queued = QueueUserAPC(CallRoutine, sRegisteredThread, parameter);
  if (!queued) InterlockedDecrement(&sCallsQueued);
  _snprintf(text, sizeof text - 1, "queued %s %s", what, queued ? "ok" : "failed");
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
}

void RunLine(char* line) {
  char* word = strtok(line, " \t\r\n");
  if (word == NULL || word[0] == '#') return;
  if (strcmp(word, "wait") == 0) {
    char* ms = strtok(NULL, " \t\r\n");
    Sleep(ms != NULL ? strtoul(ms, NULL, 10) : 0);
  } else if (strcmp(word, "start") == 0) {
    Queue(reinterpret_cast<ULONG_PTR>(&sRing[0]), "start");
  } else if (strcmp(word, "stop") == 0) {
    Queue(kRingEmpty, "stop");
  } else if (strcmp(word, "clear") == 0) {
    ClearRing();
  } else if (strcmp(word, "write") == 0) {
    for (char* value = strtok(NULL, " \t\r\n"); value != NULL; value = strtok(NULL, " \t\r\n"))
      WriteMessage(strtoul(value, NULL, 16));
  } else if (strcmp(word, "burst") == 0) {
    char* count = strtok(NULL, " \t\r\n");
    char* first = strtok(NULL, " \t\r\n");
    DWORD n = count != NULL ? strtoul(count, NULL, 10) : 0;
    DWORD base = first != NULL ? strtoul(first, NULL, 16) : 0;
    for (DWORD i = 0; i < n; ++i) WriteMessage(base + i);
  } else if (strcmp(word, "pace") == 0) {
    char* count = strtok(NULL, " \t\r\n");
    char* first = strtok(NULL, " \t\r\n");
    char* step = strtok(NULL, " \t\r\n");
    DWORD n = count != NULL ? strtoul(count, NULL, 10) : 0;
    DWORD base = first != NULL ? strtoul(first, NULL, 16) : 0;
    LONGLONG micros = step != NULL ? strtoul(step, NULL, 10) : 0;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    LONGLONG origin = StandInNow();
    for (DWORD i = 0; i < n; ++i) {
      LONGLONG due = origin + static_cast<LONGLONG>(i) * micros * frequency.QuadPart / 1000000;
      for (LONGLONG now = StandInNow(); now < due; now = StandInNow()) {
        LONGLONG ms = (due - now) * 1000 / frequency.QuadPart;
        Sleep(ms > 0 ? static_cast<DWORD>(ms) : 1);
      }
      WriteMessage(base + i);
    }
  } else if (strcmp(word, "sync") == 0) {
    DWORD start = GetTickCount();
    while (sCallsReturned != sCallsQueued && GetTickCount() - start < 120000) Sleep(10);
    WriteStandInLog(&sLog, sCallsReturned == sCallsQueued ? "synced" : "sync timed out");
  } else if (strcmp(word, "exit") == 0) {
    char* code = strtok(NULL, " \t\r\n");
    WriteStandInLog(&sLog, "exit");
    FlushStandInTimes(&sTimes);
    ExitProcess(code != NULL ? strtoul(code, NULL, 10) : 0);
  } else {
    WriteStandInLog(&sLog, "unknown script line");
  }
}

DWORD WINAPI ScriptThread(LPVOID) {
  HANDLE file = CreateFileA(sScriptPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    WriteStandInLog(&sLog, "script not found");
    return 0;
  }
  static char text[65536];
  DWORD size = 0;
  ReadFile(file, text, sizeof text - 1, &size, NULL);
  CloseHandle(file);
  text[size] = '\0';
  // Lines are cut out first: RunLine's strtok works inside one line.
  char* line = text;
  while (line != NULL && *line != '\0') {
    char* end = strchr(line, '\n');
    if (end != NULL) *end = '\0';
    RunLine(line);
    line = end != NULL ? end + 1 : NULL;
  }
  WriteStandInLog(&sLog, "script done");
  FlushStandInTimes(&sTimes);
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    sModule = instance;
    OpenStandInLog(&sLog, instance, "DOVORAV_LOG", "DOVORAV.LOG");
    OpenStandInTimes(&sTimes, "DOVORAV_TIMES");
    ClearRing();
    WriteStandInLog(&sLog, "loaded");
  } else if (reason == DLL_PROCESS_DETACH) {
    FlushStandInTimes(&sTimes);
  }
  return TRUE;
}

// Exported as "DeviceIoControl" by dovorav.def.
extern "C" BOOL WINAPI DriverDeviceIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                             LPDWORD returned, LPOVERLAPPED overlapped) {
  char text[200];
  DWORD before = (out != NULL && outSize >= 4) ? *static_cast<DWORD*>(out) : 0xFFFFFFFF;
  _snprintf(text, sizeof text - 1, "register code=%lu routine=%p inSize=%lu outSize=%lu outBefore=%lu returned=%s overlapped=%s",
            static_cast<unsigned long>(code), in, static_cast<unsigned long>(inSize),
            static_cast<unsigned long>(outSize), static_cast<unsigned long>(before), returned ? "yes" : "no",
            overlapped ? "yes" : "no");
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
  if (code != 1 || out == NULL || outSize < 4) return FALSE;

  // The routine and a real handle to the registering thread (the pseudo
  // handle of GetCurrentThread would mean the script thread itself).
  sRoutine = reinterpret_cast<PAPCFUNC>(in);
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &sRegisteredThread, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);

  char answer[16];
  DWORD length = GetEnvironmentVariableA("DOVORAV_ANSWER", answer, sizeof answer);
  if (length == 0 || length >= sizeof answer) strcpy(answer, "5");
  if (strcmp(answer, "none") != 0) {
    *static_cast<DWORD*>(out) = strtoul(answer, NULL, 10);
    if (returned != NULL) *returned = 4;
  }
  _snprintf(text, sizeof text - 1, "answered %s", answer);
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);

  length = GetEnvironmentVariableA("DOVORAV_SCRIPT", sScriptPath, sizeof sScriptPath);
  if (strcmp(answer, "5") == 0 && length > 0 && length < sizeof sScriptPath) {
    DWORD id;
    HANDLE thread = CreateThread(NULL, 0, ScriptThread, NULL, 0, &id);
    if (thread != NULL) CloseHandle(thread);
  }
  return TRUE;
}
