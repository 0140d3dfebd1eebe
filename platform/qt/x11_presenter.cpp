#include "platform/qt/x11_presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/present.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/clock.h"

namespace cue {

namespace {

bool ServerTakesRgb32(const xcb_setup_t* setup, std::uint8_t depth) {
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) return it.data->bits_per_pixel == 32;
  }
  return false;
}

// Full-size pixmaps a frame can be read from while the ones before it wait for their
// refreshes: a frame completes at most a few refreshes after the next one is sent.
constexpr int POOL_SIZE = 4;

}  // namespace

X11Presenter::X11Presenter(const std::string& displayName, Scheduler* scheduler) {
  if (scheduler != nullptr) probeTimer_.emplace(*scheduler);
  if (displayName.empty() && QGuiApplication::platformName() != QStringLiteral("xcb")) {
    unavailable_ = "the display is not an X server";
    return;
  }
  connection_ = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr);
  if (xcb_connection_has_error(connection_) != 0) {
    unavailable_ = "cannot connect to the X server";
    return;
  }
  const xcb_query_extension_reply_t* present = xcb_get_extension_data(connection_, &xcb_present_id);
  if (present == nullptr || present->present == 0) {
    unavailable_ = "the X server has no Present extension";
    return;
  }
  auto* version = xcb_present_query_version_reply(
      connection_,
      xcb_present_query_version(connection_, XCB_PRESENT_MAJOR_VERSION, XCB_PRESENT_MINOR_VERSION),
      nullptr);
  if (version == nullptr) {
    unavailable_ = "the X server's Present extension does not answer";
    return;
  }
  std::free(version);
  // Regions (the part of a frame copied at its refresh) need XFixes 2, which a client must
  // ask for before its first region request.
  auto* fixes = xcb_xfixes_query_version_reply(
      connection_, xcb_xfixes_query_version(connection_, 5, 0), nullptr);
  if (fixes == nullptr || fixes->major_version < 2) unavailable_ = "the X server has no XFixes 2";
  std::free(fixes);
  if (!unavailable_.empty()) return;
  notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
  // The period, from now on, on the root window: Present reports its refreshes without
  // anything being drawn there.
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  const std::uint32_t eid = xcb_generate_id(connection_);
  events_.push_back(xcb_register_for_special_xge(connection_, &xcb_present_id, eid, nullptr));
  xcb_present_select_input(connection_, eid, root_, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  measuring_ = MEASURED_REFRESHES + 1;
  NotifyAt(root_, [this](Refresh r) { Measure(r); });
}

X11Presenter::~X11Presenter() {
  notifier_.reset();
  if (connection_ == nullptr) return;
  for (xcb_special_event* events : events_) xcb_unregister_for_special_event(connection_, events);
  if (shmSegment_ != 0) xcb_shm_detach(connection_, shmSegment_);
  xcb_disconnect(connection_);
  if (shmAddress_ != nullptr) shmdt(shmAddress_);
}

void X11Presenter::Attach(std::uint32_t window) {
  if (!FrameAccurate() || window_ != 0) return;
  auto* geometry =
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
  if (geometry == nullptr) {
    unavailable_ = "the experiment window is gone";
    return;
  }
  depth_ = geometry->depth;
  width_ = geometry->width;
  height_ = geometry->height;
  std::free(geometry);
  if (!ServerTakesRgb32(xcb_get_setup(connection_), depth_)) {
    unavailable_ = "the X server's pixel format is not 32-bit little-endian";
    return;
  }
  window_ = window;
  const std::uint32_t eid = xcb_generate_id(connection_);
  events_.push_back(xcb_register_for_special_xge(connection_, &xcb_present_id, eid, nullptr));
  xcb_present_select_input(connection_, eid, window_, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  gc_ = xcb_generate_id(connection_);
  xcb_create_gc(connection_, gc_, window_, 0, nullptr);
  MakeCanvas();
  // Every pixmap is written once now, so that the server has its memory before the first
  // trial: a fresh full-size pixmap costs page faults at its first use.
  for (int i = 0; i < POOL_SIZE; ++i) {
    Pixmap pixmap{xcb_generate_id(connection_), false};
    xcb_create_pixmap(connection_, depth_, pixmap.id, window_, static_cast<std::uint16_t>(width_),
                      static_cast<std::uint16_t>(height_));
    Put(pixmap.id, canvas_.rect());
    pixmaps_.push_back(pixmap);
  }
  if (shmUnread_) readSync_ = xcb_get_input_focus(connection_).sequence;
  probePixmap_ = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, depth_, probePixmap_, window_, 1, 1);
  CanvasWillChange();
}

