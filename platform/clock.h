#pragma once

#include <cstdint>

namespace cue {

// A monotonic time source. Every reading of time in the experiment goes through one
// Clock, so tests can run a whole session on a virtual one.
class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds since a fixed origin; never decreases.
  virtual std::uint64_t Micros() const = 0;
};

// The system's millisecond counter: whole milliseconds of Micros(), wrapping at 2^32.
std::uint32_t timeGetTime(const Clock& clock);

// Milliseconds since the clock's origin (the system's start, for the real clock) as a
// 32-bit signed integer. The random generator mixes it into its state before every draw.
std::int32_t GetTickCount(const Clock& clock);

// The real clock: std::chrono::steady_clock, which is CLOCK_MONOTONIC (time since boot) on
// Linux, so its readings can be compared with those of other processes on the machine.
class SteadyClock final : public Clock {
 public:
  std::uint64_t Micros() const override;
};

}  // namespace cue
