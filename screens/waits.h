#pragma once

#include <functional>

namespace cue {

// The system's timed wait: `then` runs once `ms` milliseconds have passed, on the event
// loop, never inside the call (except for ms <= 0, which runs it at once). Window events go
// on meanwhile.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void Wait(int ms, std::function<void()> then) = 0;
};

}  // namespace cue
