#include "platform/qt/qt_scheduler.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cue {

namespace {

std::int64_t NowNanos() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

QtScheduler::QtScheduler() {
  fd_.Reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd_.valid()) {
    throw std::runtime_error(std::string("timerfd_create: ") + std::strerror(errno));
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Wake(); });
}

QtScheduler::~QtScheduler() = default;

Scheduler::TimerId QtScheduler::After(int ms, Callback fn) {
  return AtNanos(NowNanos() + static_cast<std::int64_t>(ms > 0 ? ms : 0) * 1'000'000,
                 std::move(fn));
}

// The Clock's µs are CLOCK_MONOTONIC's: the deadline needs no conversion.
Scheduler::TimerId QtScheduler::AtMicros(std::uint64_t clockMicros, Callback fn,
                                         std::uint64_t spinMicros) {
  const auto due = static_cast<std::int64_t>(clockMicros) * 1000;
  if (spinMicros == 0) return AtNanos(due, std::move(fn));
  return AtNanos(due - static_cast<std::int64_t>(spinMicros) * 1000, [due, fn = std::move(fn)] {
    while (NowNanos() < due) {
    }
    fn();
  });
}

Scheduler::TimerId QtScheduler::AtNanos(std::int64_t due, Callback fn) {
  const TimerId id = nextId_++;
  pending_.emplace(Key{due, id}, std::move(fn));
  dueOf_[id] = due;
  if (armedFor_ < 0 || due < armedFor_) Arm();
  return id;
}

void QtScheduler::Cancel(TimerId id) {
  const auto it = dueOf_.find(id);
  if (it == dueOf_.end()) return;
  pending_.erase(Key{it->second, id});
  dueOf_.erase(it);
  Arm();
}

// Sets the timerfd to the earliest deadline, or disarms it when nothing is pending. A
// deadline already past makes the fd readable at once: the callback runs at the next turn.
void QtScheduler::Arm() {
  const std::int64_t due = pending_.empty() ? -1 : pending_.begin()->first.due;
  if (due == armedFor_) return;
  itimerspec setting{};
  if (due >= 0) {
    setting.it_value.tv_sec = static_cast<time_t>(due / 1'000'000'000);
    setting.it_value.tv_nsec = static_cast<long>(due % 1'000'000'000);
    if (setting.it_value.tv_sec == 0 && setting.it_value.tv_nsec == 0) setting.it_value.tv_nsec = 1;
  }
  timerfd_settime(fd_.get(), TFD_TIMER_ABSTIME, &setting, nullptr);
  armedFor_ = due;
}

// Runs what was due when the loop woke. Each callback is taken out before it runs, so one
// that cancels another, opens a nested event loop (a message box) or schedules more leaves
// the rest consistent; a callback that a nested wake already ran is not run again.
void QtScheduler::Wake() {
  std::uint64_t expirations = 0;
  [[maybe_unused]] const auto ignored = read(fd_.get(), &expirations, sizeof expirations);
  armedFor_ = -1;  // a read timerfd is spent
  const std::int64_t now = NowNanos();
  std::vector<Key> due;
  for (auto it = pending_.begin(); it != pending_.end() && it->first.due <= now; ++it) {
    due.push_back(it->first);
  }
  for (const Key& key : due) {
    const auto it = pending_.find(key);
    if (it == pending_.end()) continue;
    Callback fn = std::move(it->second);
    pending_.erase(it);
    dueOf_.erase(key.id);
    fn();
  }
  Arm();
}

}  // namespace cue
