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
//   song                begin a song: its time 0 is now; the ring must have
//                       been read up to its marker
//   at US HEX [HEX...]  song messages of one instant, US microseconds after
//                       the song's time 0: sleep until then, then write them
//                       one after another with nothing between. The writer
//                       never overwrites an unread slot: with 1023 messages
//                       unread (one slot holds the marker) it waits for the
//                       synthesizer stand-in to be handed one (its arrival
//                       counter, standin_arrivals.h), and counts each wait
//                       and its length; a wait longer than 10 s abandons the
//                       song's remaining lines
//   song end            log "song written N messages instants I waits W
//                       waited_us T late_us L" (L: the latest an instant
//                       began writing after its due time); with DOVORAV_TIMES
//                       the song's time 0 is an event "song 0" and each
//                       wait an event "room MICROSECONDS"
//   exit CODE           end the process with that exit code
// The calls are queued with QueueUserAPC to the thread that registered. Each
// queued call is a small routine of the driver's that calls the routine
// whose address came in as the input buffer argument, on that thread inside
// its alertable wait, and then notes that it returned, so that a script can
// wait for a call to have run (the log gets "call start begins" and "call
// start returned" lines).
#include "standin_arrivals.h"
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
DWORD sWritten;  // messages written since the module loaded

// The song being written (script lines "song", "at", "song end").
struct SongState {
  bool on;
  bool abandoned;
  LONGLONG origin;          // counter reading of the song's time 0
  LONGLONG frequency;
  DWORD writtenAtOrigin;
  LONG arrivedAtOrigin;
  DWORD messages;
  DWORD instants;
  DWORD waits;
  LONGLONG waitedCounts;
  LONGLONG latestCounts;    // the latest an instant began after its due time
};
SongState sSong;
volatile LONG* sArrivals;

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
  ++sWritten;
}

// Sleeps (never spins) until the counter reaches `due`.
void SleepUntil(LONGLONG due, LONGLONG frequency) {
  for (LONGLONG now = StandInNow(); now < due; now = StandInNow()) {
    LONGLONG ms = (due - now) * 1000 / frequency;
    Sleep(ms > 0 ? static_cast<DWORD>(ms) : 1);
  }
}

// Messages of the song written but not yet handed to the synthesizer.
DWORD SongUnread() {
  DWORD written = sWritten - sSong.writtenAtOrigin;
  DWORD arrived = static_cast<DWORD>(*sArrivals - sSong.arrivedAtOrigin);
  return written - arrived;
}

// Waits until a message can be written without its marker landing on an
// unread slot. False when the reader has not moved for 10 s.
bool WaitForRoom() {
  if (SongUnread() < kRingSlots - 1) return true;
  LONGLONG begin = StandInNow();
  LONGLONG limit = begin + 10 * sSong.frequency;
  while (SongUnread() >= kRingSlots - 1) {
    if (StandInNow() > limit) return false;
    Sleep(1);
  }
  LONGLONG waited = StandInNow() - begin;
  ++sSong.waits;
  sSong.waitedCounts += waited;
  RecordStandInTime(&sTimes, "room", static_cast<DWORD>(waited * 1000000 / sSong.frequency), begin);
  return true;
}

void BeginSong() {
  memset(&sSong, 0, sizeof sSong);
  if (sArrivals == NULL) {
    WriteStandInLog(&sLog, "song refused: no arrival counter");
    return;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  sSong.frequency = frequency.QuadPart;
  sSong.writtenAtOrigin = sWritten;
  sSong.arrivedAtOrigin = *sArrivals;
  sSong.origin = StandInNow();
  sSong.on = true;
  RecordStandInTime(&sTimes, "song", 0, sSong.origin);
  WriteStandInLog(&sLog, "song begins");
}

// The rest of an "at" line: the due time, then the messages of that instant.
void WriteSongInstant() {
  char* micros = strtok(NULL, " \t\r\n");
  if (!sSong.on || sSong.abandoned || micros == NULL) return;
  LONGLONG due = sSong.origin + static_cast<LONGLONG>(strtoul(micros, NULL, 10)) * sSong.frequency / 1000000;
  SleepUntil(due, sSong.frequency);
  LONGLONG late = StandInNow() - due;
  if (late > sSong.latestCounts) sSong.latestCounts = late;
  ++sSong.instants;
  for (char* value = strtok(NULL, " \t\r\n"); value != NULL; value = strtok(NULL, " \t\r\n")) {
    if (!WaitForRoom()) {
      sSong.abandoned = true;
      WriteStandInLog(&sLog, "song abandoned: the ring stayed full for 10 s");
      return;
    }
    WriteMessage(strtoul(value, NULL, 16));
    ++sSong.messages;
  }
}

void EndSong() {
  if (!sSong.on) return;
  char text[200];
  LONGLONG f = sSong.frequency;
  _snprintf(text, sizeof text - 1, "song written %lu instants %lu waits %lu waited_us %lu late_us %lu",
            static_cast<unsigned long>(sSong.messages), static_cast<unsigned long>(sSong.instants),
            static_cast<unsigned long>(sSong.waits), static_cast<unsigned long>(sSong.waitedCounts * 1000000 / f),
            static_cast<unsigned long>(sSong.latestCounts * 1000000 / f));
  text[sizeof text - 1] = '\0';
  WriteStandInLog(&sLog, text);
  sSong.on = false;
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
      SleepUntil(origin + static_cast<LONGLONG>(i) * micros * frequency.QuadPart / 1000000, frequency.QuadPart);
      WriteMessage(base + i);
    }
  } else if (strcmp(word, "song") == 0) {
    char* end = strtok(NULL, " \t\r\n");
    if (end != NULL && strcmp(end, "end") == 0) {
      EndSong();
    } else {
      BeginSong();
    }
  } else if (strcmp(word, "at") == 0) {
    WriteSongInstant();
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
  // A song's script runs to megabytes: the whole file is read at once.
  DWORD length = GetFileSize(file, NULL);
  char* text = length != INVALID_FILE_SIZE && length < 0x10000000
                   ? static_cast<char*>(VirtualAlloc(NULL, length + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                   : NULL;
  DWORD size = 0;
  if (text == NULL || !ReadFile(file, text, length, &size, NULL)) {
    CloseHandle(file);
    WriteStandInLog(&sLog, "script not read");
    return 0;
  }
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
    sArrivals = StandInArrivalCounter();
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
