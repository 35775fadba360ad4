// Shared between the parts of the simulated platform; never seen by tests.
#pragma once

#include <cstdint>
#include <string>

namespace winsim::detail {

// Each part puts its own state back to power-on. winsim::Reset (machine.cpp)
// calls every one of them, and nothing else does.
void ResetSystem();
void ResetFaults();
void ResetRegistry();
void ResetUser();
void ResetFiles();
void ResetFileWrites();
void ResetProcess();
void ResetLibraries();
void ResetSynthStandIn();
void ResetDevices();
void ResetDialogs();
void ResetMultimedia();
void ResetThreads();

// Moves the virtual clock on without running scheduled changes: a
// non-alertable SleepEx, which really waits, on any thread.
void AdvanceClock(uint32_t milliseconds);

// Case-insensitive comparison of ANSI texts, as the platform compares names.
int CompareNoCase(const std::string& a, const std::string& b);
struct LessNoCase {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace winsim::detail
