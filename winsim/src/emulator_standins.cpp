// The stand-in trap driver and synthesizer library.
#include <chrono>
#include <mutex>
#include <thread>
#include <windows.h>

#include "internal.h"
#include "sim_emulator_standins.h"
#include "sim_libraries.h"
#include "sim_machine.h"
#include "sim_threads.h"

namespace winsim {

// ---- StandInRing ----

StandInRing::StandInRing() { Clear(); }

ULONG_PTR StandInRing::Address() const { return reinterpret_cast<ULONG_PTR>(&slots_[0]); }

void StandInRing::Write(uint32_t message) {
  uint32_t next = (write_ + 1) % kStandInRingSlots;
  slots_[next].store(kStandInRingEmpty, std::memory_order_relaxed);
  // Release: the marker above is visible to whoever sees this message.
  slots_[write_].store(message, std::memory_order_release);
  write_ = next;
}

void StandInRing::Write(const std::vector<uint32_t>& messages) {
  for (uint32_t message : messages) Write(message);
}

void StandInRing::Clear() {
  for (auto& slot : slots_) slot.store(kStandInRingEmpty, std::memory_order_relaxed);
  write_ = 0;
}

uint32_t StandInRing::Slot(uint32_t index) const {
  return slots_[index % kStandInRingSlots].load(std::memory_order_acquire);
}

// ---- TrapDriverStandIn ----

TrapDriverStandIn::TrapDriverStandIn(Answer answer) : answer_(answer) {}

TrapDriverStandIn::~TrapDriverStandIn() { JoinScript(); }

BOOL TrapDriverStandIn::IoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                                  LPOVERLAPPED overlapped) {
  if (code != 1) Unmodelled("trap driver request with a control code other than 1");
  if (out == nullptr || outSize < sizeof(DWORD)) Unmodelled("trap driver registration without a 32-bit output");
  Registration registration{code,
                            reinterpret_cast<ULONG_PTR>(in),
                            inSize,
                            outSize,
                            *static_cast<DWORD*>(out),
                            returned != nullptr,
                            overlapped != nullptr,
                            GetCurrentThreadId(),
                            CurrentThreadHandle()};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    registrations_.push_back(registration);
  }
  if (answer_ == Answer::kSilent) return TRUE;
  *static_cast<DWORD*>(out) = answer_ == Answer::kAccept ? 5 : 4;
  if (returned != nullptr) *returned = sizeof(DWORD);
  return TRUE;
}

std::vector<TrapDriverStandIn::Registration> TrapDriverStandIn::Registrations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_;
}

TrapDriverStandIn::Registration TrapDriverStandIn::Registered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (registrations_.empty()) Unmodelled("trap driver asked to queue a call before any registration");
  return registrations_.back();
}

void TrapDriverStandIn::QueueParameter(ULONG_PTR parameter) {
  Registration registered = Registered();
  // The driver calls the routine whose address it was given, as an APC.
  auto routine = reinterpret_cast<PAPCFUNC>(registered.routine);
  if (!QueueUserAPC(routine, registered.thread, parameter)) Unmodelled("trap driver could not queue its call");
}

void TrapDriverStandIn::QueueStart() { QueueParameter(ring_.Address()); }
void TrapDriverStandIn::QueueStart(const StandInRing& other) { QueueParameter(other.Address()); }
void TrapDriverStandIn::QueueStop() { QueueParameter(kStandInRingEmpty); }

void TrapDriverStandIn::RunScript(std::vector<Step> steps, std::function<bool(uint64_t)> mayWrite) {
  JoinScript();
  script_ = std::thread([this, steps = std::move(steps), mayWrite = std::move(mayWrite)] {
    uint64_t written = 0;
    for (const Step& step : steps) {
      switch (step.kind) {
        case Step::Kind::kStart:
          QueueStart();
          break;
        case Step::Kind::kStop:
          QueueStop();
          break;
        case Step::Kind::kWrite:
          while (mayWrite && !mayWrite(written)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          ring_.Write(step.value);
          ++written;
          break;
        case Step::Kind::kClear:
          ring_.Clear();
          break;
        case Step::Kind::kPause:
          std::this_thread::sleep_for(std::chrono::milliseconds(step.value));
          break;
        case Step::Kind::kWaitUntil:
          while (!step.until()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          break;
      }
    }
  });
}

void TrapDriverStandIn::JoinScript() {
  if (script_.joinable()) script_.join();
}

// ---- The synthesizer ----

namespace {

std::mutex sSynthMutex;
std::vector<SynthCall> sSynthCalls;
std::atomic<uint64_t> sSynthMessages{0};
std::function<void(const SynthCall&)> sSynthHook;

void Record(SynthCall::Kind kind, uint32_t message) {
  SynthCall call{kind, message, GetCurrentThreadId()};
  std::function<void(const SynthCall&)> hook;
  {
    std::lock_guard<std::mutex> lock(sSynthMutex);
    sSynthCalls.push_back(call);
    hook = sSynthHook;
  }
  if (kind == SynthCall::Kind::kMidiMessage) sSynthMessages.fetch_add(1, std::memory_order_release);
  if (hook) hook(call);
}

// The entry points, with the types the emulator calls them by.
void WINAPI StandInStartMidi() { Record(SynthCall::Kind::kStartMidi, 0); }
void WINAPI StandInMidiMessage(DWORD message) { Record(SynthCall::Kind::kMidiMessage, message); }
void WINAPI StandInStopMidi() { Record(SynthCall::Kind::kStopMidi, 0); }
void WINAPI StandInLoadDls() { Record(SynthCall::Kind::kLoadDls, 0); }

}  // namespace

void RegisterStandInSynth(const std::vector<std::string>& missing) {
  ExportTable exports{{"_StartMidi@0", AsExport(&StandInStartMidi)},
                      {"_MidiMessage@4", AsExport(&StandInMidiMessage)},
                      {"_StopMidi@0", AsExport(&StandInStopMidi)},
                      {"_LoadDls@0", AsExport(&StandInLoadDls)}};
  for (const auto& name : missing) exports.erase(name);
  RegisterLibrary("WTSYNTH.DLL", exports);
}

std::vector<SynthCall> SynthCalls() {
  std::lock_guard<std::mutex> lock(sSynthMutex);
  return sSynthCalls;
}

std::string SynthTrace() {
  std::string trace;
  for (const SynthCall& call : SynthCalls()) {
    switch (call.kind) {
      case SynthCall::Kind::kLoadDls: trace += 'L'; break;
      case SynthCall::Kind::kStartMidi: trace += 'S'; break;
      case SynthCall::Kind::kMidiMessage: trace += 'M'; break;
      case SynthCall::Kind::kStopMidi: trace += 'T'; break;
    }
  }
  return trace;
}

std::vector<uint32_t> SynthMessages() {
  std::vector<uint32_t> messages;
  for (const SynthCall& call : SynthCalls())
    if (call.kind == SynthCall::Kind::kMidiMessage) messages.push_back(call.message);
  return messages;
}

uint64_t SynthMessageCount() { return sSynthMessages.load(std::memory_order_acquire); }

void SetSynthHook(std::function<void(const SynthCall&)> hook) {
  std::lock_guard<std::mutex> lock(sSynthMutex);
  sSynthHook = std::move(hook);
}

namespace detail {
void ResetSynthStandIn() {
  std::lock_guard<std::mutex> lock(sSynthMutex);
  sSynthCalls.clear();
  sSynthHook = nullptr;
  sSynthMessages.store(0);
}
}  // namespace detail
}  // namespace winsim
