#include "platform/scheduler.h"

#include <utility>

namespace cue {

void Timer::Start(int ms, Scheduler::Callback fn) {
  Stop();
  id_ = scheduler_.After(ms, [this, fn = std::move(fn)] {
    id_ = 0;  // before fn: fn may re-arm this timer
    fn();
  });
}

void Timer::StartAt(std::uint64_t clockMicros, Scheduler::Callback fn, std::uint64_t spinMicros) {
  Stop();
  id_ = scheduler_.AtMicros(
      clockMicros,
      [this, fn = std::move(fn)] {
        id_ = 0;
        fn();
      },
      spinMicros);
}

void Timer::Stop() {
  if (id_ != 0) {
    scheduler_.Cancel(id_);
    id_ = 0;
  }
}

}  // namespace cue
