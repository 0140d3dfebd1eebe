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

// Puts whole frames on the screen at display refreshes and tells when each one appeared. The
// frames themselves are drawn by the toolkit side; the core names the refresh a change is for,
// says when the changes of a step are complete, and learns onsets. Callbacks run on the event
// loop, never inside the call.
//
// One frame per refresh: the changes made for one refresh (a field and its first flicker
// swap, say) go to the screen together, never as two frames the server could show in either
// order.
class Presenter {
 public:
  using Done = std::function<void(Refresh)>;

  virtual ~Presenter() = default;
  // True when the display server reports each frame's refresh; false on the fallback, where
  // frames are painted by the toolkit whenever it paints and nothing below is meaningful.
  virtual bool FrameAccurate() const = 0;
  // The next frame goes to refresh msc (0: the next refresh, or the one the frame sent before
  // it goes to if that is later: a frame never overtakes an earlier one). A wait that ends in
  // a change of screen names its refresh here before the change is drawn.
  virtual void SetNextTarget(std::uint64_t msc) = 0;
  // The changes drawn since the last frame go out now, as one frame for the named refresh, and
  // the target is cleared. Returns when the frame was sent (µs of the Clock), 0 when there was
  // nothing to send. Changes not sent this way go out when the event loop next turns.
  virtual std::uint64_t SendFrame() = 0;
  // Reads the display's reports that have arrived (their callbacks run), without waiting.
  virtual void Poll() = 0;
  // The latest refresh the server has reported.
  virtual Refresh LastRefresh() const = 0;
  // The refresh the latest frame was sent for (its onset, unless it came late): the onset of
  // the screen being shown, from which the next wait counts.
  virtual std::uint64_t LastQueued() const = 0;
  // The display's refresh period (µs); 0 until measured.
  virtual double PeriodMicros() const = 0;
  // How long before a refresh begins a frame must have been sent to be shown at it, as
  // measured on this display (µs); 0 until measured.
  virtual double DeadlineMicros() const = 0;
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
