#pragma once

#include <cstdint>

#include "random/pool.h"

namespace cue {

// Random whole numbers from an inclusive 16-bit range: independent draws (GetNextRanWR) or
// draws without replacement (GetNextRanWOR), where every pass of upper - lower + 1 draws
// returns each value once in random order and the next pass starts by itself.
//
// REQUIRES of the caller: 0 <= lower <= upper <= 32766, and SetInterval (or an assignment
// to upper) before the first GetNextRanWOR.
class MyRandom {
 public:
  // The generator is reseeded from GetTickCount(clock) before every draw.
  MyRandom(Generator& generator, const Clock& clock) : generator_(generator), clock_(clock) {}

  // Starts a fresh pass over l..u.
  void SetInterval(std::int16_t l, std::int16_t u);
  // Uniform over lower..upper; the pass without replacement is left as it is.
  std::int16_t GetNextRanWR();
  // Rebuilds the pool in ascending order but keeps the pass position.
  void set_upper(std::int16_t value);
  // Sets lower and the pass position; the pool is not rebuilt, so assigning lower and then
  // upper is the same as SetInterval.
  void set_lower(std::int16_t value);
  std::int16_t GetNextRanWOR();
  // The latest value drawn; 0 on a fresh instance.
  std::int16_t ran() const { return ran_; }

 private:
  void FillPool();

  Generator& generator_;
  const Clock& clock_;
  std::int16_t ran_ = 0;
  std::int16_t lower_ = 0;
  std::int16_t upper_ = 0;
  std::int16_t nextIndex_ = 0;
  Pool pool_;  // empty until first filled
};

}  // namespace cue
