// Processor time of the installer's 5 s waits.
//
// The installer waits in one place: the device wait sleeps 5 s between
// attempts on a game-port instance whose description is still empty (up to
// 24 attempts). In the simulated platform Sleep advances a virtual clock and
// returns at once, so two figures are given:
//
//   1. the whole device wait of the real installer code, 24 attempts and
//      120 virtual seconds, on a machine whose description never appears:
//      the processor time of the registry work between the sleeps;
//   2. one real 5 s sleep of a thread (nanosleep, which a Sleep-based wait
//      becomes on this host): its thread's processor time.
//
//   bench_installer_idle [real sleep seconds, default 5]
#include <windows.h>

#include <pthread.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "device_wait.h"
#include "sim_machine.h"
#include "sim_registry.h"
#include "status_window.h"

namespace {

double ThreadCpu() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;

  winsim::Reset();
  winsim::RegSetString("HKLM\\Enum\\VIRTUAL\\*PNPB02F\\PCI_VEN_4E51&DEV_0001", "DeviceDesc", "");
  double before = ThreadCpu();
  StatusWindow noWindow;  // never opened: the wait's own cost
  BOOL found = WaitForGamePort(noWindow);
  double used = ThreadCpu() - before;
  std::printf("device_wait_found %d\ndevice_wait_virtual_s %.0f\ndevice_wait_sleeps %zu\ndevice_wait_cpu_s %.6f\n",
              found, static_cast<double>(winsim::Now()) / 1000.0, winsim::SleepCalls().size(), used);
  winsim::Reset();

  double sleepCpu = 0;
  std::thread sleeper([&sleepCpu, seconds] {
    double start = ThreadCpu();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    sleepCpu = ThreadCpu() - start;
  });
  sleeper.join();
  std::printf("real_sleep_s %.1f\nreal_sleep_cpu_s %.6f\n", seconds, sleepCpu);
  return found ? 1 : 0;
}
