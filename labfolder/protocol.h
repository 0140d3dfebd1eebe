#pragma once

#include <cstdint>

namespace cue {

// The protocol's counts: a session is 360 trials in 9 blocks of 40, in one of three orders of
// the block types.
inline constexpr std::int16_t TOTAL_TRIALS = 360;
inline constexpr std::int16_t TRIALS_PER_BLOCK = 40;
inline constexpr std::int16_t TOTAL_ORDER_CONDITIONS = 3;
inline constexpr std::int16_t kBlocks = TOTAL_TRIALS / TRIALS_PER_BLOCK;

}  // namespace cue
