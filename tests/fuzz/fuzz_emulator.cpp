// Fuzz target: the emulator from its real entry point, with random ring
// contents and random sequences of driver starts and stops, ring writes,
// timer ticks (manual timer mode), mixers that come and go, timers that
// cannot be created, and ticks that fall inside a start or a stop.
//
// A small reference model of the playback state table runs beside it:
//
//   Idle     first call (any)            load the instrument set, once
//   Idle     stop                        nothing
//   Idle     start, mixer busy           ring and index taken; one box
//   Idle     start, no timer             ring and index taken
//   Idle     start, timer created        timer, "_StartMidi@0"      -> Running
//   Running  start                       nothing
//   Running  stop                        "_StopMidi@0", kill timer  -> Idle
//   Running  tick                        up to 64 slots up to the marker
//
// and the mixer probe: the first device whose name, cut at 19 characters,
// is the card's name (without case) is opened, asked, and closed again.
// After every step the synthesizer must have received exactly the calls the
// model predicts, in order, and the timers, boxes, mixer calls and the
// emulator's record must be where the model says.
#include <fuzzer/FuzzedDataProvider.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "box_texts.h"
#include "emulator.h"
#include "emulator_process.h"
#include "fuzz_support.h"
#include "sim_devices.h"
#include "sim_emulator_standins.h"
#include "sim_libraries.h"
#include "sim_machine.h"
#include "sim_multimedia.h"
#include "sim_threads.h"
#include "sim_user.h"

namespace {

using qfuzz::Fail;
using qfuzz::Require;
using qfuzz::RequireEqual;
using winsim::SynthCall;

const char kCardMixer[] = "Q-Tonal Audio Mixer";
const int kMaxSteps = 16;

// The model's numbers are its own, not the program's, so that a number
// changed in the program shows as a difference from the model.
const uint32_t kRingSlots = 1024;        // the slots of the driver's ring
const uint32_t kEmptyMark = 0x11111111;  // the slot after the last unread one; also the stop call
const int kMessagesPerTick = 64;         // the most one tick hands over

// Two rings the driver may hand over, in the ring's own layout.
MidiSlot gRings[2][kRingSlots];

struct Expected {
  SynthCall::Kind kind;
  uint32_t message;
};

// A small generator for ring contents, seeded from the input.
struct Numbers {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 32);
  }
};

struct Model {
  std::vector<winsim::MixerSpec> mixers;
  bool failTimer = false;
  bool running = false;
  bool dlsLoaded = false;
  const MidiSlot* ring = nullptr;
  uint32_t readIndex = 0;
  UINT nextTimerId = 1;  // the platform numbers timers from 1
  UINT timerId = 0;
  size_t creations = 0;
  std::vector<UINT> kills;
  size_t boxes = 0;
  std::vector<std::string> mixerLog;
  std::vector<Expected> calls;

  // The name as the probe compares it: the record holds at most 31
  // characters, and the probe cuts it at 19.
  static bool IsCardName(const std::string& name) {
    std::string shown = name.substr(0, 31);
    shown = shown.substr(0, shown.find('\0'));
    if (shown.size() > 19) shown.resize(19);
    if (shown.size() != 19) return false;
    for (size_t i = 0; i < 19; ++i) {
      int a = static_cast<unsigned char>(shown[i]);
      int b = static_cast<unsigned char>(kCardMixer[i]);
      if (a >= 'a' && a <= 'z') a -= 32;
      if (b >= 'a' && b <= 'z') b -= 32;
      if (a != b) return false;
    }
    return true;
  }

  bool MixerFree() {
    mixerLog.push_back("count " + std::to_string(mixers.size()));
    for (size_t i = 0; i < mixers.size(); ++i) {
      std::string index = std::to_string(i);
      mixerLog.push_back("caps " + index);
      if (mixers[i].capsResult != MMSYSERR_NOERROR || !IsCardName(mixers[i].name)) continue;
      mixerLog.push_back("open " + index + " 0 0 0x80000000");
      if (mixers[i].openResult != MMSYSERR_NOERROR) return false;
      mixerLog.push_back("message " + index + " 0x4000 293 0");
      mixerLog.push_back("close " + index);
      return mixers[i].privateAnswer == 292;
    }
    return false;
  }

