#pragma once

#include <cstdint>

#include "random/pool_pass.h"

namespace cue {

// MyRandomSpecial deals out a balanced random sequence of category numbers: over each pass of
// N = upperRange - lowerRange + 1 draws, the values 1 .. uInt come in as equal numbers as N
// allows (the smaller values get the extra draws), in random order. Its lower and upper are
// lowerRange and upperRange.
//
// REQUIRES of the caller: 0 <= lowerRange <= upperRange <= 32766, uInt <= 32766, and
// SetInterval (or an assignment to upper) before the first GetNextRanS.
class MyRandomSpecial final : public PoolPass {
 public:
  MyRandomSpecial(Generator& generator, const Clock& clock) : PoolPass(generator, clock) {}

  // Starts a fresh pass. lInt is kept but not read: the pool's cycle always starts at 1.
  void SetInterval(std::int16_t lowerRange, std::int16_t upperRange, std::int16_t lInt,
                   std::int16_t uInt);
  // The next value of the pass, 1 .. uInt.
  std::int16_t GetNextRanS() { return DrawFromPool(); }
  std::int16_t lInt() const { return lInt_; }

 private:
  // Positions lowerRange, lowerRange + 1, ... hold 1, 2, ..., uInt, 1, 2, ...
  void FillPool() override;

  std::int16_t lInt_ = 0;
  std::int16_t uInt_ = 0;
};

}  // namespace cue
