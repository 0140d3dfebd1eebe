#include "random/my_random_special.h"

namespace cue {

void MyRandomSpecial::SetInterval(std::int16_t lowerRange, std::int16_t upperRange,
                                  std::int16_t lInt, std::int16_t uInt) {
  lowerRange_ = lowerRange;
  upperRange_ = upperRange;
  lInt_ = lInt;
  uInt_ = uInt;
  nextIndex_ = lowerRange;
  FillPool();
}

void MyRandomSpecial::set_upper(std::int16_t value) {
  upperRange_ = value;
  FillPool();
}

void MyRandomSpecial::set_lower(std::int16_t value) {
  lowerRange_ = value;
  nextIndex_ = value;
}

std::int16_t MyRandomSpecial::GetNextRanS() {
  ran_ = pool_.Draw(nextIndex_, upperRange_, generator_, clock_);
  if (nextIndex_ == upperRange_ + 1) {  // the pass is over; the pool is dealt afresh
    nextIndex_ = lowerRange_;
    FillPool();
  }
  return ran_;
}

// Positions lowerRange, lowerRange + 1, ... hold 1, 2, ..., uInt, 1, 2, ... The wrap test
// is for equality, so a uInt of 0 or less never wraps and the positions count 1, 2, 3, ...
void MyRandomSpecial::FillPool() {
  pool_.Reset(upperRange_);
  int k = 1;
  for (int i = lowerRange_; i <= upperRange_; ++i) {
    pool_.Set(i, static_cast<std::int16_t>(k));
    ++k;
    if (k == uInt_ + 1) k = 1;
  }
}

}  // namespace cue
