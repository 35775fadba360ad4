// A count of the messages the synthesizer stand-in has been handed, shared
// with the trap driver stand-in of the same process through a named memory
// section (the name carries the process id, so processes never share it).
// The emulator's reader never writes a slot back: a written message is read
// once the synthesizer has it, so written minus handed over is what the
// ring still holds unread. The synthesizer keeps its four export names
// only, which is why the count does not travel through an export.
#pragma once

#include <windows.h>

#include <stdio.h>

// The counter, created on first use by whichever stand-in asks first; NULL
// when the section cannot be made.
inline volatile LONG* StandInArrivalCounter() {
  char name[64];
  _snprintf(name, sizeof name - 1, "QtStandInArrivals.%lu", static_cast<unsigned long>(GetCurrentProcessId()));
  name[sizeof name - 1] = '\0';
  HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LONG), name);
  if (section == NULL) return NULL;
  // The handle stays open for the life of the process: the view needs it.
  return static_cast<volatile LONG*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
}
