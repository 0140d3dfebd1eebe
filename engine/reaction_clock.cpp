#include "engine/reaction_clock.h"

namespace cue {

void ReactionClock::StartClock() {
  const std::uint64_t now = clock_.Micros();
  clockStart_ = static_cast<std::uint32_t>(now / 1000);
  startMicros_ = now;
}

std::int32_t ReactionClock::ReadClock() const {
  const std::uint64_t now = clock_.Micros();
  readMicros_ = now;
  const std::uint32_t ms = static_cast<std::uint32_t>(now / 1000) - clockStart_;  // mod 2^32
  const std::int64_t micros = static_cast<std::int64_t>(ms) * 1000 +
                              static_cast<std::int64_t>(now % 1000) -
                              static_cast<std::int64_t>(startMicros_ % 1000);
  return static_cast<std::int32_t>((micros + 500) / 1000);
}

}  // namespace cue
