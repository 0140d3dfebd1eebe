#pragma once

#include <cstdint>

#include "random/pool.h"

namespace cue {

// What both random classes share: a range of pool positions lower..upper, the pass's position
// nextIndex, the latest value drawn, and the draw without replacement that starts a new pass
// by itself. The classes differ in what their pool holds (FillPool).
class PoolPass {
 public:
  PoolPass(Generator& generator, const Clock& clock) : generator_(generator), clock_(clock) {}
  virtual ~PoolPass() = default;
  PoolPass(const PoolPass&) = delete;
  PoolPass& operator=(const PoolPass&) = delete;

  // Sets the high end and rebuilds the pool; the pass keeps its position.
  void SetUpper(std::int16_t value) {
    upper_ = value;
    FillPool();
  }
  // Sets the low end and the pass position; the pool is not rebuilt.
  void SetLower(std::int16_t value) {
    lower_ = value;
    nextIndex_ = value;
  }
  // The latest value drawn; 0 on a fresh instance.
  std::int16_t ran() const { return ran_; }

 protected:
  // Starts a fresh pass over positions l..u.
  void StartPass(std::int16_t l, std::int16_t u) {
    upper_ = u;
    lower_ = l;
    nextIndex_ = l;
    FillPool();
  }
  // The next value of the pass; after the pass's last draw the pool is dealt afresh.
  std::int16_t DrawFromPool() {
    ran_ = pool_.Draw(nextIndex_, upper_, generator_, clock_);
    if (nextIndex_ == upper_ + 1) {
      nextIndex_ = lower_;
      FillPool();
    }
    return ran_;
  }
  // Positions 0 .. upper + 1, with the pass's values at lower..upper.
  virtual void FillPool() = 0;

  Generator& generator_;
  const Clock& clock_;
  std::int16_t ran_ = 0;
  std::int16_t lower_ = 0;
  std::int16_t upper_ = 0;
  std::int16_t nextIndex_ = 0;
  Pool pool_;  // empty until first filled
};

}  // namespace cue
