#include "random/my_random.h"

namespace cue {

std::int16_t MyRandom::GetNextRanWR() {
  ran_ = RandomInRange(generator_, clock_, lower_, upper_);
  return ran_;
}

void MyRandom::FillPool() {
  pool_.Reset(upper_);
  for (int i = lower_; i <= upper_; ++i) pool_.Set(i, static_cast<std::int16_t>(i));
}

}  // namespace cue
