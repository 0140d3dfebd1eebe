#pragma once

#include <QImage>
#include <QObject>
#include <QRegion>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/presenter.h"
#include "platform/scheduler.h"

class QSocketNotifier;
struct xcb_connection_t;
struct xcb_special_event;

namespace cue {

// Frames on an X window through the X Present extension, on a connection of its own: Qt's
// event reader never sees (and never swallows) the Present events, which come through a
// special-event queue read when the connection's socket wakes the event loop.
//
// The window's pixels live in one canvas image, which the toolkit side draws into and which
// the X server reads directly (MIT-SHM) where it can. A frame is the part of the canvas that
// changed: it is put into a server pixmap from a pool made at Attach() (nothing large is
// allocated after it), and the server copies only that part onto the window at the frame's
// refresh. PresentCompleteNotify gives the refresh's MSC and UST. The UST is converted to the
// program's clock in ToClock(): the X server stamps refreshes with CLOCK_MONOTONIC in µs
// (Xvfb's simulated refreshes and Xorg's modesetting driver alike, whose stamps are the
// kernel's vblank times, monotonic), and the program's clock is CLOCK_MONOTONIC in µs.
//
// The refresh period is measured from construction on, on the screen's root window (nothing
// is drawn there), so that the first pause is counted in refreshes like every other. The
// deadline (how long before a refresh a frame must be sent to be shown at it) is measured
// from Attach() on, with one-pixel frames that repeat what the window already shows.
//
// Without an X server with Present 1.0 or later, FrameAccurate() is false and nothing is sent.
class X11Presenter final : public QObject, public Presenter {
 public:
  // displayName: the X display to connect to; empty for $DISPLAY. Connects only when the
  // toolkit itself runs on X11 (platformName "xcb") or when a name is given. scheduler times
  // the deadline's probes; without one the deadline stays unmeasured.
  explicit X11Presenter(const std::string& displayName = {}, Scheduler* scheduler = nullptr);
  ~X11Presenter() override;
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // Why frames are not presented ("" when they are).
  const std::string& Unavailable() const { return unavailable_; }
  // Draws on this X window from now on: makes the canvas and the pixmaps; the deadline is
  // measured from the first frame on. The window should be mapped; frames shown before that
  // are lost.
  void Attach(std::uint32_t window);
  bool SharedMemory() const { return shmSegment_ != 0; }

  // The window's pixels as the next frame shows them (RGB32, the window's size; null before
  // Attach). Call CanvasWillChange() before every change.
  QImage& Canvas() { return canvas_; }
  // Waits, if it must, until the server has read the last frame out of the canvas.
  void CanvasWillChange();
  // Sends the canvas's region as a frame for targetMsc (0: the next refresh). A frame never
  // overtakes one sent before it, and never shares a refresh with one still on its way (it
  // goes a refresh later instead): the server would show the two in either order. done gets
  // the refresh the frame really appeared at; a later one than asked counts as missed.
  void Present(const QRegion& region, std::uint64_t targetMsc, Done done);
  // What SendFrame() calls to send the changes drawn so far (the window's frame maker).
  void SetFrameSender(std::function<std::uint64_t()> sender) { sender_ = std::move(sender); }
  // The target SetNextTarget() named, which the frame about to be sent takes (and clears).
  std::uint64_t TakeNextTarget();

