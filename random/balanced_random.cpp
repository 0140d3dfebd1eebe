#include "random/balanced_random.h"

namespace cue {

void MyRandomSpecial::SetInterval(std::int16_t lowerRange, std::int16_t upperRange,
                                  std::int16_t lInt, std::int16_t uInt) {
  lInt_ = lInt;
  uInt_ = uInt;
  StartPass(lowerRange, upperRange);
}

// The wrap test is for equality, so a uInt of 0 or less never wraps and the positions count
// 1, 2, 3, ...
void MyRandomSpecial::FillPool() {
  pool_.Reset(upper_);
  int k = 1;
  for (int i = lower_; i <= upper_; ++i) {
    pool_.Set(i, static_cast<std::int16_t>(k));
    ++k;
    if (k == uInt_ + 1) k = 1;
  }
}

}  // namespace cue
