#include "platform/qt/x11_key_arrivals.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"

namespace cue {

void X11KeyArrivals::Disconnect::operator()(xcb_connection_t* connection) const {
  xcb_disconnect(connection);
}

X11KeyArrivals::X11KeyArrivals(const std::string& displayName)
    : connection_(xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), nullptr)) {
  // A failed connection is an object too, freed by xcb_disconnect like a working one.
  if (xcb_connection_has_error(connection_.get()) != 0) connection_.reset();
}

// The thread stops before the connection and the eventfd it polls are closed (members).
X11KeyArrivals::~X11KeyArrivals() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    (void)!::write(wake_.get(), &one, sizeof one);
    thread_.join();
  }
}

void X11KeyArrivals::Watch(std::uint32_t window) {
  if (connection_ == nullptr || thread_.joinable()) return;
  wake_.Reset(::eventfd(0, EFD_CLOEXEC));
  if (!wake_.valid()) return;
  const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
  xcb_change_window_attributes(connection_.get(), window, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection_.get());
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void X11KeyArrivals::Run() {
  const SteadyClock clock;
  xcb_connection_t* const connection = connection_.get();
  pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
  while (::poll(fds, 2, -1) >= 0 || errno == EINTR) {
    const std::uint64_t arrived = clock.Micros();  // first: the stamp is the event's arrival
    if (fds[1].revents != 0 || xcb_connection_has_error(connection) != 0) break;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      if ((event->response_type & 0x7F) == XCB_KEY_PRESS) {
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        const std::lock_guard lock(mutex_);
        stamps_[next_++ % kKept] = Stamp{press->time, press->detail, arrived};
      }
      std::free(event);
    }
    stamped_.notify_all();
  }
  running_ = false;
  stamped_.notify_all();
}

std::uint64_t X11KeyArrivals::Find(std::uint32_t serverTime, std::uint32_t keycode) const {
  std::uint64_t found = 0;
  std::unique_lock lock(mutex_);
  stamped_.wait_for(lock, std::chrono::milliseconds(kMaxWaitMs), [&] {
    for (const Stamp& s : stamps_) {
      if (s.micros != 0 && s.serverTime == serverTime && s.keycode == keycode) found = s.micros;
    }
    return found != 0 || !running_;
  });
  return found;
}

}  // namespace cue