  bool FrameAccurate() const override { return unavailable_.empty(); }
  void SetNextTarget(std::uint64_t msc) override { nextTarget_ = msc; }
  std::uint64_t SendFrame() override { return sender_ ? sender_() : 0; }
  void Poll() override { Drain(); }
  // The latest refresh reported, at the moment the refreshes' line puts it (see Fitted()).
  Refresh LastRefresh() const override { return {last_.msc, Fitted(last_.msc)}; }
  // Before the first frame: the next refresh, the earliest the first frame can come.
  std::uint64_t LastQueued() const override { return queuedSerial_ != 0 ? queued_ : NextRefresh(); }
  double PeriodMicros() const override { return period_; }
  double DeadlineMicros() const override { return deadline_; }
  std::uint64_t MissedRefreshes() const override { return missed_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  // The one conversion from the server's UST to the program's clock.
  static std::uint64_t ToClock(std::uint64_t ust) { return ust; }

 private:
  struct Pending {
    std::uint64_t target = 0;  // 0: no target, nothing can be missed
    int pixmap = -1;           // the pool's pixmap the frame is read from, -1: none
    Done done;
  };
  struct Pixmap {
    std::uint32_t id = 0;
    bool busy = false;  // a frame read from it has not completed yet
  };
  void Drain();
  void Complete(std::uint32_t serial, std::uint64_t msc, std::uint64_t ust);
  void Measure(Refresh refresh);
  // When refresh msc begins, from the line through the reports: their slope (the period, over
  // the longest baseline) and their earliest offset from it over the last reports. A single
  // report can come late (Xvfb stamps a simulated refresh when its timer fires, up to a
  // millisecond and more after the refresh); the line does not.
  std::uint64_t Fitted(std::uint64_t msc) const;
  // The next refresh to begin, as far as the reports and the period tell.
  std::uint64_t NextRefresh() const;
  void NotifyAt(std::uint32_t window, Done done);
  int FreePixmap();
  void Put(std::uint32_t pixmap, const QRect& rect);
  void MakeCanvas();
  // The deadline's probes: a one-pixel frame sent lead µs before the refresh after next.
  void StartProbing();
  void Probe();
  void Probed(bool made);

  xcb_connection_t* connection_ = nullptr;
  std::vector<xcb_special_event*> events_;  // the root window's and the experiment window's
  std::unique_ptr<QSocketNotifier> notifier_;
  std::optional<Timer> probeTimer_;  // on the scheduler given; cancelled with the presenter
  std::function<std::uint64_t()> sender_;
  std::string unavailable_;
  std::uint32_t root_ = 0;
  std::uint32_t window_ = 0;
  std::uint32_t gc_ = 0;
  std::uint8_t depth_ = 24;
  int width_ = 0;
  int height_ = 0;
  QImage canvas_;
  std::uint32_t shmSegment_ = 0;  // the canvas's segment on the server; 0: plain requests
  void* shmAddress_ = nullptr;
  bool shmUnread_ = false;          // a frame was sent from the canvas since the last sync
  unsigned readSync_ = 0;           // the request whose reply says the server has read it
  std::vector<std::uint8_t> band_;  // rows of a frame, without shared memory
  std::vector<Pixmap> pixmaps_;
  std::uint32_t probePixmap_ = 0;
  std::uint32_t nextSerial_ = 1;
  std::uint64_t nextTarget_ = 0;
  std::map<std::uint32_t, Pending> pending_;
  int framesInFlight_ = 0;
  Refresh last_;
  std::uint64_t queued_ = 0;
  std::uint32_t queuedSerial_ = 0;
  std::uint64_t missed_ = 0;
  // The period is measured over MEASURED_REFRESHES refreshes following the first.
  static constexpr int MEASURED_REFRESHES = 30;
  int measuring_ = 0;
  Refresh firstMeasured_;
  double period_ = 0;
  std::vector<double> residuals_;  // the last reports' offsets from the line (µs), a ring
  std::size_t nextResidual_ = 0;
  double phase_ = 0;  // the earliest of them
  // The deadline's search: leads tried from long to short; the shortest that made its
  // refresh (twice) and the longest that did not bound the deadline.
  double deadline_ = 0;
  double probeLead_ = 0;
  double madeLead_ = 0;
  double missedLead_ = 0;
  int probeRepeats_ = 0;
  int probes_ = 0;
  bool probing_ = false;
  static constexpr int MAX_PROBES = 40;
};

}  // namespace cue