// The probes repeat the canvas's corner: they start once a first frame has put the window's
// own pixels there, and the period is known.
void X11Presenter::StartProbing() {
  if (probing_ || !probeTimer_ || period_ <= 0 || queuedSerial_ == 0) return;
  probing_ = true;
  Probe();
}

// The canvas in a shared memory segment where the server offers MIT-SHM (a local display);
// else in the program's memory, sent in requests. Touched whole here, before any frame.
void X11Presenter::MakeCanvas() {
  const std::size_t bytes =
      static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
  if (shm != nullptr && shm->present != 0) {
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (address != reinterpret_cast<void*>(-1)) {
      const std::uint32_t segment = xcb_generate_id(connection_);
      xcb_generic_error_t* error = xcb_request_check(
          connection_,
          xcb_shm_attach_checked(connection_, segment, static_cast<std::uint32_t>(id), 0));
      if (error == nullptr) {
        shmSegment_ = segment;
        shmAddress_ = address;
      } else {
        std::free(error);  // a remote display: no shared memory
        shmdt(address);
      }
    }
    if (id >= 0) shmctl(id, IPC_RMID, nullptr);  // gone once both sides have let go of it
  }
  if (shmAddress_ != nullptr) {
    canvas_ =
        QImage(static_cast<uchar*>(shmAddress_), width_, height_, width_ * 4, QImage::Format_RGB32);
  } else {
    canvas_ = QImage(width_, height_, QImage::Format_RGB32);
    band_.resize(bytes);
  }
  canvas_.fill(Qt::black);
}

// The reply to a request sent after a frame comes once the server has carried out the frame's
// requests; asked for when the frame leaves, it has long arrived when the canvas next changes.
void X11Presenter::CanvasWillChange() {
  if (!shmUnread_) return;
  std::free(
      xcb_get_input_focus_reply(connection_, xcb_get_input_focus_cookie_t{readSync_}, nullptr));
  shmUnread_ = false;
}

// Copies the canvas's rectangle into the pixmap.
void X11Presenter::Put(std::uint32_t pixmap, const QRect& rect) {
  if (shmSegment_ != 0) {
    xcb_shm_put_image(
        connection_, pixmap, gc_, static_cast<std::uint16_t>(width_),
        static_cast<std::uint16_t>(height_), static_cast<std::uint16_t>(rect.x()),
        static_cast<std::uint16_t>(rect.y()), static_cast<std::uint16_t>(rect.width()),
        static_cast<std::uint16_t>(rect.height()), static_cast<std::int16_t>(rect.x()),
        static_cast<std::int16_t>(rect.y()), depth_, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, shmSegment_, 0);
    shmUnread_ = true;
    return;
  }
  // A request holds at most the server's maximum length: the rectangle goes in bands of rows.
  const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
  const std::size_t maxBytes =
      static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 64;
  const int bandRows =
      std::max(1, static_cast<int>(std::min<std::size_t>(maxBytes / rowBytes, 256)));
  for (int y = rect.top(); y <= rect.bottom(); y += bandRows) {
    const int rows = std::min(bandRows, rect.bottom() + 1 - y);
    for (int r = 0; r < rows; ++r) {
      std::memcpy(band_.data() + static_cast<std::size_t>(r) * rowBytes,
                  canvas_.constScanLine(y + r) + rect.x() * 4, rowBytes);
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc_,
                  static_cast<std::uint16_t>(rect.width()), static_cast<std::uint16_t>(rows),
                  static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(y), 0, depth_,
                  static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)),
                  band_.data());
  }
}

// Measures the period from consecutive refreshes, one NotifyMSC at a time.
void X11Presenter::Measure(Refresh refresh) {
  if (measuring_ == MEASURED_REFRESHES + 1) firstMeasured_ = refresh;
  if (--measuring_ > 0) {
    NotifyAt(root_, [this](Refresh r) { Measure(r); });
    return;
  }
  if (refresh.msc > firstMeasured_.msc) {
    period_ = static_cast<double>(refresh.micros - firstMeasured_.micros) /
              static_cast<double>(refresh.msc - firstMeasured_.msc);
  }
  StartProbing();
}

std::uint64_t X11Presenter::Fitted(std::uint64_t msc) const {
  if (period_ <= 0 || msc < firstMeasured_.msc) return last_.micros;
  return static_cast<std::uint64_t>(static_cast<double>(firstMeasured_.micros) +
                                    static_cast<double>(msc - firstMeasured_.msc) * period_ +
                                    phase_);
}