  void Drain() {
    if (!running) return;
    for (int played = 0; played < kMessagesPerTick; ++played) {
      uint32_t value = ring[readIndex].load(std::memory_order_relaxed);
      if (value == kEmptyMark) return;
      calls.push_back({SynthCall::Kind::kMidiMessage, value});
      readIndex = (readIndex + 1) % kRingSlots;
    }
  }

  // One call of the driver's routine; `tickInStart` and `tickInStop` fire a
  // tick from inside "_StartMidi@0" and "_StopMidi@0".
  void Call(ULONG_PTR parameter, bool tickInStart, bool tickInStop) {
    if (!dlsLoaded) {
      calls.push_back({SynthCall::Kind::kLoadDls, 0});
      dlsLoaded = true;
    }
    if (!running) {
      if (parameter == kEmptyMark || parameter == 0) return;  // a start with address 0 is ignored too
      ring = reinterpret_cast<const MidiSlot*>(parameter);
      readIndex = 0;
      if (!MixerFree()) {
        ++boxes;
        return;
      }
      ++creations;
      timerId = failTimer ? 0 : nextTimerId++;
      if (timerId == 0) return;
      calls.push_back({SynthCall::Kind::kStartMidi, 0});
      (void)tickInStart;  // such a tick comes before `running`: it plays nothing
      running = true;
      return;
    }
    if (parameter != kEmptyMark) return;
    calls.push_back({SynthCall::Kind::kStopMidi, 0});
    if (tickInStop) Drain();  // still running between the synthesizer's stop and the kill
    kills.push_back(timerId);
    running = false;
  }
};

struct Run {
  FuzzedDataProvider& in;
  Model model;
  std::shared_ptr<winsim::TrapDriverStandIn> driver;
  EmulatorProcess& process;
  std::atomic<bool> tickInStart{false};
  std::atomic<bool> tickInStop{false};
  int step = 0;

  Run(FuzzedDataProvider& input, EmulatorProcess& emulator) : in(input), process(emulator) {}

  void Settle() {
    if (!process.Idle()) Fail("the emulator's main thread did not come back to its wait");
  }

  winsim::MixerSpec RandomMixer() {
    static const char* const kNames[] = {kCardMixer, "q-tonal audio mixer", "Q-Tonal Audio Mixer (card 2)",
                                         "Q-Tonal Audio Mixe", "Other Mixer", "Q-TONAL AUDIO MIXER with a name longer than 31"};
    winsim::MixerSpec mixer;
    size_t pick = in.ConsumeIntegralInRange<size_t>(0, 6);
    mixer.name = pick < 6 ? kNames[pick] : in.ConsumeRandomLengthString(40);
    mixer.capsResult = in.ConsumeIntegralInRange(0, 5) == 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
    mixer.openResult = in.ConsumeIntegralInRange(0, 5) == 0 ? MMSYSERR_ALLOCATED : MMSYSERR_NOERROR;
    static const DWORD kAnswers[] = {292, 292, 291, 293, 0};
    size_t answer = in.ConsumeIntegralInRange<size_t>(0, 5);
    mixer.privateAnswer = answer < 5 ? kAnswers[answer] : in.ConsumeIntegral<DWORD>();
    return mixer;
  }

