#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace cue {

// The reaction-time clock: StartClock when the trial's field is ready, ReadClock first thing
// when the answer key arrives.
class ReactionClock {
 public:
  explicit ReactionClock(const Clock& clock) : clock_(clock) {}

  // clockStart = timeGetTime.
  void StartClock();
  // Milliseconds since StartClock: timeGetTime - clockStart modulo 2^32, so a counter that
  // wraps between the two readings still gives the elapsed time. The sub-millisecond phase of
  // both readings is kept as well, so the result is the elapsed time rounded to the nearest
  // millisecond (error within +-0.5 ms) rather than the difference of two truncated
  // readings (within +-1 ms).
  std::int32_t ReadClock() const;

  std::uint32_t clockStart() const { return clockStart_; }
  // The clock's readings (Clock::Micros) at the last StartClock and ReadClock.
  std::uint64_t startMicros() const { return startMicros_; }
  std::uint64_t readMicros() const { return readMicros_; }

 private:
  const Clock& clock_;
  std::uint32_t clockStart_ = 0;
  std::uint64_t startMicros_ = 0;
  mutable std::uint64_t readMicros_ = 0;
};

}  // namespace cue
