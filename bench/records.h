#pragma once

#include <cstdint>
#include <vector>

#include "bench/screen_state.h"

namespace cue::bench {

// What the instruments record. All times are µs of CLOCK_MONOTONIC, the clock of the
// program's timing log.

// A screen state and when it appeared.
struct Seen {
  std::int64_t at = 0;       // when the X server's damage report of the change woke us
  std::int64_t grabbed = 0;  // when the frame that shows it had been copied and classified
  ScreenState state;
};

// A key the robot pressed: press and release sent together.
struct KeySent {
  int tag = 0;               // the caller's label (the benchmark: the trial, or 0 for space)
  char key = 0;              // 'm', 'n', ' ', ...
  std::int64_t due = 0;      // when it was asked for
  std::int64_t sent = 0;     // just before the request left for the X server
  std::int64_t flushed = 0;  // when the write returned
};

// Where the recording of the sink's monitor stood at one timing report of the sound
// server: at `at`, the sink was playing the recording's position streamMicros (frame f is at
// position f * 1e6 / rate).
struct CaptureAnchor {
  std::int64_t at = 0;
  double streamMicros = 0;
  std::int64_t sinkMicros = 0;  // the sink's latency then (what the monitor runs ahead)
  double Offset() const { return static_cast<double>(at) - streamMicros; }
};

// The reports that describe a running sink: data flowing (a position past 0) and a sink
// latency below 100 ms (an idle null sink renders up to 2 s ahead in one go and says so),
// sorted by position.
std::vector<CaptureAnchor> UsableAnchors(const std::vector<CaptureAnchor>& anchors);

// When frame was at the sink's output: its position plus the offset (at - position)
// interpolated between the two reports around that position (the nearest one beyond the
// ends). Local, because the null sink's clock does not keep the monotonic clock's rate
// exactly: it advances by whole microseconds per block it renders, so it runs fast by a few
// hundred ppm. REQUIRES: anchors from UsableAnchors, non-empty; rate > 0.
double FrameMicros(std::int64_t frame, int rate, const std::vector<CaptureAnchor>& anchors);

}  // namespace cue::bench
