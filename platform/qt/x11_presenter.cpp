#include "platform/qt/x11_presenter.h"

#include <xcb/present.h>
#include <xcb/xfixes.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QRect>
#include <QSocketNotifier>

#include "platform/clock.h"
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace cue {

namespace {

bool ServerTakesRgb32(const xcb_setup_t* setup, std::uint8_t depth) {
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) return it.data->bits_per_pixel == 32;
  }
  return false;
}

}  // namespace

QRect X11Presenter::ChangedRect(const QImage& a, const QImage& b) {
  const int w = a.width();
  int top = -1, bottom = -1, left = w, right = -1;
  for (int y = 0; y < a.height(); ++y) {
    const auto* ra = reinterpret_cast<const std::uint32_t*>(a.constScanLine(y));
    const auto* rb = reinterpret_cast<const std::uint32_t*>(b.constScanLine(y));
    if (std::equal(ra, ra + w, rb)) continue;
    if (top < 0) top = y;
    bottom = y;
    int x = 0;
    while (x < left && ra[x] == rb[x]) ++x;
    left = std::min(left, x);
    int r = w - 1;
    while (r > right && ra[r] == rb[r]) --r;
    right = std::max(right, r);
  }
  if (top < 0) return {};
  return QRect(left, top, right - left + 1, bottom - top + 1);
}

X11Presenter::X11Presenter(const std::string& displayName) {
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
      connection_, xcb_present_query_version(connection_, XCB_PRESENT_MAJOR_VERSION, XCB_PRESENT_MINOR_VERSION),
      nullptr);
  if (version == nullptr) {
    unavailable_ = "the X server's Present extension does not answer";
    return;
  }
  std::free(version);
  // Regions (the part of a frame copied at its refresh) need XFixes 2, which a client must
  // ask for before its first region request.
  auto* fixes = xcb_xfixes_query_version_reply(connection_, xcb_xfixes_query_version(connection_, 5, 0), nullptr);
  if (fixes == nullptr || fixes->major_version < 2) unavailable_ = "the X server has no XFixes 2";
  std::free(fixes);
}

X11Presenter::~X11Presenter() {
  notifier_.reset();
  if (connection_ == nullptr) return;
  if (events_ != nullptr) xcb_unregister_for_special_event(connection_, events_);
  xcb_disconnect(connection_);
}

void X11Presenter::Attach(std::uint32_t window) {
  if (!FrameAccurate() || window_ != 0) return;
  auto* geometry = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
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
  events_ = xcb_register_for_special_xge(connection_, &xcb_present_id, eid, nullptr);
  xcb_present_select_input(connection_, eid, window_, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
  measuring_ = MEASURED_REFRESHES + 1;
  NotifyAt(0, [this](Refresh r) { Measure(r); });
}

// Measures the period from consecutive refreshes, one NotifyMSC at a time.
void X11Presenter::Measure(Refresh refresh) {
  if (measuring_ == MEASURED_REFRESHES + 1) firstMeasured_ = refresh;
  if (--measuring_ > 0) {
    NotifyAt(0, [this](Refresh r) { Measure(r); });
    return;
  }
  if (refresh.msc > firstMeasured_.msc) {
    period_ = static_cast<double>(refresh.micros - firstMeasured_.micros) /
              static_cast<double>(refresh.msc - firstMeasured_.msc);
  }
}

X11Presenter::FrameId X11Presenter::Upload(const QImage& source, FrameId base, const QRect& changedRect) {
  if (window_ == 0) return 0;
  QImage image = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
  if (image.width() != width_ || image.height() != height_) image = image.copy(0, 0, width_, height_);
  const xcb_pixmap_t pixmap = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, depth_, pixmap, window_, static_cast<std::uint16_t>(width_),
                    static_cast<std::uint16_t>(height_));
  const xcb_gcontext_t gc = xcb_generate_id(connection_);
  xcb_create_gc(connection_, gc, pixmap, 0, nullptr);
  QRect changed(0, 0, width_, height_);
  if (base != 0) {
    changed = changedRect.intersected(changed);
    xcb_copy_area(connection_, base, pixmap, gc, 0, 0, 0, 0, static_cast<std::uint16_t>(width_),
                  static_cast<std::uint16_t>(height_));
  }
  // A request holds at most the server's maximum length: the rectangle goes in bands of rows.
  const std::size_t rowBytes = static_cast<std::size_t>(changed.width()) * 4;
  const std::size_t maxBytes = static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 64;
  const int bandRows = rowBytes == 0 ? 1 : std::max(1, static_cast<int>(std::min<std::size_t>(maxBytes / rowBytes, 256)));
  QImage band;
  for (int y = changed.top(); y <= changed.bottom(); y += bandRows) {
    const int rows = std::min(bandRows, changed.bottom() + 1 - y);
    band = image.copy(changed.left(), y, changed.width(), rows);
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<std::uint16_t>(changed.width()),
                  static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(changed.left()),
                  static_cast<std::int16_t>(y), 0, depth_, static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows)),
                  band.constBits());
  }
  xcb_free_gc(connection_, gc);
  xcb_flush(connection_);
  Drain();  // events read while writing wait in the queue without waking the notifier
  return pixmap;
}

