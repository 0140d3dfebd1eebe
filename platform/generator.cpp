#include "platform/generator.h"

namespace cue {

namespace {
std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}
}  // namespace

Pcg32::Pcg32(std::uint64_t initial_state) : state_(initial_state) {}

void Pcg32::Randomize(std::int32_t seed) { state_ ^= SplitMix64(static_cast<std::uint32_t>(seed)); }

std::uint32_t Pcg32::NextU32() {
  const std::uint64_t old = state_;
  state_ = old * kMultiplier + kIncrement;
  const auto xorshifted = static_cast<std::uint32_t>(((old >> 18) ^ old) >> 27);
  const auto rot = static_cast<std::uint32_t>(old >> 59);
  return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

float Pcg32::Rnd() { return static_cast<float>(NextU32() >> 8) * (1.0F / 16777216.0F); }

}  // namespace cue
