#pragma once

#include <cstdint>
#include <functional>

namespace cue {

// A refresh of the display: its count (MSC, one per refresh since some origin) and the moment
// it began, in microseconds of the program's Clock.
struct Refresh {
  std::uint64_t msc = 0;
  std::uint64_t micros = 0;
};

// The refreshes between the pause-ending refresh at which a trial's steps run and its field's
// first refresh: the steps, the drawing and the copy to the server fit in this many (at 60 Hz,
// 33 ms; one refresh was too few on a busy two-core machine).
inline constexpr std::uint64_t FIELD_LEAD_REFRESHES = 2;

// Puts whole frames on the screen at display refreshes and tells when each one appeared. The
// frames themselves are made by the toolkit side (a frame is an id here); the core asks for
// refreshes and learns onsets. Callbacks run on the event loop, never inside the call.
class Presenter {
 public:
  using FrameId = std::uint32_t;  // 0 is never a frame
  using Done = std::function<void(Refresh)>;

  virtual ~Presenter() = default;
  // True when the display server reports each frame's refresh; false on the fallback, where
  // frames are painted by the toolkit whenever it paints and nothing below is meaningful.
  virtual bool FrameAccurate() const = 0;
  // Shows frame from refresh targetMsc on (0: the next refresh, or the one the frame queued
  // before it goes to if that is later: a frame never overtakes an earlier one); done gets the
  // refresh it really appeared at. A later MSC than targetMsc counts as missed refreshes.
  virtual void Queue(FrameId frame, std::uint64_t targetMsc, Done done) = 0;
  // The next frame queued without a target (0) goes to refresh msc instead: a wait that ends
  // in a change of screen names its refresh here before the change is drawn.
  virtual void SetNextTarget(std::uint64_t msc) = 0;
  // Runs done at the beginning of the refresh SetNextTarget() named (which it leaves set), or
  // of the next refresh when none is named; at once, with the refresh under way, when the named
  // one has begun.
  virtual void AtTargetRefresh(Done done) = 0;
  // The latest refresh the server has reported.
  virtual Refresh LastRefresh() const = 0;
  // The refresh the latest frame was queued for (its onset, unless it came late): the onset
  // of the screen being shown, from which the next wait counts.
  virtual std::uint64_t LastQueued() const = 0;
  // The display's refresh period measured over the first refreshes (µs); 0 until measured.
  virtual double PeriodMicros() const = 0;
  // Refreshes that frames came late by, all frames since the start.
  virtual std::uint64_t MissedRefreshes() const = 0;
  // The screen's size in pixels (0 x 0 until known).
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// When refresh msc begins (µs of the Clock), from the latest reported one and the period.
inline double TimeOfRefresh(const Presenter& presenter, std::uint64_t msc) {
  const Refresh last = presenter.LastRefresh();
  return static_cast<double>(last.micros) +
         (static_cast<double>(msc) - static_cast<double>(last.msc)) * presenter.PeriodMicros();
}

}  // namespace cue
