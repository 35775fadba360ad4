// Shared between the parts of the simulated platform; never seen by tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace winsim::detail {

// Each part puts its own state back to power-on. winsim::Reset (machine.cpp)
// calls every one of them, and nothing else does.
void ResetSystem();
void ResetCodePage();
void ResetFaults();
void ResetRegistry();
void ResetUser();
void ResetDrives();
void ResetPaths();
void ResetHostFiles();
void ResetOpens();
void ResetSearches();
void ResetProfileReads();
void ResetFileWrites();
void ResetProcess();
void ResetLibraries();
void ResetSynthStandIn();
void ResetDevices();
void ResetDialogs();
void ResetMultimedia();
void ResetThreads();
void ResetImage();
void ResetSyncObjects();
void ResetWindowTable();
void ResetTopWindows();
void ResetMessageQueues();

// A thread the program starts gets its identifier before it runs, so that
// CreateThread can report it (threads.cpp).
DWORD NewThreadId();
void AdoptThreadId(DWORD id);
// CloseHandle of a thread, an event or a mutex; false for any other handle
// (sync_objects.cpp).
bool CloseSyncHandle(HANDLE handle);

// Counts a call of `function` and tells whether an injected fault is due for
// it; if so, *error receives the error the call fails with. `function` must
// be one of the fault points listed in faults.cpp.
bool FaultDue(const char* function, DWORD* error);

// The medium of a drive was taken out: the image counts its pages still on
// that disc (image.cpp).
void NoteEjection(char letter);

// Ends the process loudly with "winsim: " and the message: the one way the
// machine stops a test (Unmodelled, an unknown fault point).
[[noreturn]] void Stop(const std::string& message);

// Whether the machine runs an NT version. The machine's own rules ask this,
// not GetVersionExA: a test that makes the program's version query fail
// changes what the program learns, not what the machine is, and a rule must
// not leave the query's last error behind in the call it serves.
bool IsNt();

// Moves the virtual clock on without running scheduled changes: a
// non-alertable SleepEx, which really waits, on any thread.
void AdvanceClock(uint32_t milliseconds);

// Whether the byte begins a double-byte character in the machine's ANSI
// code page (never in 1252).
bool IsLeadByte(unsigned char byte);
// The length of the character that begins at `at`: 2 for a lead byte with
// a byte after it, else 1. A text is read a character at a time from its
// start; only so can a trail byte (0x5C, the byte of a backslash, among
// them) be told from a character of its own.
size_t CharLength(std::string_view text, size_t at);

// Case-insensitive comparison of ANSI texts, as the platform compares names:
// the ASCII letters fold, the two bytes of a double-byte character do not
// (a trail byte may have the value of an ASCII letter). Maps ordered by it
// (registry keys, devices, libraries) must not outlive a change of the code
// page that would order their names otherwise.
int CompareNoCase(std::string_view a, std::string_view b);
// Transparent: a map ordered by it looks a part of a longer text up in place.
struct LessNoCase {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace winsim::detail
