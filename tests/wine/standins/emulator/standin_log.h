// A line log shared by the Windows stand-ins: each line goes straight to the
// file with WriteFile (no buffering), under a lock, so a test script reading
// the file sees every call as soon as it has been made.
#pragma once

#include <windows.h>

#include <stdio.h>
#include <string.h>

struct StandInLog {
  CRITICAL_SECTION lock;
  HANDLE file;
};

// Opens the log named by the environment variable, or else the file
// `fallbackName` beside the module. Appends to what is there.
inline void OpenStandInLog(StandInLog* log, HINSTANCE module, const char* variable, const char* fallbackName) {
  InitializeCriticalSection(&log->lock);
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA(variable, path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) path[0] = '\0';
    char* slash = strrchr(path, '\\');
    size_t folder = slash != NULL ? static_cast<size_t>(slash - path + 1) : 0;
    if (folder + strlen(fallbackName) + 1 > sizeof path) folder = 0;
    strcpy(path + folder, fallbackName);
  }
  log->file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
  if (log->file != INVALID_HANDLE_VALUE) SetFilePointer(log->file, 0, NULL, FILE_END);
}

// One line: milliseconds since system start, thread, then the text.
inline void WriteStandInLog(StandInLog* log, const char* text) {
  char line[256];
  int length = _snprintf(line, sizeof line - 2, "%lu %lu %s", static_cast<unsigned long>(GetTickCount()),
                         static_cast<unsigned long>(GetCurrentThreadId()), text);
  if (length < 0) length = static_cast<int>(sizeof line - 2);
  line[length++] = '\n';
  EnterCriticalSection(&log->lock);
  DWORD written = 0;
  if (log->file != INVALID_HANDLE_VALUE) WriteFile(log->file, line, static_cast<DWORD>(length), &written, NULL);
  LeaveCriticalSection(&log->lock);
}
