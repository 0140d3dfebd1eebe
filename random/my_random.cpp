#include "random/my_random.h"

namespace cue {

void MyRandom::SetInterval(std::int16_t l, std::int16_t u) {
  upper_ = u;
  lower_ = l;
  nextIndex_ = l;
  FillPool();
}

std::int16_t MyRandom::GetNextRanWR() {
  ran_ = RandomInRange(generator_, clock_, lower_, upper_);
  return ran_;
}

void MyRandom::set_upper(std::int16_t value) {
  upper_ = value;
  FillPool();
}

void MyRandom::set_lower(std::int16_t value) {
  lower_ = value;
  nextIndex_ = value;
}

std::int16_t MyRandom::GetNextRanWOR() {
  ran_ = pool_.Draw(nextIndex_, upper_, generator_, clock_);
  if (nextIndex_ == upper_ + 1) {  // the pass is over; the next one starts ascending again
    nextIndex_ = lower_;
    FillPool();
  }
  return ran_;
}

void MyRandom::FillPool() {
  pool_.Reset(upper_);
  for (int i = lower_; i <= upper_; ++i) pool_.Set(i, static_cast<std::int16_t>(i));
}

}  // namespace cue
