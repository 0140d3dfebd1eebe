#pragma once

#include <algorithm>
#include <cstdint>

namespace cue::audio {

// Where an output stream stands against the monotonic clock at one moment. Frames are
// counted from the first frame ever written to the stream; frame f reaches the output at
// originMicros + f / rate seconds, in microseconds of SteadyClock.
// REQUIRES: rate > 0.
struct StreamTimeline {
  std::int64_t originMicros = 0;  // when frame 0 was (or would have been) at the output
  std::int64_t nowMicros = 0;     // the moment the timeline was read
  int rate = 44100;               // frames per second

  // When frame reaches the output, rounded down to the microsecond.
  std::int64_t MicrosOf(std::int64_t frame) const {
    return originMicros + FloorDiv(frame * 1'000'000, rate);
  }

  // The first frame that reaches the output at or after micros (never before frame 0).
  std::int64_t FirstFrameAt(std::int64_t micros) const {
    const std::int64_t span = micros - originMicros;
    if (span <= 0) return 0;
    return (span * rate + 999'999) / 1'000'000;
  }

  // The frame at the output when the timeline was read, or the next one.
  std::int64_t FrameNow() const { return FirstFrameAt(nowMicros); }

 private:
  static std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
  }
};

}  // namespace cue::audio
