// Playback control and the MIDI pump.
//
// Who touches what (no lock anywhere):
//   - OnDeviceApc runs on the main thread. It alone writes `running`, and it
//     writes `ring` and `readIndex` only while `running` is 0, before the
//     timer exists.
//   - PumpMidi runs on the timer service's thread. During playback it alone
//     writes `readIndex`. The service calls one callback at a time, so two
//     ticks never run together.
//   - The driver writes the ring; the marker in the slot after the newest
//     message is the only synchronisation with it.
//
// Orderings:
//   - A start stores `ring` and `readIndex` (relaxed), creates the timer,
//     calls "_StartMidi@0", and only then stores `running` = 1. A tick loads
//     `running` first; when it reads 1 it also sees the ring and index stored
//     before, because the store of 1 releases and the load acquires. Ticks
//     that come before the store of 1 return at once.
//   - Ring slots are loaded with acquire: the driver puts the marker into
//     the next slot before it puts the message into this one (release), so a
//     tick that reads a message also finds the marker after it and never
//     plays a stale slot beyond it.
//   - A stop calls "_StopMidi@0", kills the timer, stores `running` = 0, and
//     then waits until no tick is inside PumpMidi. A tick in progress (or one
//     the service started before the kill) may still hand messages to the
//     synthesizer after "_StopMidi@0"; the wait makes sure it has finished,
//     and its last store of `readIndex` has happened, before the stop
//     returns. Without the wait, a start queued right behind the stop could
//     set `readIndex` to 0 and have the old tick overwrite it a moment
//     later, so the new playback would begin in the middle of its ring.
//     The tick counts itself in (`ticksInFlight`) before it reads `running`,
//     and the stop stores `running` before it reads the count, all
//     sequentially consistent: a tick that counted itself in before the
//     stop read the count is waited for, and any other tick reads `running`
//     only after the store of 0.
//   - Such a later tick can come: the timer service may have begun a call
//     before the kill that enters PumpMidi only after the stop has returned.
//     It is harmless. Either it reads `running` = 0 and touches nothing, or
//     a start has run in the meantime and it reads that start's 1; then it
//     also sees that start's ring and index (the same release and acquire
//     as for any tick) and plays just as a tick of the new timer would. The
//     service calls one callback at a time, so it never runs beside one.
//   - The wait is bounded (kStopWaitMs). A synthesizer that never returns
//     from a call would otherwise keep the main thread in it for good, and
//     no further start or stop from the driver would ever be served. When
//     the bound passes, the stop returns with that tick still inside:
//     playback is idle and its timer dead, but the tick keeps the old ring
//     and index. Should the call ever return, the tick hands the rest of its
//     at most kMidiMessagesPerTick messages to the synthesizer and may store its `readIndex`
//     over the 0 of a later start, which then plays from the middle of its
//     ring. Until then the service, calling one callback at a time, runs no
//     tick at all, so a later playback stays silent; but the driver's calls
//     are still served.
#include "emulator.h"

