#pragma once

#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/generator.h"

namespace cue {

// The draw shared by both random classes: reseed the generator from the tick count, draw
// r in [0, 1), return floor(r * n) + low with n = high - low + 1, all in 16-bit integers and
// single precision. For low <= high the result lies in low..high.
std::int16_t RandomInRange(Generator& generator, const Clock& clock, std::int16_t low,
                           std::int16_t high);

// The pool of values still to be drawn in a pass: positions 0 .. last + 1, of which
// nextIndex .. last are undrawn. Positions outside the storage read as 0 and ignore writes,
// so a caller that breaks the documented limits gets odd values, never a crash.
class Pool {
 public:
  // Discards the old contents: positions 0 .. last + 1, all 0.
  void Reset(std::int16_t last);
  std::int16_t At(int index) const;
  void Set(int index, std::int16_t value);

  // One step of a Fisher-Yates shuffle: picks a random undrawn position k in
  // nextIndex .. last, moves the value at nextIndex into k, advances nextIndex and returns
  // the value drawn. The caller starts a new pass when nextIndex passes last.
  std::int16_t Draw(std::int16_t& nextIndex, std::int16_t last, Generator& generator,
                    const Clock& clock);

 private:
  std::vector<std::int16_t> values_;
};

}  // namespace cue
