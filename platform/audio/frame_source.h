#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/audio/stream_timeline.h"

namespace cue::audio {

// A play taken by the output more than this after it was due (and asked for) belongs to a
// moment that has passed: after a stall, or with a new output taking over, it is dropped.
inline constexpr std::uint64_t kOverdueMicros = 200'000;

// What an output stream plays. Called on the output's thread, block after block in order.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Writes frames [first, first + frames) of the stream (interleaved float stereo) into out.
  // timeline is where the stream stands right now, if the output knows.
  virtual void Render(float* out, std::int64_t first, std::size_t frames,
                      const std::optional<StreamTimeline>& timeline) = 0;
  // Whether nothing is left to play: no sound asked for and not yet placed, none placed that
  // has frames still to render. The output only lengthens its buffer while this holds, so a
  // change of latency never moves a sound already on its way.
  virtual bool Idle() const { return true; }
  // Any thread. The output was stalled (or is new): the next Render drops the plays overdue by
  // more than kOverdueMicros instead of starting them in what is by now another trial.
  virtual void DropOverdue() {}
};

}  // namespace cue::audio
