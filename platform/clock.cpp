#include "platform/clock.h"

#include <chrono>

namespace cue {

std::uint32_t timeGetTime(const Clock& clock) {
  return static_cast<std::uint32_t>(clock.Micros() / 1000);
}

std::int32_t GetTickCount(const Clock& clock) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(clock.Micros() / 1000));
}

std::uint64_t SteadyClock::Micros() const {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace cue
