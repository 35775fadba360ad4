// Optional event times for the benchmarks under Wine: when the environment
// variable given to OpenStandInTimes names a file, each recorded event keeps
// a QueryPerformanceCounter reading in memory, and FlushStandInTimes appends
// the events not yet written as lines "<counter> <kind> <hex value>" (the
// file starts with "freq <counts per second>"). Without the variable nothing
// is recorded or written. Every module of one process reads the same
// counter, so times from different stand-ins can be subtracted.
#pragma once

#include <windows.h>

#include <stdio.h>

struct StandInTimes {
  HANDLE file;
  LONGLONG* when;
  DWORD* what;
  PVOID volatile* kind;  // a const char*, written last: the entry is complete once set
  LONG capacity;
  volatile LONG reserved;
  LONG flushed;
  CRITICAL_SECTION lock;
};

inline LONGLONG StandInNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Decimal text of a counter reading (the C library's 64-bit printf forms
// differ between runtimes). Returns the length written; `text` holds 24.
inline int StandInCounterText(LONGLONG value, char* text) {
  char digits[24];
  int n = 0;
  unsigned long long rest = value < 0 ? 0 : static_cast<unsigned long long>(value);
  do {
    digits[n++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  text[n] = '\0';
  return n;
}

inline void OpenStandInTimes(StandInTimes* times, const char* variable) {
  times->file = INVALID_HANDLE_VALUE;
  times->reserved = 0;
  times->flushed = 0;
  times->capacity = 0;
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA(variable, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  const LONG capacity = 1 << 18;
  void* memory = VirtualAlloc(NULL, static_cast<SIZE_T>(capacity) * (sizeof(LONGLONG) + sizeof(DWORD) + sizeof(char*)),
                              MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (memory == NULL) return;
  times->when = static_cast<LONGLONG*>(memory);
  times->what = reinterpret_cast<DWORD*>(times->when + capacity);
  times->kind = reinterpret_cast<PVOID volatile*>(times->what + capacity);
  times->file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (times->file == INVALID_HANDLE_VALUE) return;
  times->capacity = capacity;
  InitializeCriticalSection(&times->lock);
  SetFilePointer(times->file, 0, NULL, FILE_END);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  char counts[24];
  StandInCounterText(frequency.QuadPart, counts);
  char line[64];
  int n = _snprintf(line, sizeof line - 1, "freq %s\n", counts);
  DWORD written = 0;
  if (n > 0) WriteFile(times->file, line, static_cast<DWORD>(n), &written, NULL);
}

inline bool StandInTimesOn(const StandInTimes* times) { return times->capacity != 0; }

// Safe from any thread; `kind` must be a string that lives for the process.
inline void RecordStandInTime(StandInTimes* times, const char* kind, DWORD value, LONGLONG when) {
  if (!StandInTimesOn(times)) return;
  LONG index = InterlockedIncrement(&times->reserved) - 1;
  if (index >= times->capacity) return;
  times->when[index] = when;
  times->what[index] = value;
  InterlockedExchangePointer(&times->kind[index], const_cast<char*>(kind));
}

// Writes the complete entries recorded since the last flush, in order.
inline void FlushStandInTimes(StandInTimes* times) {
  if (!StandInTimesOn(times)) return;
  EnterCriticalSection(&times->lock);
  char chunk[4096];
  int used = 0;
  DWORD written = 0;
  while (times->flushed < times->capacity && times->kind[times->flushed] != NULL) {
    LONG i = times->flushed++;
    if (used > static_cast<int>(sizeof chunk) - 64) {
      WriteFile(times->file, chunk, static_cast<DWORD>(used), &written, NULL);
      used = 0;
    }
    char counts[24];
    StandInCounterText(times->when[i], counts);
    int n = _snprintf(chunk + used, sizeof chunk - used - 1, "%s %s %08lX\n", counts, static_cast<const char*>(times->kind[i]),
                      static_cast<unsigned long>(times->what[i]));
    if (n > 0) used += n;
  }
  if (used > 0) WriteFile(times->file, chunk, static_cast<DWORD>(used), &written, NULL);
  LeaveCriticalSection(&times->lock);
}
