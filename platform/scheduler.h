#pragma once

#include <cstdint>
#include <functional>

namespace cue {

// The one source of timed events: waits, pauses, the cue timer and the flicker all run
// through it. The real scheduler uses precise toolkit timers on the event loop; tests use a
// virtual one advanced by hand.
class Scheduler {
 public:
  using Callback = std::function<void()>;
  using TimerId = std::uint64_t;  // 0 is never a valid id

  virtual ~Scheduler() = default;
  // Runs fn once, ms milliseconds from now, on the event loop; never inside this call.
  // ms <= 0 means "at the next turn of the event loop".
  virtual TimerId After(int ms, Callback fn) = 0;
  // Runs fn once, at the moment clockMicros of the Clock (µs of CLOCK_MONOTONIC) or as soon
  // after it as the machine allows, never before it; never inside this call. For steps that
  // must start a measured time before a display refresh: a whole-millisecond wait cannot.
  // The last spinMicros before the moment are waited awake, reading the clock: a thread that
  // sleeps until the moment starts late by the time the machine takes to wake it, and then
  // runs slowly for a while.
  virtual TimerId AtMicros(std::uint64_t clockMicros, Callback fn,
                           std::uint64_t spinMicros = 0) = 0;
  // Forgets a pending callback. No effect if it already ran or was cancelled.
  virtual void Cancel(TimerId id) = 0;
};

// A single-shot timer that can be re-armed, in the manner of a toolkit timer control:
// Start() while pending restarts the count with the new time and callback.
class Timer {
 public:
  explicit Timer(Scheduler& scheduler) : scheduler_(scheduler) {}
  ~Timer() { Stop(); }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void Start(int ms, Scheduler::Callback fn);
  // Start() at an absolute moment (Scheduler::AtMicros).
  void StartAt(std::uint64_t clockMicros, Scheduler::Callback fn, std::uint64_t spinMicros = 0);
  void Stop();
  bool Active() const { return id_ != 0; }

 private:
  Scheduler& scheduler_;
  Scheduler::TimerId id_ = 0;
};

}  // namespace cue
