#pragma once

#include <cstdint>

#include "random/pool.h"

namespace cue {

// Deals out a balanced random sequence of category numbers: over each pass of
// N = upperRange - lowerRange + 1 draws, the values 1 .. uInt come in as equal numbers as N
// allows (the smaller values get the extra draws), in random order.
//
// REQUIRES of the caller: 0 <= lowerRange <= upperRange <= 32766, uInt <= 32766, and
// SetInterval (or an assignment to upper) before the first GetNextRanS.
class MyRandomSpecial {
 public:
  MyRandomSpecial(Generator& generator, const Clock& clock)
      : generator_(generator), clock_(clock) {}

  // Starts a fresh pass. lInt is kept but not read: the pool's cycle always starts at 1.
  void SetInterval(std::int16_t lowerRange, std::int16_t upperRange, std::int16_t lInt,
                   std::int16_t uInt);
  // Sets upperRange and rebuilds the pool; the pass position is kept.
  void set_upper(std::int16_t value);
  // Sets lowerRange and the pass position; the pool is not rebuilt.
  void set_lower(std::int16_t value);
  std::int16_t ran() const { return ran_; }
  // The next value of the pass, 1 .. uInt.
  std::int16_t GetNextRanS();

 private:
  void FillPool();

  Generator& generator_;
  const Clock& clock_;
  std::int16_t ran_ = 0;
  std::int16_t lowerRange_ = 0;
  std::int16_t upperRange_ = 0;
  std::int16_t lInt_ = 0;
  std::int16_t uInt_ = 0;
  std::int16_t nextIndex_ = 0;
  Pool pool_;
};

}  // namespace cue
