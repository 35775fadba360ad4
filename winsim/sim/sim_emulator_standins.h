// Stand-ins for what lies outside the emulator: the card's MPU-401 trap
// driver and the synthesizer library. Both are written from what the
// emulator expects of them; a test controls and inspects them.
#pragma once

#include "sim_tests_only.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

#include "sim_devices.h"

namespace winsim {

// ---- The ring of MIDI messages ---------------------------------------------

constexpr uint32_t kStandInRingSlots = 1024;
constexpr uint32_t kStandInRingEmpty = 0x11111111u;

// 1024 slots of 32-bit messages that the driver writes and the emulator reads.
// The slots are atomic because a reader on another thread reads them while
// the writer writes; a 32-bit atomic has the plain layout of the ring.
class StandInRing {
 public:
  StandInRing();  // every slot holds the marker; writing starts at slot 0
  StandInRing(const StandInRing&) = delete;
  StandInRing& operator=(const StandInRing&) = delete;

  // The address the driver passes with a start call.
  ULONG_PTR Address() const;

  // Appends one message. The marker goes into the next slot before the
  // message goes into the current one (a release store), so a reader that
  // sees the message also sees the marker after it. One writer at a time.
  void Write(uint32_t message);
  void Write(const std::vector<uint32_t>& messages);
  // Puts every slot back to the marker and writing back to slot 0.
  void Clear();
  uint32_t WriteIndex() const { return write_; }
  uint32_t Slot(uint32_t index) const;

 private:
  std::atomic<uint32_t> slots_[kStandInRingSlots];
  uint32_t write_ = 0;
};

// ---- The MPU-401 trap driver -------------------------------------------------

class TrapDriverStandIn : public Device {
 public:
  // What the driver writes into the registration's output value.
  enum class Answer { kAccept /* 5 */, kRefuse /* 4 */, kSilent /* writes nothing */ };

  struct Registration {
    DWORD code;
    ULONG_PTR routine;  // the input buffer argument itself
    DWORD inSize;
    DWORD outSize;
    DWORD outBefore;    // the output value as the caller passed it in
    bool returnedGiven;
    bool overlappedGiven;
    DWORD threadId;
    HANDLE thread;      // the registering thread, for QueueUserAPC
  };

  // One step of a script that the driver plays from a thread of its own.
  struct Step {
    enum class Kind { kStart, kStop, kWrite, kClear, kPause, kWaitUntil } kind;
    uint32_t value;               // the message (kWrite) or milliseconds (kPause)
    std::function<bool()> until;  // kWaitUntil: polled every millisecond
  };
  static Step Start() { return {Step::Kind::kStart, 0, nullptr}; }
  static Step Stop() { return {Step::Kind::kStop, 0, nullptr}; }
  static Step Write(uint32_t message) { return {Step::Kind::kWrite, message, nullptr}; }
  // Only between playbacks: the emulator reads from slot 0 after a start.
  static Step ClearRing() { return {Step::Kind::kClear, 0, nullptr}; }
  static Step Pause(uint32_t milliseconds) { return {Step::Kind::kPause, milliseconds, nullptr}; }
  static Step WaitUntil(std::function<bool()> condition) { return {Step::Kind::kWaitUntil, 0, std::move(condition)}; }

  explicit TrapDriverStandIn(Answer answer = Answer::kAccept);
  ~TrapDriverStandIn() override;

  BOOL IoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                 LPOVERLAPPED overlapped) override;

  std::vector<Registration> Registrations() const;
  // The ring the driver owns and passes with QueueStart().
  StandInRing& ring() { return ring_; }

  // Queue calls of the registered routine to the registering thread. Each
  // ends the test loudly when nothing registered.
  void QueueStart();                          // with the driver's own ring
  void QueueStart(const StandInRing& other);  // with another ring
  void QueueStop();                           // parameter kStandInRingEmpty
  void QueueParameter(ULONG_PTR parameter);

  // Plays the steps on the driver's own thread, in real time: starts and
  // stops are queued, writes go into the driver's ring. Before each write
  // `mayWrite(written so far)` is polled every millisecond until it allows
  // the write, so a test can keep the ring from overflowing. A start resets
  // nothing: the ring is cleared only by a ClearRing step.
  void RunScript(std::vector<Step> steps, std::function<bool(uint64_t)> mayWrite = nullptr);
  void JoinScript();

 private:
  Registration Registered() const;

  Answer answer_;
  mutable std::mutex mutex_;
  std::vector<Registration> registrations_;
  StandInRing ring_;
  std::thread script_;
};

// ---- The synthesizer library -------------------------------------------------

struct SynthCall {
  enum class Kind { kLoadDls, kStartMidi, kMidiMessage, kStopMidi } kind;
  uint32_t message;  // kMidiMessage only
  DWORD threadId;
};

// Registers the library "WTSYNTH.DLL" with the four exports "_StartMidi@0",
// "_MidiMessage@4", "_StopMidi@0" and "_LoadDls@0", leaving out the names in
// `missing`. Every call is recorded in order, from any thread.
void RegisterStandInSynth(const std::vector<std::string>& missing = {});

std::vector<SynthCall> SynthCalls();
// The calls as letters, in order: L (LoadDls), S (StartMidi), M (one
// message), T (StopMidi). For example "LSMMMT".
std::string SynthTrace();
std::vector<uint32_t> SynthMessages();
uint64_t SynthMessageCount();
// Runs after each call is recorded, on the calling thread, until Reset.
void SetSynthHook(std::function<void(const SynthCall&)> hook);

}  // namespace winsim
