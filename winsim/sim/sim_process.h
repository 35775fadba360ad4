// Programs started, as a test sees them. Nothing runs: a start is recorded
// with the program found, and WinExec returns at once.
//
// A start fails with a chosen result through fault injection (sim/sim_faults.h),
// where the error given is WinExec's result:
//   winsim::InjectFault("WinExec", 1, 11);  // "not a program"
// and a program can vanish just before the start with winsim::BeforeCall.
#pragma once

#include "sim_tests_only.h"

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

struct ProcessStartRecord {
  std::string commandLine;  // exactly as the program passed it
  uint32_t showCommand;
  uint32_t result;          // WinExec's result: above 31 when started
  std::string program;      // the Windows path of the program started, "" when none
  // The caller's error mode at the call. Windows 95 and NT hand it on to the
  // program started; Wine does not, so only this record can show it.
  uint32_t errorMode;
  // The caller's windows and the threads it started that still ran at the
  // call (sim_windows.h, sim_threads.h).
  int windows;
  int threads;
};
// Every WinExec call since Reset, in order.
const std::vector<ProcessStartRecord>& ProcessStarts();

}  // namespace winsim
