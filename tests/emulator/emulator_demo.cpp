// Plays a short bundled song through the real emulator on the simulated
// platform, in real time: the stand-in trap driver writes the song's MIDI
// messages into its ring with the song's timing, as a DOS program playing
// through the MPU-401 port would; the 10 ms timer pumps them into the
// stand-in synthesizer; each message is printed as it arrives, with the tick
// that delivered it.
//
//   emulator_demo           play and print
//   emulator_demo --quiet   play, print only the summary
// Exit code 0 when every message arrived once, in order.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "emulator.h"
#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_machine.h"
#include "sim_multimedia.h"
#include "sim_threads.h"

namespace {

// A folk tune, two phrases, on a piano with a held bass note: milliseconds
// after the previous event, then the message packed as status | data1 << 8
// | data2 << 16 (the short-message packing of the Windows MIDI API).
struct SongEvent {
  uint32_t delayMs;
  uint8_t status;
  uint8_t data1;
  uint8_t data2;
};

const SongEvent kSong[] = {
    {0, 0xC0, 0, 0},       // program change: piano
    {0, 0xB0, 7, 100},     // channel volume
    {0, 0x91, 48, 70},     // bass C3 on channel 2
    {0, 0x90, 60, 100}, {230, 0x80, 60, 0}, {20, 0x90, 60, 100}, {230, 0x80, 60, 0},   // C C
    {20, 0x90, 67, 100}, {230, 0x80, 67, 0}, {20, 0x90, 67, 100}, {230, 0x80, 67, 0},  // G G
    {20, 0x90, 69, 100}, {230, 0x80, 69, 0}, {20, 0x90, 69, 100}, {230, 0x80, 69, 0},  // A A
    {20, 0x90, 67, 100}, {480, 0x80, 67, 0},                                            // G-
    {0, 0x81, 48, 0},      {0, 0x91, 41, 70},                                           // bass F2
    {20, 0x90, 65, 100}, {230, 0x80, 65, 0}, {20, 0x90, 65, 100}, {230, 0x80, 65, 0},  // F F
    {20, 0x90, 64, 100}, {230, 0x80, 64, 0}, {20, 0x90, 64, 100}, {230, 0x80, 64, 0},  // E E
    {0, 0x81, 41, 0},      {0, 0x91, 43, 70},                                           // bass G2
    {20, 0x90, 62, 100}, {230, 0x80, 62, 0}, {20, 0x90, 62, 100}, {230, 0x80, 62, 0},  // D D
    {0, 0x81, 43, 0},      {0, 0x91, 36, 70},                                           // bass C2
    {20, 0x90, 60, 100}, {0, 0x90, 64, 90}, {0, 0x90, 67, 90},                          // final chord
    {700, 0x80, 60, 0},    {0, 0x80, 64, 0}, {0, 0x80, 67, 0}, {0, 0x81, 36, 0},
};

uint32_t Pack(const SongEvent& event) {
  return static_cast<uint32_t>(event.status) | static_cast<uint32_t>(event.data1) << 8 |
         static_cast<uint32_t>(event.data2) << 16;
}

const char* const kNoteNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

void Describe(uint32_t message, char* text, size_t size) {
  unsigned status = message & 0xFF, data1 = (message >> 8) & 0xFF, data2 = (message >> 16) & 0xFF;
  unsigned channel = (status & 0x0F) + 1;
  switch (status & 0xF0) {
    case 0x90:
      std::snprintf(text, size, "note on   ch %u  %s%d  vel %u", channel, kNoteNames[data1 % 12],
                    static_cast<int>(data1 / 12) - 1, data2);
      break;
    case 0x80:
      std::snprintf(text, size, "note off  ch %u  %s%d", channel, kNoteNames[data1 % 12],
                    static_cast<int>(data1 / 12) - 1);
      break;
    case 0xB0: std::snprintf(text, size, "control   ch %u  #%u = %u", channel, data1, data2); break;
    case 0xC0: std::snprintf(text, size, "program   ch %u  %u", channel, data1); break;
    default: std::snprintf(text, size, "other"); break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = argc > 1 && std::strcmp(argv[1], "--quiet") == 0;

  winsim::Reset();
  winsim::SetTimerMode(winsim::TimerMode::kRealThread);
  winsim::RegisterStandInSynth();
  auto driver = std::make_shared<winsim::TrapDriverStandIn>();
  winsim::RegisterDevice("DOVORAV", driver);
  winsim::AddMixer({"Q-Tonal Audio Mixer", MMSYSERR_NOERROR, MMSYSERR_NOERROR, 292});

  auto begin = std::chrono::steady_clock::now();
  uint64_t lastTick = 0;
  winsim::SetSynthHook([&](const winsim::SynthCall& call) {
    if (quiet) return;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    switch (call.kind) {
      case winsim::SynthCall::Kind::kLoadDls: std::printf("%8.1f ms            _LoadDls@0\n", ms); break;
      case winsim::SynthCall::Kind::kStartMidi: std::printf("%8.1f ms            _StartMidi@0\n", ms); break;
      case winsim::SynthCall::Kind::kStopMidi: std::printf("%8.1f ms            _StopMidi@0\n", ms); break;
      case winsim::SynthCall::Kind::kMidiMessage: {
        // The timer as the platform recorded it (the emulator's own copy of
        // the identifier belongs to its main thread).
        uint64_t tick = winsim::TicksStarted(winsim::TimerCreations().back().id);
        char text[64];
        Describe(call.message, text, sizeof text);
        std::printf("%8.1f ms  tick %4llu%s  %08X  %s\n", ms, static_cast<unsigned long long>(tick),
                    tick == lastTick ? "+" : " ", call.message, text);
        lastTick = tick;
        break;
      }
    }
    std::fflush(stdout);
  });

  // The emulator's main thread.
  std::promise<HANDLE> handle;
  int exitCode = -1;
  std::thread mainThread([&] {
    handle.set_value(winsim::CurrentThreadHandle());
    exitCode = WinMain(nullptr, nullptr, const_cast<char*>(""), 1);
  });
  HANDLE emulator = handle.get_future().get();
  if (!winsim::WaitUntilAlertableIdle(emulator, 10000)) {
    std::printf("the emulator did not start\n");
    return 2;
  }

  // The DOS program: start, the song with its timing, a moment of silence,
  // stop.
  std::vector<winsim::TrapDriverStandIn::Step> script{winsim::TrapDriverStandIn::Start()};
  std::vector<uint32_t> written;
  for (const SongEvent& event : kSong) {
    if (event.delayMs > 0) script.push_back(winsim::TrapDriverStandIn::Pause(event.delayMs));
    script.push_back(winsim::TrapDriverStandIn::Write(Pack(event)));
    written.push_back(Pack(event));
  }
  script.push_back(winsim::TrapDriverStandIn::Pause(100));
  script.push_back(winsim::TrapDriverStandIn::Stop());
  if (!quiet) std::printf("    time  tick (+ = same tick)  message\n");
  driver->RunScript(script);
  driver->JoinScript();
  winsim::WaitUntilAlertableIdle(emulator, 10000);
  winsim::EndAlertableWait(emulator);
  mainThread.join();

  std::vector<uint32_t> received = winsim::SynthMessages();
  bool inOrder = received == written;
  uint64_t ticks = winsim::TicksStarted(winsim::TimerCreations().back().id);
  std::printf("song: %zu messages written, %zu received %s, over %llu ticks; synthesizer calls %s; exit code %d\n",
              written.size(), received.size(), inOrder ? "once each, in order" : "NOT as written",
              static_cast<unsigned long long>(ticks), winsim::SynthTrace().substr(0, 2).c_str(), exitCode);
  winsim::SetSynthHook(nullptr);
  winsim::Reset();
  return inOrder && exitCode == 1 ? 0 : 1;
}
