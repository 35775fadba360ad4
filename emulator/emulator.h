// Qtmpu, the DOS-mode MPU-401 emulator: its one global record and the three
// routines that the trap driver and the timer service call.
//
// Two threads share the record. The main thread runs WinMain and, inside its
// alertable wait, every OnDeviceApc the trap driver queues. While playback
// runs, the multimedia timer service calls PumpMidi every 10 ms on its own
// thread. The fields the two threads share are atomics; see playback.cpp for
// who writes what, when, and why each ordering is what it is.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

// The ring of MIDI messages that the trap driver owns and writes: 1024 slots
// of one 32-bit message each, read upward from slot 0 and wrapping to 0.
// The reader stops at the marker kRingEmpty without consuming it.
//
// Each slot is read as a 32-bit atomic: the driver writes slots while the
// timer thread reads them, and the marker in the next slot must be seen once
// a message is seen (acquire). A lock-free 32-bit atomic has exactly the
// layout of a plain 32-bit slot, so this is the driver's memory as it is.
typedef std::atomic<DWORD> MidiSlot;
static_assert(sizeof(MidiSlot) == 4, "a ring slot is 32 bits");
static_assert(MidiSlot::is_always_lock_free, "a ring slot is read without a lock");

const DWORD kMidiRingSlots = 1024;
const DWORD kRingEmpty = 0x11111111;

// The most messages one 10 ms tick hands to the synthesizer. It bounds how
// long a tick holds the timer service's thread and the synthesizer, so
// that one burst of the driver cannot starve the next tick; the ring holds
// at most 1023 unread messages, so even a full ring drains in 16 ticks.
const int kMidiMessagesPerTick = 64;

// The synthesizer library's entry points. Their results, where they have
// any, are never used.
typedef void(WINAPI* SYNTH_NOARG_PROC)(void);
typedef void(WINAPI* SYNTH_MESSAGE_PROC)(DWORD message);

struct EmulatorState {
  // Set once by WinMain, before the timer thread exists.
  SYNTH_NOARG_PROC pfnStartMidi;
  SYNTH_MESSAGE_PROC pfnMidiMessage;
  SYNTH_NOARG_PROC pfnStopMidi;
  SYNTH_NOARG_PROC pfnLoadDls;
  HANDLE hDevice;  // the trap driver, open for the life of the process

  // Playback. dlsLoaded and timerId belong to the main thread alone.
  std::atomic<DWORD> running;        // 1 while playback is active
  DWORD dlsLoaded;                   // 1 once the instrument set is loaded
  MMRESULT timerId;                  // the periodic 10 ms timer
  std::atomic<const MidiSlot*> ring; // the ring passed with the start call
  std::atomic<DWORD> readIndex;      // next slot to read, 0..1023

  // Ticks inside PumpMidi right now; lets a stop wait out a tick in flight.
  std::atomic<LONG> ticksInFlight;
};

// All zero at process start (static storage).
extern EmulatorState gEmulator;

// The procedure call the trap driver queues to the main thread: kRingEmpty
// stops playback, any other value but 0 starts it with that ring's address
// (a start with address 0 is ignored).
void WINAPI OnDeviceApc(ULONG_PTR parameter);

// The 10 ms timer callback; reads none of its arguments.
void CALLBACK PumpMidi(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2);

// 1 when the card's mixer reports the card free of Windows programs, else 0.
int IsMixerFree(void);
