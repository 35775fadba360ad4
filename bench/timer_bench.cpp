// Real-time figures of the emulator's pump in the simulated platform's
// real-thread mode (one service thread calls each periodic timer, as the
// platform's timer thread does):
//
//   1. tick lateness: a 10 ms periodic timer, created with the emulator's own
//      period and resolution, records when each callback starts; lateness is
//      that moment minus the tick's due time (start + n * 10 ms);
//   2. ring-to-synthesizer delay: the real emulator (WinMain on a thread of
//      its own, the stand-in trap driver and synthesizer) plays while a
//      writer thread puts one message into the ring every few milliseconds;
//      each message's delay is its arrival at the synthesizer entry minus the
//      moment it was written.
//
//   bench_timer [seconds for each part, default 10]
//
// Prints "key value" lines in microseconds for scripts/benchmarks.sh.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "emulator_process.h"
#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_machine.h"
#include "sim_multimedia.h"
#include "sim_threads.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void Report(const char* name, std::vector<double> values) {
  if (values.empty()) {
    std::printf("%s_count 0\n", name);
    return;
  }
  std::sort(values.begin(), values.end());
  auto at = [&values](double q) { return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))]; };
  std::printf("%s_count %zu\n%s_median_us %.1f\n%s_p99_us %.1f\n%s_max_us %.1f\n", name, values.size(), name, at(0.5),
              name, at(0.99), name, values.back());
}

// ---- Tick lateness ------------------------------------------------------------

std::vector<Clock::time_point> sTickTimes;
std::mutex sTickMutex;

void CALLBACK RecordTick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(sTickMutex);
  sTickTimes.push_back(now);
}

void MeasureTicks(double seconds) {
  winsim::Reset();
  winsim::SetTimerMode(winsim::TimerMode::kRealThread);
  sTickTimes.reserve(static_cast<size_t>(seconds * 120));
  Clock::time_point created = Clock::now();
  MMRESULT id = timeSetEvent(10, 1, RecordTick, 0, TIME_PERIODIC);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  timeKillEvent(id);
  std::vector<double> lateness;
  {
    std::lock_guard<std::mutex> lock(sTickMutex);
    for (size_t n = 0; n < sTickTimes.size(); ++n)
      lateness.push_back(Micros(sTickTimes[n] - (created + std::chrono::milliseconds(10 * (n + 1)))));
  }
  Report("tick_lateness", lateness);
  winsim::Reset();
}

// ---- Ring to synthesizer --------------------------------------------------------

const uint32_t kMaxMessages = 1u << 16;
std::unique_ptr<Clock::time_point[]> sWritten;
std::unique_ptr<Clock::time_point[]> sArrived;
std::atomic<uint32_t> sArrivedCount{0};

void MeasureRingDelay(double seconds) {
  winsim::Reset();
  winsim::SetTimerMode(winsim::TimerMode::kRealThread);
  winsim::RegisterStandInSynth();
  winsim::MixerSpec mixer;
  mixer.name = "Q-Tonal Audio Mixer";
  mixer.privateAnswer = 292;
  winsim::AddMixer(mixer);
  auto driver = std::make_shared<winsim::TrapDriverStandIn>();
  winsim::RegisterDevice("DOVORAV", driver);

  sWritten.reset(new Clock::time_point[kMaxMessages]);
  sArrived.reset(new Clock::time_point[kMaxMessages]);
  // Messages are their own sequence numbers; the hook runs on the timer
  // service's thread, inside the synthesizer entry.
  winsim::SetSynthHook([](const winsim::SynthCall& call) {
    if (call.kind != winsim::SynthCall::Kind::kMidiMessage || call.message >= kMaxMessages) return;
    sArrived[call.message] = Clock::now();
    sArrivedCount.fetch_add(1, std::memory_order_release);
  });

  EmulatorProcess process;
  process.Start();
  process.Idle(10000);
  driver->QueueStart();
  process.Idle(10000);

  // One message every 3.7 ms: the write moments drift across the 10 ms
  // period, so the delays sample the whole of it. Far below the ring's size.
  uint32_t written = 0;
  Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end && written < kMaxMessages) {
    sWritten[written] = Clock::now();
    driver->ring().Write(written);
    ++written;
    std::this_thread::sleep_for(std::chrono::microseconds(3700));
  }
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
  while (sArrivedCount.load(std::memory_order_acquire) < written && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  driver->QueueStop();
  process.Idle(10000);
  process.End();

  uint32_t arrived = sArrivedCount.load(std::memory_order_acquire);
  std::vector<double> delays;
  for (uint32_t i = 0; i < written && i < arrived; ++i) delays.push_back(Micros(sArrived[i] - sWritten[i]));
  std::printf("ring_written %u\nring_arrived %u\n", written, arrived);
  Report("ring_delay", delays);
  winsim::Reset();
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  MeasureTicks(seconds);
  MeasureRingDelay(seconds);
  return 0;
}
