#include "random/pool.h"

#include <cmath>

namespace cue {

std::int16_t RandomInRange(Generator& generator, const Clock& clock, std::int16_t low,
                           std::int16_t high) {
  generator.Randomize(GetTickCount(clock));
  const float r = generator.Rnd();
  const auto n = static_cast<std::int16_t>(high - low + 1);
  // The sum is already whole; the conversion only narrows it to 16 bits.
  const float value = std::floor(r * static_cast<float>(n)) + static_cast<float>(low);
  return static_cast<std::int16_t>(std::lrint(value));
}

void Pool::Reset(std::int16_t last) {
  const int size = static_cast<int>(last) + 2;
  values_.assign(size > 0 ? static_cast<std::size_t>(size) : 0, 0);
}

std::int16_t Pool::At(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= values_.size()) return 0;
  return values_[static_cast<std::size_t>(index)];
}

void Pool::Set(int index, std::int16_t value) {
  if (index < 0 || static_cast<std::size_t>(index) >= values_.size()) return;
  values_[static_cast<std::size_t>(index)] = value;
}

std::int16_t Pool::Draw(std::int16_t& nextIndex, std::int16_t last, Generator& generator,
                        const Clock& clock) {
  const std::int16_t k = RandomInRange(generator, clock, nextIndex, last);
  const std::int16_t v = At(k);
  // The drawn value is not written anywhere: position nextIndex keeps a stale copy that this
  // pass never reaches again.
  if (k != nextIndex) Set(k, At(nextIndex));
  nextIndex = static_cast<std::int16_t>(nextIndex + 1);
  return v;
}

}  // namespace cue