std::uint64_t X11Presenter::NextRefresh() const {
  std::uint64_t next = last_.msc + 1;
  if (period_ > 0) {
    const double now = static_cast<double>(SteadyClock().Micros());
    next += static_cast<std::uint64_t>(
        std::max(0.0, (now - static_cast<double>(Fitted(last_.msc))) / period_));
  }
  return next;
}

int X11Presenter::FreePixmap() {
  for (std::size_t i = 0; i < pixmaps_.size(); ++i) {
    if (!pixmaps_[i].busy) return static_cast<int>(i);
  }
  // Frames are sent faster than the display shows them: one more pixmap, once.
  Pixmap pixmap{xcb_generate_id(connection_), false};
  xcb_create_pixmap(connection_, depth_, pixmap.id, window_, static_cast<std::uint16_t>(width_),
                    static_cast<std::uint16_t>(height_));
  pixmaps_.push_back(pixmap);
  return static_cast<int>(pixmaps_.size() - 1);
}

std::uint64_t X11Presenter::TakeNextTarget() { return std::exchange(nextTarget_, 0); }

void X11Presenter::Present(const QRegion& region, std::uint64_t targetMsc, Done done) {
  if (window_ == 0) return;
  // The next refresh, and never one a frame on its way goes to.
  std::uint64_t next = NextRefresh();
  if (framesInFlight_ > 0) next = std::max(next, queued_ + 1);
  const std::uint64_t msc = std::max(targetMsc, next);
  const int pixmap = FreePixmap();
  pixmaps_[static_cast<std::size_t>(pixmap)].busy = true;
  ++framesInFlight_;
  const std::uint32_t serial = nextSerial_++;
  pending_[serial] = Pending{targetMsc, pixmap, std::move(done)};
  queued_ = msc;
  queuedSerial_ = serial;
  // An empty region (the same frame again) still copies a pixel, so that the frame has a
  // refresh to report.
  const QRegion update = (region.isEmpty() ? QRegion(0, 0, 1, 1) : region) & canvas_.rect();
  // A field's labels make a region of a hundred and more bands: sent as one rectangle, copied
  // at the refresh band by band.
  if (update.rectCount() > 16) {
    Put(pixmaps_[static_cast<std::size_t>(pixmap)].id, update.boundingRect());
  } else {
    for (const QRect& rect : update) Put(pixmaps_[static_cast<std::size_t>(pixmap)].id, rect);
  }
  std::vector<xcb_rectangle_t> rectangles;
  for (const QRect& rect : update) {
    rectangles.push_back({static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
                          static_cast<std::uint16_t>(rect.width()),
                          static_cast<std::uint16_t>(rect.height())});
  }
  const xcb_xfixes_region_t parts = xcb_generate_id(connection_);
  xcb_xfixes_create_region(connection_, parts, static_cast<std::uint32_t>(rectangles.size()),
                           rectangles.data());
  xcb_present_pixmap(connection_, window_, pixmaps_[static_cast<std::size_t>(pixmap)].id, serial, 0,
                     parts, 0, 0, 0, 0, 0, XCB_PRESENT_OPTION_COPY, msc, 0, 0, 0, nullptr);
  xcb_xfixes_destroy_region(connection_, parts);
  if (shmUnread_) readSync_ = xcb_get_input_focus(connection_).sequence;
  xcb_flush(connection_);
  Drain();  // events read while writing wait in the queue without waking the notifier
  StartProbing();
}

void X11Presenter::NotifyAt(std::uint32_t window, Done done) {
  const std::uint32_t serial = nextSerial_++;
  pending_[serial] = Pending{0, -1, std::move(done)};
  xcb_present_notify_msc(connection_, window, serial, 0, 1, 0);
  xcb_flush(connection_);
  Drain();
}