void X11Presenter::Release(FrameId frame) {
  if (frame == 0 || connection_ == nullptr) return;
  xcb_free_pixmap(connection_, frame);  // a copy still queued keeps the server's reference
  xcb_flush(connection_);
}

void X11Presenter::Queue(FrameId frame, std::uint64_t targetMsc, Done done) {
  Queue(frame, targetMsc, std::move(done), QRect(0, 0, width_, height_));
}

void X11Presenter::Queue(FrameId frame, std::uint64_t targetMsc, Done done, const QRect& update) {
  if (window_ == 0 || frame == 0) return;
  if (targetMsc == 0) targetMsc = std::exchange(nextTarget_, 0);
  const std::uint32_t serial = nextSerial_++;
  pending_[serial] = Pending{targetMsc, std::move(done)};
  if (targetMsc == 0 && period_ > 0) {  // the next refresh, as far as the period tells
    const double now = static_cast<double>(SteadyClock().Micros());
    const std::uint64_t next =
        last_.msc + 1 + static_cast<std::uint64_t>(std::max(0.0, (now - static_cast<double>(last_.micros)) / period_));
    if (queued_ > next) targetMsc = queued_;  // never ahead of the frame queued before
    queued_ = std::max(next, queued_);
  } else {
    queued_ = targetMsc;
  }
  queuedSerial_ = serial;
  // The server keeps its own copy of the update region: it can go at once. An empty one (the
  // same frame again) still copies a pixel, so that the frame has a refresh to report.
  const QRect copied = update.isEmpty() ? QRect(0, 0, 1, 1) : update;
  const xcb_rectangle_t rectangle{static_cast<std::int16_t>(copied.x()), static_cast<std::int16_t>(copied.y()),
                                  static_cast<std::uint16_t>(copied.width()), static_cast<std::uint16_t>(copied.height())};
  const xcb_xfixes_region_t region = xcb_generate_id(connection_);
  xcb_xfixes_create_region(connection_, region, 1, &rectangle);
  // Without a target: the next refresh (divisor 1, remainder 0 is "the next MSC after now").
  xcb_present_pixmap(connection_, window_, frame, serial, 0, region, 0, 0, 0, 0, 0, XCB_PRESENT_OPTION_COPY,
                     targetMsc, targetMsc == 0 ? 1 : 0, 0, 0, nullptr);
  xcb_xfixes_destroy_region(connection_, region);
  xcb_flush(connection_);
  Drain();
}

void X11Presenter::AtTargetRefresh(Done done) { NotifyAt(nextTarget_, std::move(done)); }

void X11Presenter::NotifyAt(std::uint64_t msc, Done done) {
  if (window_ == 0) return;
  const std::uint32_t serial = nextSerial_++;
  pending_[serial] = Pending{0, std::move(done)};
  xcb_present_notify_msc(connection_, window_, serial, msc, msc == 0 ? 1 : 0, 0);
  xcb_flush(connection_);
  Drain();
}

void X11Presenter::Drain() {
  if (connection_ == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);  // errors
  if (events_ == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_special_event(connection_, events_)) {
    const auto* ge = reinterpret_cast<const xcb_present_generic_event_t*>(event);
    if (ge->evtype == XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
      const auto* complete = reinterpret_cast<const xcb_present_complete_notify_event_t*>(event);
      Complete(complete->serial, complete->msc, complete->ust);
    }
    std::free(event);
  }
}

void X11Presenter::Complete(std::uint32_t serial, std::uint64_t msc, std::uint64_t ust) {
  const Refresh refresh{msc, ToClock(ust)};
  if (msc >= last_.msc) last_ = refresh;
  // The first measurement names the rate before the first trial; every later refresh
  // lengthens its baseline, so that refreshes counted ahead from it do not drift.
  if (period_ > 0 && msc > firstMeasured_.msc + MEASURED_REFRESHES) {
    period_ = static_cast<double>(refresh.micros - firstMeasured_.micros) / static_cast<double>(msc - firstMeasured_.msc);
  }
  const auto it = pending_.find(serial);
  if (it == pending_.end()) return;
  Pending pending = std::move(it->second);
  pending_.erase(it);
  if (pending.target != 0 && msc > pending.target) missed_ += msc - pending.target;
  if (serial == queuedSerial_) queued_ = msc;
  if (pending.done) pending.done(refresh);
}

}  // namespace cue
