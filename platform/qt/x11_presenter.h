#pragma once

#include <QObject>
#include <QRect>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/presenter.h"

class QImage;
class QSocketNotifier;
struct xcb_connection_t;
struct xcb_special_event;

namespace cue {

// Frames on an X window through the X Present extension, on a connection of its own: Qt's
// event reader never sees (and never swallows) the Present events, which come through a
// special-event queue read when the connection's socket wakes the event loop.
//
// Each frame is a server pixmap the size of the window, filled by Upload() ahead of its
// refresh; Queue() only asks the server to copy it at that refresh. PresentCompleteNotify
// gives the refresh's MSC and UST. The UST is converted to the program's clock in ToClock():
// the X server stamps refreshes with CLOCK_MONOTONIC in µs (Xvfb's simulated refreshes and
// Xorg's modesetting driver alike, whose stamps are the kernel's vblank times, monotonic),
// and the program's clock is CLOCK_MONOTONIC in µs.
//
// Without an X server with Present 1.0 or later, FrameAccurate() is false and nothing is sent.
class X11Presenter final : public QObject, public Presenter {
 public:
  // displayName: the X display to connect to; empty for $DISPLAY. Connects only when the
  // toolkit itself runs on X11 (platformName "xcb") or when a name is given.
  explicit X11Presenter(const std::string& displayName = {});
  ~X11Presenter() override;
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // Why frames are not presented ("" when they are).
  const std::string& Unavailable() const { return unavailable_; }
  // Draws on this X window from now on and starts measuring the refresh period. The window
  // should be mapped; frames shown before that are lost (the window's expose redraws).
  void Attach(std::uint32_t window);
  // A frame with the image's pixels (RGB32, the window's size). With a base frame, only the
  // changed rectangle is sent (the image differs from the base's nowhere else); the rest is
  // copied from the base inside the server.
  FrameId Upload(const QImage& image, FrameId base = 0, const QRect& changed = {});
  // Queue() that has the server copy only the update rectangle of the frame at its refresh:
  // the window shows the frame queued before, and the two differ nowhere else. The smaller
  // the copy, the sooner after the refresh's stamp the screen holds the frame.
  void Queue(FrameId frame, std::uint64_t targetMsc, Done done, const QRect& update);
  // The smallest rectangle outside which a and b (same size, RGB32) are equal; empty if equal.
  static QRect ChangedRect(const QImage& a, const QImage& b);
  void Release(FrameId frame);

  bool FrameAccurate() const override { return unavailable_.empty(); }
  void Queue(FrameId frame, std::uint64_t targetMsc, Done done) override;
  void SetNextTarget(std::uint64_t msc) override { nextTarget_ = msc; }
  void AtTargetRefresh(Done done) override;
  Refresh LastRefresh() const override { return last_; }
  std::uint64_t LastQueued() const override { return queued_; }
  double PeriodMicros() const override { return period_; }
  std::uint64_t MissedRefreshes() const override { return missed_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  // The one conversion from the server's UST to the program's clock.
  static std::uint64_t ToClock(std::uint64_t ust) { return ust; }

 private:
  struct Pending {
    std::uint64_t target = 0;  // 0: no target, nothing can be missed
    Done done;
  };
  void Drain();
  void Complete(std::uint32_t serial, std::uint64_t msc, std::uint64_t ust);
  void Measure(Refresh refresh);
  void NotifyAt(std::uint64_t msc, Done done);

  xcb_connection_t* connection_ = nullptr;
  xcb_special_event* events_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::string unavailable_;
  std::uint32_t window_ = 0;
  std::uint8_t depth_ = 24;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t nextSerial_ = 1;
  std::uint64_t nextTarget_ = 0;
  std::map<std::uint32_t, Pending> pending_;
  Refresh last_;
  std::uint64_t queued_ = 0;
  std::uint32_t queuedSerial_ = 0;
  std::uint64_t missed_ = 0;
  // The period is measured over MEASURED_REFRESHES refreshes following the first.
  static constexpr int MEASURED_REFRESHES = 30;
  int measuring_ = 0;
  Refresh firstMeasured_;
  double period_ = 0;
};

}  // namespace cue
