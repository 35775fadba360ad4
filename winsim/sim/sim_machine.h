// The simulated machine as a test sees it: reset, version, error mode, and
// the virtual clock behind Sleep.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace winsim {

// Puts every part of the machine back to its state at power-on: an empty
// registry, Windows 98, no drives, no scripted answers, clock at zero. The
// parts are listed one per line in winsim/src/machine.cpp.
void Reset();

// Ends the process loudly for a call or an argument the simulation does not
// model; a silent stub would hide what the program really asked for.
[[noreturn]] void Unmodelled(const std::string& what);

struct Version {
  uint32_t platformId;
  uint32_t major;
  uint32_t minor;
  uint32_t build;
};
constexpr Version kWin95{1, 4, 0, 950};
constexpr Version kWin98{1, 4, 10, 1998};
constexpr Version kWinMe{1, 4, 90, 3000};
constexpr Version kNT40{2, 4, 0, 1381};
constexpr Version kWin31{0, 3, 10, 0};
void SetVersion(const Version& version);
// Makes GetVersionExA fail whatever the structure size.
void FailVersionQuery(bool fail);

unsigned ErrorMode();

// The ANSI code page: 1252 after Reset; 932 (Japanese), 936 (Simplified
// Chinese), 949 (Korean) or 950 (Traditional Chinese) give double-byte
// characters (IsDBCSLeadByte), which every path and name the machine reads
// is split into. File names lie on the host as the code page's bytes. Set it
// before the machine holds any name: the registry, devices and libraries are
// ordered by names compared in the code page.
void SetCodePage(unsigned number);

// Virtual time in milliseconds since Reset, what GetTickCount reports. Sleep
// adds its argument at once and then runs every scheduled change that has
// fallen due, in time order. A non-alertable SleepEx adds its argument after
// its real wait, and runs no changes.
uint64_t Now();
void ScheduleAt(uint64_t when, std::function<void()> change);
// The arguments of every Sleep call, in order.
const std::vector<uint32_t>& SleepCalls();

}  // namespace winsim
