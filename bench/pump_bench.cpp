// The MIDI pump against its floor. A full ring (1023 messages and the marker)
// is drained by PumpMidi, 64 messages a tick as the timer would call it, and
// by a bare loop that hands the same slots to the same synthesizer entry
// directly. Both report time per message; the script divides the two.
//
// Two entries: a counter that does nearly nothing (so the pump's own work
// shows), and the recording stand-in synthesizer the tests use.
#include <windows.h>
#include <mmsystem.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

#include "emulator.h"
#include "sim_emulator_standins.h"
#include "sim_machine.h"

namespace {

const DWORD kFullRing = kMidiRingSlots - 1;  // one slot always holds the marker

std::atomic<DWORD> sSink{0};
void WINAPI CountingEntry(DWORD message) { sSink.fetch_add(message, std::memory_order_relaxed); }

// Every slot but the last holds a message; the last holds the marker.
std::unique_ptr<MidiSlot[]> FullRing() {
  std::unique_ptr<MidiSlot[]> ring(new MidiSlot[kMidiRingSlots]);
  for (DWORD i = 0; i < kFullRing; ++i) ring[i].store(0x00403C90u + (i & 0x7F));
  ring[kFullRing].store(kRingEmpty);
  return ring;
}

SYNTH_MESSAGE_PROC LoadStandInEntry() {
  winsim::Reset();
  winsim::RegisterStandInSynth();
  HMODULE synth = LoadLibraryA("WTSYNTH.DLL");
  return reinterpret_cast<SYNTH_MESSAGE_PROC>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(synth, "_MidiMessage@4")));
}

// The stand-in appends each call to a record that grows to about 16 MB in a
// run. Whichever benchmark ran first would pay for the fresh pages; one
// untimed run of the same size first lets the allocator keep them, so the
// pump and the floor find the memory in the same state.
SYNTH_MESSAGE_PROC StandInEntry() {
  SYNTH_MESSAGE_PROC entry = LoadStandInEntry();
  for (DWORD i = 0; i < 1000 * kFullRing; ++i) entry(i);
  return LoadStandInEntry();
}

SYNTH_MESSAGE_PROC EntryFor(int which) { return which == 0 ? CountingEntry : StandInEntry(); }

void PumpDrainsFullRing(benchmark::State& state) {
  auto ring = FullRing();
  gEmulator.pfnMidiMessage = EntryFor(static_cast<int>(state.range(0)));
  gEmulator.ring.store(ring.get());
  gEmulator.running.store(1);
  for (auto _ : state) {
    gEmulator.readIndex.store(0);
    // 16 ticks: 15 of 64 messages and one that plays 63 and stops at the marker.
    while (gEmulator.readIndex.load(std::memory_order_relaxed) != kFullRing) PumpMidi(1, 0, 0, 0, 0);
  }
  gEmulator.running.store(0);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFullRing);
  winsim::Reset();
}

// The floor: read each slot as the pump does and call the entry, no more.
void BareLoopDrainsFullRing(benchmark::State& state) {
  auto ring = FullRing();
  SYNTH_MESSAGE_PROC entry = EntryFor(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const MidiSlot* slots = ring.get();
    for (DWORD i = 0;; ++i) {
      DWORD value = slots[i].load(std::memory_order_acquire);
      if (value == kRingEmpty) break;
      entry(value);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFullRing);
  winsim::Reset();
}

// The recording stand-in keeps every call, so its runs are held to a fixed
// number of iterations (about 16 MB of records each).
BENCHMARK(PumpDrainsFullRing)->Arg(0)->ArgName("counter");
BENCHMARK(BareLoopDrainsFullRing)->Arg(0)->ArgName("counter");
BENCHMARK(PumpDrainsFullRing)->Arg(1)->ArgName("standin")->Iterations(1000);
BENCHMARK(BareLoopDrainsFullRing)->Arg(1)->ArgName("standin")->Iterations(1000);

}  // namespace

BENCHMARK_MAIN();
