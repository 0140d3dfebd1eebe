#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/scheduler.h"
#include "platform/unique_fd.h"

class QSocketNotifier;

namespace cue {

// Scheduler on the Qt event loop, woken to the microsecond by the kernel.
//
// Qt's own timers, precise ones included, wake the event loop through its poll timeout, which
// counts whole milliseconds and is rounded up by the default (GLib) dispatcher: a 1000 ms
// pause ended 0.7 to 1 ms late. Here every pending callback is kept with its deadline on
// CLOCK_MONOTONIC (ns), and one timerfd is armed at the earliest deadline (absolute, so no
// rounding and no drift); a QSocketNotifier on it wakes the loop when that moment comes.
// The loop sleeps in between: no busy waiting.
//
// Order: callbacks run in the order of their deadlines, callbacks with the same deadline in
// the order they were scheduled. Each wake runs the callbacks that were due at its start;
// what they schedule (After(0) included) waits for a later turn of the loop, so other events
// are never starved. Thread: the thread that owns the event loop (the GUI thread).
class QtScheduler final : public QObject, public Scheduler {
 public:
  QtScheduler();
  ~QtScheduler() override;
  QtScheduler(const QtScheduler&) = delete;
  QtScheduler& operator=(const QtScheduler&) = delete;

  TimerId After(int ms, Callback fn) override;
  TimerId AtMicros(std::uint64_t clockMicros, Callback fn, std::uint64_t spinMicros = 0) override;
  void Cancel(TimerId id) override;

 private:
  struct Key {
    std::int64_t due;  // ns of CLOCK_MONOTONIC
    TimerId id;        // increasing: the order of scheduling
    bool operator<(const Key& other) const {
      return due != other.due ? due < other.due : id < other.id;
    }
  };
  TimerId AtNanos(std::int64_t due, Callback fn);
  void Wake();
  void Arm();

  UniqueFd fd_;  // the timerfd; closed after the notifier watching it
  std::unique_ptr<QSocketNotifier> notifier_;
  std::map<Key, Callback> pending_;
  std::unordered_map<TimerId, std::int64_t> dueOf_;
  TimerId nextId_ = 1;
  std::int64_t armedFor_ = -1;  // the deadline the timerfd is set to; -1: disarmed
};

}  // namespace cue
