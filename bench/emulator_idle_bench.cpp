// Measures the processor time the emulator uses while it waits for a start:
// WinMain registers with a driver that never queues a call, and its thread
// sleeps alertably for the given number of seconds (default 5).
//
//   bench_emulator_idle [seconds]
#include <windows.h>
#include <mmsystem.h>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "emulator_process.h"
#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_machine.h"
#include "sim_threads.h"

namespace {

double Seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9; }

double ProcessCpu() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  winsim::Reset();
  winsim::RegisterStandInSynth();
  winsim::RegisterDevice("DOVORAV", std::make_shared<winsim::TrapDriverStandIn>());

  EmulatorProcess process;
  process.Start();
  if (!process.Idle(10000)) return 2;

  clockid_t threadClock;
  pthread_getcpuclockid(process.NativeHandle(), &threadClock);
  timespec before, after;
  clock_gettime(threadClock, &before);
  double processBefore = ProcessCpu();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  clock_gettime(threadClock, &after);
  double processAfter = ProcessCpu();
  winsim::WaitStats stats = winsim::WaitStatsOf(process.handle());
  int exitCode = process.End();
  std::printf("idle %.1f s: emulator main thread used %.6f s of processor time (process %.6f s); "
              "SleepEx calls %d, wake-ups %d; WinMain returned %d when the wait was ended\n",
              seconds, Seconds(after) - Seconds(before), processAfter - processBefore, stats.sleepExCalls,
              stats.wakeups, exitCode);
  winsim::Reset();
  return 0;
}
