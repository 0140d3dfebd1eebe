#include "bench/robot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>

#include "bench/mono_time.h"

namespace cue::bench {

namespace {

Display* Dpy(void* display) { return static_cast<Display*>(display); }

KeySym SymOf(char key) {
  if (key == ' ') return XK_space;
  if (key == '\t') return XK_Tab;
  return static_cast<KeySym>(static_cast<unsigned char>(key));  // Latin-1 keysyms are the code
}

std::string NameOf(Display* d, Window w) {
  char* name = nullptr;
  std::string text;
  if (XFetchName(d, w, &name) != 0 && name != nullptr) {
    text = name;
    XFree(name);
  }
  return text;
}

}  // namespace

Robot::Robot() {
  Display* d = XOpenDisplay(nullptr);
  display_ = d;
  if (d == nullptr) {
    error_ = "cannot open the X display";
    return;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
    error_ = "the X server has no XTest extension";
    return;
  }
  thread_ = std::thread([this] { Run(); });
}

Robot::~Robot() {
  Stop();
  if (display_ != nullptr) XCloseDisplay(Dpy(display_));
}

void Robot::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Robot::PressAt(std::int64_t at, char key, int tag) {
  std::lock_guard lock(mutex_);
  const KeySent request{tag, key, at, 0, 0};
  queue_.insert(std::upper_bound(queue_.begin(), queue_.end(), request,
                                 [](const KeySent& a, const KeySent& b) { return a.due < b.due; }),
                request);
  wake_.notify_all();
}

void Robot::Type(const std::string& text, int gapMs) {
  std::int64_t at = NowMicros();
  for (const char c : text) {
    at += static_cast<std::int64_t>(gapMs) * 1000;
    PressAt(at, c, -1);
  }
  SleepUntilMicros(at + static_cast<std::int64_t>(gapMs) * 1000);
}

// Runs on the caller's thread, on the connection the robot's thread sends keys on: Xlib's own
// locking (XInitThreads) keeps the two apart.
bool Robot::FocusWindow(const std::string& name, int timeoutMs) {
  Display* d = Dpy(display_);
  const std::int64_t until = NowMicros() + static_cast<std::int64_t>(timeoutMs) * 1000;
  while (NowMicros() < until) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count) != 0) {
      for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(d, children[i], &attributes) != 0 &&
            attributes.map_state == IsViewable && NameOf(d, children[i]) == name) {
          found = children[i];
        }
      }
      if (children != nullptr) XFree(children);
    }
    if (found != 0) {
      XSetInputFocus(d, found, RevertToParent, CurrentTime);
      XSync(d, False);
      Window focus = 0;
      int revert = 0;
      XGetInputFocus(d, &focus, &revert);
      if (focus == found) return true;
    }
    SleepUntilMicros(NowMicros() + 50'000);
  }
  return false;
}

void Robot::Run() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  realTime_ = RunInRealTime();
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const KeySent next = queue_.front();
    // Wait on the condition until 2 ms before the moment, so that an earlier request can still
    // get in; then sleep to the moment itself without the lock.
    const auto early =
        std::chrono::steady_clock::time_point(std::chrono::microseconds(next.due - 2000));
    if (wake_.wait_until(lock, early, [&] { return stopping_ || queue_.front().due < next.due; })) {
      continue;
    }
    queue_.erase(queue_.begin());
    lock.unlock();
    SleepUntilMicros(next.due);
    const KeySent done = Press(next);
    lock.lock();
    sent_.push_back(done);
  }
}

KeySent Robot::Press(const KeySent& request) {
  Display* d = Dpy(display_);
  KeySent done = request;
  const KeyCode code = XKeysymToKeycode(d, SymOf(request.key));
  XTestFakeKeyEvent(d, code, True, CurrentTime);
  XTestFakeKeyEvent(d, code, False, CurrentTime);
  done.sent = NowMicros();
  XFlush(d);
  done.flushed = NowMicros();
  return done;
}

std::vector<KeySent> Robot::Sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

}  // namespace cue::bench
