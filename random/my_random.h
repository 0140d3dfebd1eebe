#pragma once

#include <cstdint>

#include "random/pool_pass.h"

namespace cue {

// Random whole numbers from an inclusive 16-bit range: independent draws (GetNextRanWR) or
// draws without replacement (GetNextRanWOR), where every pass of upper - lower + 1 draws
// returns each value once in random order and the next pass starts by itself.
// SetLower then SetUpper has the same effect as SetInterval.
//
// REQUIRES of the caller: 0 <= lower <= upper <= 32766, and SetInterval (or an assignment
// to upper) before the first GetNextRanWOR. Outside those limits the class gives odd values
// but never crashes.
class MyRandom final : public PoolPass {
 public:
  // The generator is reseeded from GetTickCount(clock) before every draw.
  MyRandom(Generator& generator, const Clock& clock) : PoolPass(generator, clock) {}

  // Starts a fresh pass over l..u.
  void SetInterval(std::int16_t l, std::int16_t u) { StartPass(l, u); }
  // Uniform over lower..upper; the pass without replacement is left as it is.
  std::int16_t GetNextRanWR();
  std::int16_t GetNextRanWOR() { return DrawFromPool(); }

 private:
  // The values lower..upper in ascending order.
  void FillPool() override;
};

}  // namespace cue
