#pragma once

#include <cstdint>

namespace cue {

// When the key being handled reached the program: stamped by an input thread the moment the
// display server's event arrived, before the event loop got to it, so the stamp does not
// carry the event loop's delays. The reaction time a lab analyses is measured to it.
class KeyArrivals {
 public:
  virtual ~KeyArrivals() = default;
  // The arrival (µs of the Clock) of the key being handled now; 0 when it was not stamped.
  virtual std::uint64_t CurrentKeyMicros() const = 0;
};

}  // namespace cue
