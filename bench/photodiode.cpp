#include "bench/photodiode.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>

#include "bench/mono_time.h"

namespace cue::bench {

struct Photodiode::X {
  Display* display = nullptr;
  Window root = 0;
  int damageEvent = 0;
  Damage damage = 0;
  XShmSegmentInfo shm{};
  XImage* image = nullptr;
  bool attached = false;

  ~X() {
    if (attached) {
      XShmDetach(display, &shm);
      shmdt(shm.shmaddr);
    }
    if (image != nullptr) {
      image->data = nullptr;  // the segment, not the heap
      XDestroyImage(image);
    }
    if (damage != 0) XDamageDestroy(display, damage);
    if (display != nullptr) XCloseDisplay(display);
  }
};

Photodiode::Photodiode() : x_(std::make_unique<X>()) {
  x_->display = XOpenDisplay(nullptr);
  if (x_->display == nullptr) {
    error_ = "cannot open the X display";
    return;
  }
  Display* d = x_->display;
  int damageError = 0;
  if (!XDamageQueryExtension(d, &x_->damageEvent, &damageError)) {
    error_ = "the X server has no Damage extension";
    return;
  }
  if (!XShmQueryExtension(d)) {
    error_ = "the X server has no MIT-SHM extension";
    return;
  }
  const int screen = DefaultScreen(d);
  x_->root = RootWindow(d, screen);
  x_->image =
      XShmCreateImage(d, DefaultVisual(d, screen), static_cast<unsigned>(DefaultDepth(d, screen)),
                      ZPixmap, nullptr, &x_->shm, static_cast<unsigned>(DisplayWidth(d, screen)),
                      static_cast<unsigned>(DisplayHeight(d, screen)));
  if (x_->image == nullptr || x_->image->bits_per_pixel != 32) {
    error_ = "the screen is not 32 bits per pixel";
    return;
  }
  x_->shm.shmid = shmget(IPC_PRIVATE,
                         static_cast<std::size_t>(x_->image->bytes_per_line) *
                             static_cast<std::size_t>(x_->image->height),
                         IPC_CREAT | 0600);
  if (x_->shm.shmid < 0) {
    error_ = "cannot make a shared-memory segment for the screen";
    return;
  }
  x_->shm.shmaddr = x_->image->data = static_cast<char*>(shmat(x_->shm.shmid, nullptr, 0));
  x_->shm.readOnly = False;
  x_->attached = XShmAttach(d, &x_->shm) != 0;
  XSync(d, False);
  shmctl(x_->shm.shmid, IPC_RMID, nullptr);  // freed once both sides detach
  x_->damage = XDamageCreate(d, x_->root, XDamageReportNonEmpty);
  XSync(d, False);
  stopFd_ = eventfd(0, EFD_CLOEXEC);
  Look(NowMicros());  // the state before the first report
  thread_ = std::thread([this] { Run(); });
}

Photodiode::~Photodiode() {
  Stop();
  if (stopFd_ >= 0) close(stopFd_);
}

void Photodiode::Stop() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(stopFd_, &one, sizeof one);
  thread_.join();
}

void Photodiode::Run() {
  realTime_ = RunInRealTime();
  Display* d = x_->display;
  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    if (XPending(d) == 0) {
      if (poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
    }
    const std::int64_t woke = NowMicros();
    bool damaged = false;
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      damaged = damaged || event.type == x_->damageEvent + XDamageNotify;
    }
    if (damaged) Look(woke);
  }
}

// Empties the damage region before copying, so whatever is drawn after the copy is reported.
void Photodiode::Look(std::int64_t wokeAt) {
  XDamageSubtract(x_->display, x_->damage, None, None);
  XShmGetImage(x_->display, x_->root, x_->image, 0, 0, AllPlanes);
  const auto* pixels = reinterpret_cast<const std::uint32_t*>(x_->image->data);
  const ScreenState state =
      Classify(pixels, x_->image->width, x_->image->height, x_->image->bytes_per_line / 4);
  const std::int64_t done = NowMicros();
  std::lock_guard lock(mutex_);
  grabs_.push_back(static_cast<double>(done - wokeAt));
  if (last_ && last_->SameAs(state)) return;
  last_ = state;
  const Seen seen{wokeAt, done, state};
  all_.push_back(seen);
  pending_.push_back(seen);
  changed_.notify_all();
}

std::optional<Seen> Photodiode::Next(int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return !pending_.empty(); })) {
    return std::nullopt;
  }
  Seen seen = pending_.front();
  pending_.pop_front();
  return seen;
}

std::vector<Seen> Photodiode::All() const {
  std::lock_guard lock(mutex_);
  return all_;
}

std::vector<double> Photodiode::GrabMicros() const {
  std::lock_guard lock(mutex_);
  return grabs_;
}

}  // namespace cue::bench
