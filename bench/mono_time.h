#pragma once

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cstdint>

namespace cue::bench {

// Microseconds of CLOCK_MONOTONIC: the clock of the program's timing log (its SteadyClock),
// so both sides' readings compare directly.
inline std::int64_t NowMicros() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

// Sleeps until the monotonic clock reads micros (returns at once if it has passed).
inline void SleepUntilMicros(std::int64_t micros) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(micros / 1'000'000);
  t.tv_nsec = static_cast<long>(micros % 1'000'000) * 1000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) != 0) {
  }
}

// Puts the calling thread in the real-time FIFO class, so that its wake-ups (and hence its
// time stamps) do not wait behind the machine's other work; the instruments only ever run
// briefly. False, and nothing changed, without the permission.
inline bool RunInRealTime() {
  sched_param param{};
  param.sched_priority = 50;
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

}  // namespace cue::bench
