#pragma once

#include <string>
#include <vector>

namespace cue::bench {

// What the measuring method itself adds, measured on a small window of the benchmark's own
// before the experiment starts (µs):
//   damage: a drawing request leaves one connection -> its damage report wakes another;
//   key:    an XTest key press leaves one connection -> the focused window's client wakes.
// Both bound from above the X server's part of the photodiode's and the robot's delays.
struct XMethodDelays {
  std::vector<double> damage;
  std::vector<double> key;
  std::string error;
};

XMethodDelays MeasureXMethod(int samples);

}  // namespace cue::bench
