#include "bench/x_method.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include "bench/mono_time.h"

namespace cue::bench {

namespace {

constexpr int kTimeoutMs = 500;

// Waits for an event of that type on d; returns when it woke for it, or -1 on timeout.
std::int64_t WaitFor(Display* d, int type) {
  const std::int64_t until = NowMicros() + kTimeoutMs * 1000;
  for (;;) {
    if (XPending(d) == 0) {
      pollfd fd{ConnectionNumber(d), POLLIN, 0};
      const auto left = static_cast<int>((until - NowMicros()) / 1000);
      if (left <= 0 || poll(&fd, 1, left) <= 0) return -1;
    }
    const std::int64_t woke = NowMicros();
    bool found = false;
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      found = found || event.type == type;
    }
    if (found) return woke;
  }
}

}  // namespace

XMethodDelays MeasureXMethod(int samples) {
  XMethodDelays delays;
  Display* watcher = XOpenDisplay(nullptr);
  Display* actor = XOpenDisplay(nullptr);
  int damageEvent = 0, damageError = 0;
  if (watcher == nullptr || actor == nullptr ||
      !XDamageQueryExtension(watcher, &damageEvent, &damageError)) {
    delays.error = "no X display with the Damage extension";
    if (watcher != nullptr) XCloseDisplay(watcher);
    if (actor != nullptr) XCloseDisplay(actor);
    return delays;
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = KeyPressMask;
  const Window window =
      XCreateWindow(watcher, DefaultRootWindow(watcher), 0, 0, 16, 16, 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
  XMapRaised(watcher, window);
  const Damage damage = XDamageCreate(watcher, window, XDamageReportNonEmpty);
  XSync(watcher, False);
  XSetInputFocus(watcher, window, RevertToPointerRoot, CurrentTime);
  XSync(watcher, False);
  while (XPending(watcher) > 0) {
    XEvent ignored;
    XNextEvent(watcher, &ignored);
  }
  XDamageSubtract(watcher, damage, None, None);
  XSync(watcher, False);

  const GC gc = XCreateGC(actor, window, 0, nullptr);
  const KeyCode key = XKeysymToKeycode(actor, 'x');
  for (int i = 0; i < samples; ++i) {
    XSetForeground(actor, gc, (i % 2 != 0) ? 0xFFFFFF : 0x000000);
    XFillRectangle(actor, window, gc, 0, 0, 16, 16);
    std::int64_t sent = NowMicros();
    XFlush(actor);
    std::int64_t woke = WaitFor(watcher, damageEvent + XDamageNotify);
    if (woke >= 0) delays.damage.push_back(static_cast<double>(woke - sent));
    XDamageSubtract(watcher, damage, None, None);
    XSync(watcher, False);

    XTestFakeKeyEvent(actor, key, True, CurrentTime);
    XTestFakeKeyEvent(actor, key, False, CurrentTime);
    sent = NowMicros();
    XFlush(actor);
    woke = WaitFor(watcher, KeyPress);
    if (woke >= 0) delays.key.push_back(static_cast<double>(woke - sent));
    SleepUntilMicros(NowMicros() + 10'000);
  }
  XFreeGC(actor, gc);
  XDamageDestroy(watcher, damage);
  XDestroyWindow(watcher, window);
  XSync(watcher, False);
  XCloseDisplay(actor);
  XCloseDisplay(watcher);
  if (delays.damage.empty() || delays.key.empty()) delays.error = "no damage or key event arrived";
  return delays;
}

}  // namespace cue::bench