// The deadline is searched by halving: a one-pixel frame that repeats the window's corner
// (the background on every screen) is sent lead µs before the refresh after next, timed by
// the scheduler; whether it made that refresh narrows the range. The lead used is the one
// really achieved, read when the frame leaves.
void X11Presenter::Probe() {
  if (probeLead_ == 0) {
    madeLead_ = 1.5 * period_;
    missedLead_ = 0;
    probeLead_ = madeLead_ / 2;
  }
  const std::uint64_t target = last_.msc + 2;
  const double at = TimeOfRefresh(*this, target) - probeLead_;
  probeTimer_->StartAt(static_cast<std::uint64_t>(std::max(0.0, at)), [this, target] {
    const double lead = TimeOfRefresh(*this, target) - static_cast<double>(SteadyClock().Micros());
    const std::uint32_t pixel = canvas_.pixel(0, 0);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, probePixmap_, gc_, 1, 1, 0, 0, 0, depth_,
                  4, reinterpret_cast<const std::uint8_t*>(&pixel));
    const std::uint32_t serial = nextSerial_++;
    pending_[serial] = Pending{0, -1, [this, target, lead](Refresh r) {
                                 probeLead_ = lead;
                                 Probed(r.msc <= target);
                               }};
    const xcb_rectangle_t corner{0, 0, 1, 1};
    const xcb_xfixes_region_t update = xcb_generate_id(connection_);
    xcb_xfixes_create_region(connection_, update, 1, &corner);
    xcb_present_pixmap(connection_, window_, probePixmap_, serial, 0, update, 0, 0, 0, 0, 0,
                       XCB_PRESENT_OPTION_COPY, target, 0, 0, 0, nullptr);
    xcb_xfixes_destroy_region(connection_, update);
    xcb_flush(connection_);
    Drain();
  });
}

// Stops when the range is a quarter of a millisecond wide and its long end has made its
// refresh twice running (a miss there lengthens it), or after MAX_PROBES: a busy machine
// sends probes late, and the long end is then what it has shown to make.
void X11Presenter::Probed(bool made) {
  if (++probes_ >= MAX_PROBES) {
    deadline_ = madeLead_;
    return;
  }
  if (made) {
    madeLead_ = std::min(madeLead_, probeLead_);
  } else {
    missedLead_ = std::max(missedLead_, probeLead_);
    if (missedLead_ >= madeLead_) madeLead_ = missedLead_ + 500;
    probeRepeats_ = 0;
  }
  if (madeLead_ - missedLead_ <= 250) {
    if (made && ++probeRepeats_ >= 2) {
      deadline_ = madeLead_;
      return;
    }
    probeLead_ =
        madeLead_ + 50;  // just long of the range, so that timer lateness cannot undercut it
  } else {
    probeLead_ = (madeLead_ + missedLead_) / 2;
  }
  Probe();
}

void X11Presenter::Drain() {
  if (connection_ == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);  // errors
  for (xcb_special_event* queue : events_) {
    while (xcb_generic_event_t* event = xcb_poll_for_special_event(connection_, queue)) {
      const auto* ge = reinterpret_cast<const xcb_present_generic_event_t*>(event);
      if (ge->evtype == XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
        const auto* complete = reinterpret_cast<const xcb_present_complete_notify_event_t*>(event);
        Complete(complete->serial, complete->msc, complete->ust);
      }
      std::free(event);
    }
  }
}

void X11Presenter::Complete(std::uint32_t serial, std::uint64_t msc, std::uint64_t ust) {
  const Refresh refresh{msc, ToClock(ust)};
  if (msc >= last_.msc) last_ = refresh;
  // The first measurement names the rate before the first screen; every later refresh
  // lengthens its baseline, so that refreshes counted ahead from it do not drift.
  if (period_ > 0 && msc > firstMeasured_.msc + MEASURED_REFRESHES) {
    period_ = static_cast<double>(refresh.micros - firstMeasured_.micros) /
              static_cast<double>(msc - firstMeasured_.msc);
  }
  if (period_ > 0 && msc >= firstMeasured_.msc) {
    const double residual = static_cast<double>(refresh.micros) -
                            static_cast<double>(firstMeasured_.micros) -
                            static_cast<double>(msc - firstMeasured_.msc) * period_;
    constexpr std::size_t kept = 64;
    if (residuals_.size() < kept) {
      residuals_.push_back(residual);
    } else {
      residuals_[nextResidual_++ % kept] = residual;
    }
    phase_ = *std::min_element(residuals_.begin(), residuals_.end());
  }
  const auto it = pending_.find(serial);
  if (it == pending_.end()) return;
  Pending pending = std::move(it->second);
  pending_.erase(it);
  if (pending.pixmap >= 0) {
    pixmaps_[static_cast<std::size_t>(pending.pixmap)].busy = false;
    --framesInFlight_;
  }
  if (pending.target != 0 && msc > pending.target) missed_ += msc - pending.target;
  if (serial == queuedSerial_) queued_ = msc;
  if (pending.done) pending.done(refresh);
}

}  // namespace cue
