#pragma once

#include <cstdint>

namespace cue {

// The pseudo-random generator behind every random draw of the experiment.
class Generator {
 public:
  virtual ~Generator() = default;
  // Mixes seed into the current state. The state is never replaced, so reseeding with the
  // same value twice in a row (two draws within one millisecond) continues the sequence.
  virtual void Randomize(std::int32_t seed) = 0;
  // A uniform single-precision value with 0 <= r < 1.
  virtual float Rnd() = 0;
};

// PCG32 (O'Neill's PCG-XSH-RR, 64-bit state, 32-bit output). Randomize folds a SplitMix64
// hash of the seed into the state with XOR; Rnd takes the top 24 bits of the output, so every
// value is a multiple of 2^-24 and exactly representable as a float below 1.
class Pcg32 final : public Generator {
 public:
  explicit Pcg32(std::uint64_t initial_state = 0x853c49e6748fea9bULL);
  void Randomize(std::int32_t seed) override;
  float Rnd() override;
  std::uint32_t NextU32();

 private:
  static constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
  static constexpr std::uint64_t kIncrement = 1442695040888963407ULL;  // odd: full period
  std::uint64_t state_;
};

}  // namespace cue