  void FillRings() {
    for (auto& ring : gRings)
      for (auto& slot : ring) slot.store(kEmptyMark, std::memory_order_relaxed);
    Numbers numbers{in.ConsumeIntegral<uint64_t>()};
    int runs = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < runs; ++i) {
      MidiSlot* ring = gRings[in.ConsumeBool() ? 1 : 0];
      uint32_t start = in.ConsumeIntegralInRange<uint32_t>(0, kRingSlots - 1);
      uint32_t length = in.ConsumeIntegralInRange<uint32_t>(1, kRingSlots);
      for (uint32_t k = 0; k < length; ++k) ring[(start + k) % kRingSlots].store(numbers.Next());
      if (in.ConsumeBool()) ring[(start + length) % kRingSlots].store(kEmptyMark);
    }
  }

  void Check(const char* after) {
    std::string where = std::string(" after step ") + std::to_string(step) + " (" + after + ")";
    std::vector<SynthCall> calls = winsim::SynthCalls();
    RequireEqual(calls.size(), model.calls.size(), "synthesizer calls" + where);
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].kind != model.calls[i].kind || calls[i].message != model.calls[i].message)
        Fail("synthesizer call " + std::to_string(i) + where + ": kind " + std::to_string(static_cast<int>(calls[i].kind)) +
             " message " + std::to_string(calls[i].message) + ", expected kind " +
             std::to_string(static_cast<int>(model.calls[i].kind)) + " message " + std::to_string(model.calls[i].message));
    }
    RequireEqual(gEmulator.running.load(), model.running ? 1u : 0u, "running" + where);
    RequireEqual(gEmulator.dlsLoaded, model.dlsLoaded ? 1u : 0u, "instrument set loaded" + where);
    RequireEqual(gEmulator.readIndex.load(), model.readIndex, "read index" + where);
    Require(gEmulator.ring.load() == model.ring, "ring address" + where);
    RequireEqual(winsim::LiveTimerCount(), model.running ? 1 : 0, "live timers" + where);
    RequireEqual(winsim::OpenMixerCount(), 0, "mixers left open" + where);

    std::vector<winsim::TimerCreation> creations = winsim::TimerCreations();
    RequireEqual(creations.size(), model.creations, "timer creations" + where);
    for (const auto& creation : creations) {
      Require(creation.delay == 10 && creation.resolution == 1 && creation.callback == PumpMidi && creation.user == 0 &&
                  creation.flags == TIME_PERIODIC,
              "a timer created otherwise than 10 ms periodic with 1 ms resolution" + where);
    }
    std::vector<winsim::TimerKill> kills = winsim::TimerKills();
    RequireEqual(kills.size(), model.kills.size(), "timer kills" + where);
    for (size_t i = 0; i < kills.size(); ++i) RequireEqual(kills[i].id, model.kills[i], "timer killed" + where);

    std::vector<winsim::BoxRecord> boxes = winsim::Boxes();
    RequireEqual(boxes.size(), model.boxes, "mixer-busy boxes" + where);
    for (const auto& box : boxes)
      Require(!box.hasOwner && box.text == texts::kMixerBusy && box.caption == texts::kMixerBusyCaption && box.type == MB_OK,
              "a box other than the mixer-busy box" + where);
    std::vector<std::string> log = winsim::MixerLog();
    RequireEqual(log.size(), model.mixerLog.size(), "mixer calls" + where);
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i] != model.mixerLog[i]) Fail("mixer call " + log[i] + where + ", expected " + model.mixerLog[i]);
  }

  ULONG_PTR Parameter(int what) {
    if (what == 2) return kEmptyMark;
    return reinterpret_cast<ULONG_PTR>(&gRings[what][0]);
  }

  void Go() {
    winsim::Reset();
    ClearEmulatorState();

    winsim::RegisterStandInSynth();
    driver = std::make_shared<winsim::TrapDriverStandIn>();
    winsim::RegisterDevice("DOVORAV", driver);
    size_t mixers = in.ConsumeIntegralInRange<size_t>(0, 3);
    for (size_t i = 0; i < mixers; ++i) {
      model.mixers.push_back(RandomMixer());
      winsim::AddMixer(model.mixers.back());
    }
    FillRings();
    winsim::SetBoxHandler([](const winsim::BoxRecord&) { return IDOK; });
    // Ticks fired from inside the synthesizer's start and stop, as the
    // timer's thread may run one at just that moment.
    winsim::SetSynthHook([this](const SynthCall& call) {
      if ((call.kind == SynthCall::Kind::kStartMidi && tickInStart.load()) ||
          (call.kind == SynthCall::Kind::kStopMidi && tickInStop.load()))
        winsim::FireTimerTicks();
    });

    process.Start();
    Settle();
    Check("start-up");

    // A short story per input: the fuzzer combines short ones far faster
    // than it runs long ones, and every step costs a handover to the
    // emulator's thread and back.
    int steps = in.ConsumeIntegralInRange(1, kMaxSteps);
    for (step = 0; step < steps && in.remaining_bytes() > 0; ++step) {
      switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0:
        case 1:
        case 2: {  // the driver calls: a start with one of the rings, or a stop
          int what = in.ConsumeIntegralInRange(0, 2);
          bool inStart = in.ConsumeIntegralInRange(0, 3) == 0;
          bool inStop = in.ConsumeIntegralInRange(0, 3) == 0;
          tickInStart.store(inStart);
          tickInStop.store(inStop);
          driver->QueueParameter(Parameter(what));
          Settle();
          model.Call(Parameter(what), inStart, inStop);
          tickInStart.store(false);
          tickInStop.store(false);
          Check("a driver call");
          break;
        }
        case 3: {  // several calls queued at once, run in one wake-up
          int count = in.ConsumeIntegralInRange(2, 5);
          std::vector<ULONG_PTR> parameters;
          for (int i = 0; i < count; ++i) parameters.push_back(Parameter(in.ConsumeIntegralInRange(0, 2)));
          for (ULONG_PTR parameter : parameters) driver->QueueParameter(parameter);
          Settle();
          for (ULONG_PTR parameter : parameters) model.Call(parameter, false, false);
          Check("a batch of driver calls");
          break;
        }
        case 4:
        case 5:
        case 6: {  // the timer service ticks
          int ticks = in.ConsumeIntegralInRange(1, 20);
          for (int i = 0; i < ticks; ++i) {
            winsim::FireTimerTicks();
            model.Drain();
          }
          Check("ticks");
          break;
        }
        case 7: {  // the driver writes messages and the marker after them
          MidiSlot* ring = gRings[in.ConsumeBool() ? 1 : 0];
          uint32_t at = in.ConsumeIntegralInRange<uint32_t>(0, kRingSlots - 1);
          size_t count = in.ConsumeIntegralInRange<size_t>(0, 200);
          Numbers numbers{in.ConsumeIntegral<uint64_t>()};
          ring[(at + count) % kRingSlots].store(kEmptyMark);
          for (size_t i = count; i-- > 0;) ring[(at + i) % kRingSlots].store(numbers.Next());
          break;
        }
        case 8: {  // one slot changes, to anything (the marker included)
          MidiSlot* ring = gRings[in.ConsumeBool() ? 1 : 0];
          uint32_t at = in.ConsumeIntegralInRange<uint32_t>(0, kRingSlots - 1);
          ring[at].store(in.ConsumeBool() ? kEmptyMark : in.ConsumeIntegral<uint32_t>());
          break;
        }
        case 9:
          model.failTimer = !model.failTimer;
          winsim::FailTimerCreation(model.failTimer);
          break;
        case 10:
          model.mixers.push_back(RandomMixer());
          winsim::AddMixer(model.mixers.back());
          break;
        default: {  // a stray tick while nothing may be running
          winsim::FireTimerTicks();
          model.Drain();
          Check("a stray tick");
          break;
        }
      }
    }
    Check("the last step");

    RequireEqual(process.End(), 1, "WinMain's result after its wait ended");
    driver->JoinScript();
    winsim::Reset();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static EmulatorProcess* process = new EmulatorProcess;  // lives until the process ends
  FuzzedDataProvider in(data, size);
  Run run(in, *process);
  run.Go();
  return 0;
}