namespace {

const UINT kPumpPeriodMs = 10;
const UINT kPumpResolutionMs = 1;
// The longest a stop waits for a tick still inside PumpMidi.
const DWORD kStopWaitMs = 1000;

// The card's mixer driver answers this private message with 292 when no
// Windows program holds the card.
const char kCardMixerName[] = "Q-Tonal Audio Mixer";
const int kCardMixerNameLength = sizeof kCardMixerName - 1;
const DWORD kMixerQueryCardFree = 293;
const DWORD kMixerAnswerCardFree = 292;

// Hands the waiting messages to the synthesizer, at most
// kMidiMessagesPerTick a tick.
void DrainRing() {
  const MidiSlot* ring = gEmulator.ring.load(std::memory_order_relaxed);
  DWORD index = gEmulator.readIndex.load(std::memory_order_relaxed);
  for (int played = 0; played < kMidiMessagesPerTick; ++played) {
    DWORD value = ring[index].load(std::memory_order_acquire);
    // The marker is never consumed: the index stays on it, and the next
    // tick looks at the same slot again.
    if (value == kRingEmpty) return;
    gEmulator.pfnMidiMessage(value);
    ++index;
    if (index == kMidiRingSlots) index = 0;
    gEmulator.readIndex.store(index, std::memory_order_relaxed);
  }
  // More may be waiting; they are played on the next tick.
}

void StartPlayback(ULONG_PTR parameter) {
  // Taken at once, and kept even when the start goes no further.
  gEmulator.ring.store(reinterpret_cast<const MidiSlot*>(parameter), std::memory_order_relaxed);
  gEmulator.readIndex.store(0, std::memory_order_relaxed);

  if (!IsMixerFree()) {
    // Shown on the main thread: until the user closes it, no further start
    // or stop call from the driver runs.
    MessageBoxA(NULL, "Please close all Windows Sound AP and start this DOS AP again", "DOS Mode MPU-401 Emulator",
                MB_OK);
    return;
  }

  // Timers are few: 32 for the whole system on Windows 95 and 98 (Knowledge
  // Base Q140104), 16 per process on NT 4.0. A playback holds one and kills
  // it at its stop, so another program may have taken every one.
  gEmulator.timerId = timeSetEvent(kPumpPeriodMs, kPumpResolutionMs, PumpMidi, 0, TIME_PERIODIC);
  if (gEmulator.timerId == 0) return;  // no timer: playback silently does not start

  // The timer already runs; its ticks return at once until this store.
  gEmulator.pfnStartMidi();
  gEmulator.running.store(1, std::memory_order_seq_cst);
}

void StopPlayback() {
  // Synthesizer first, timer second, flag last. timeKillEvent's result is
  // not examined, and timerId keeps the old identifier.
  gEmulator.pfnStopMidi();
  timeKillEvent(gEmulator.timerId);
  gEmulator.running.store(0, std::memory_order_seq_cst);

  // Wait out a tick still in flight (see the top of this file). A tick
  // lasts at most kMidiMessagesPerTick synthesizer calls, so this is short and rare; a tick
  // that has not ended within kStopWaitMs is left behind. The wait is not
  // alertable: no other driver call may run inside this one. GetTickCount
  // advances in steps of about 55 ms on Windows 95, so the bound holds to
  // within a step; nothing else depends on the clock's resolution.
  DWORD began = GetTickCount();
  while (gEmulator.ticksInFlight.load(std::memory_order_seq_cst) != 0 && GetTickCount() - began < kStopWaitMs)
    SleepEx(1, FALSE);
}

}  // namespace

void WINAPI OnDeviceApc(ULONG_PTR parameter) {
  // The first call of the process loads the instrument set, whatever it
  // asks for (a stop included), and no later call does.
  if (gEmulator.dlsLoaded == 0) {
    gEmulator.pfnLoadDls();
    gEmulator.dlsLoaded = 1;
  }

  // Only this thread writes `running`, so it reads its own last store.
  if (gEmulator.running.load(std::memory_order_relaxed) == 0) {
    if (parameter == kRingEmpty) return;  // a stop while idle is ignored
    // A start with ring address 0 is ignored the same way: no mixer probe,
    // no timer, no box, ring and index untouched. Started, every tick would
    // read through a null pointer on the timer thread and end the process.
    if (parameter == 0) return;
    StartPlayback(parameter);
    return;
  }

  // A second start while running is ignored: ring and index stay as they are.
  if (parameter != kRingEmpty) return;
  StopPlayback();
}

void CALLBACK PumpMidi(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  gEmulator.ticksInFlight.fetch_add(1, std::memory_order_seq_cst);
  if (gEmulator.running.load(std::memory_order_seq_cst) != 0) DrainRing();
  // Release: a stop that sees the count drop also sees this tick's stores.
  gEmulator.ticksInFlight.fetch_sub(1, std::memory_order_release);
}

int IsMixerFree(void) {
  UINT count = mixerGetNumDevs();
  UINT device = 0;
  BOOL found = FALSE;
  for (UINT index = 0; index < count && !found; ++index) {
    MIXERCAPSA caps;
    if (mixerGetDevCapsA(index, &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    // Cut at the length of the card's name, so that any name that begins
    // with it matches, and so that the text is terminated whatever the
    // driver put into the buffer.
    caps.szPname[kCardMixerNameLength] = '\0';
    if (lstrcmpiA(caps.szPname, kCardMixerName) == 0) {
      device = index;
      found = TRUE;
    }
  }
  if (!found) return 0;

  // MIXER_OBJECTF_HMIXER together with a device index, as the card's
  // mixer driver has always been opened.
  HMIXER mixer;
  if (mixerOpen(&mixer, device, 0, 0, MIXER_OBJECTF_HMIXER) != MMSYSERR_NOERROR) return 0;
  DWORD answer = mixerMessage(mixer, DRV_USER, kMixerQueryCardFree, 0);
  mixerClose(mixer);
  return answer == kMixerAnswerCardFree ? 1 : 0;
}
