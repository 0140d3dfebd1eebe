#pragma once

#include <algorithm>
#include <cmath>

namespace cue {

// A trial's lead: how long before the refresh meant for its field its steps start (µs). The
// display's deadline, what the steps are allowed, and a margin on top. The lead stays the same
// from trial to trial (the results file's RT carries it before the field's onset) unless the
// steps' median grows past what they are allowed.
inline constexpr double kLeadMarginMicros = 1000;

// What the steps (the draws, making and sending the field's frame) are allowed, from the
// median of the latest trials' steps: 2 ms, or 1.25 times the median when that is longer, in
// quarter milliseconds.
inline double StepsAllowedMicros(double medianMicros) {
  return std::max(2000.0, std::ceil(1.25 * medianMicros / 250) * 250);
}

}  // namespace cue
