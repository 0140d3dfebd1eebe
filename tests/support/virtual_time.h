#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "platform/clock.h"
#include "platform/scheduler.h"

namespace cue::testing {

// A clock and scheduler on virtual time: nothing happens until the test advances it.
// Callbacks run in the order of their due time, then of their scheduling; during a callback
// the clock reads exactly its due time.
class VirtualTime final : public Clock, public Scheduler {
 public:
  explicit VirtualTime(std::uint64_t start_micros = 1'000'000) : now_(start_micros) {}

  std::uint64_t Micros() const override { return now_; }

  TimerId After(int ms, Callback fn) override {
    const std::uint64_t due = now_ + static_cast<std::uint64_t>(ms > 0 ? ms : 0) * 1000;
    const TimerId id = nextId_++;
    queue_.emplace(Key{due, id}, std::move(fn));
    return id;
  }

  void Cancel(TimerId id) override {
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if (it->first.id == id) {
        queue_.erase(it);
        return;
      }
    }
  }

  // Runs everything due within the next ms milliseconds, then leaves the clock at now + ms.
  void Advance(std::int64_t ms) { AdvanceMicros(static_cast<std::uint64_t>(ms) * 1000); }

  void AdvanceMicros(std::uint64_t us) {
    const std::uint64_t end = now_ + us;
    while (!queue_.empty() && queue_.begin()->first.due <= end) {
      auto node = queue_.extract(queue_.begin());
      now_ = node.key().due;
      node.mapped()();
    }
    now_ = end;
  }

  // Runs until nothing is pending or the limit passes; returns false on hitting the limit.
  bool RunUntilIdle(std::int64_t limit_ms = 24LL * 3600 * 1000) {
    const std::uint64_t end = now_ + static_cast<std::uint64_t>(limit_ms) * 1000;
    while (!queue_.empty()) {
      if (queue_.begin()->first.due > end) return false;
      AdvanceMicros(queue_.begin()->first.due - now_);
    }
    return true;
  }

  // Milliseconds until the next pending callback, or -1 when none is pending.
  std::int64_t NextDueInMs() const {
    if (queue_.empty()) return -1;
    return static_cast<std::int64_t>((queue_.begin()->first.due - now_) / 1000);
  }

  std::size_t PendingCount() const { return queue_.size(); }
  // Forgets everything pending: the program has ended.
  void CancelAll() { queue_.clear(); }

 private:
  struct Key {
    std::uint64_t due;
    TimerId id;
    bool operator<(const Key& other) const {
      return due != other.due ? due < other.due : id < other.id;
    }
  };
  std::uint64_t now_;
  TimerId nextId_ = 1;
  std::map<Key, Callback> queue_;
};

}  // namespace cue::testing
