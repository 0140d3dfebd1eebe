#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/presenter.h"
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
    return AtMicros(now_ + static_cast<std::uint64_t>(ms > 0 ? ms : 0) * 1000, std::move(fn));
  }

  TimerId AtMicros(std::uint64_t due, Callback fn, std::uint64_t = 0) override {
    due = std::max(due, now_);
    const TimerId id = nextId_++;
    queue_.emplace(Key{due, id}, std::move(fn));
    return id;
  }

  void Cancel(TimerId id) override {
    std::erase_if(queue_, [id](const auto& entry) { return entry.first.id == id; });
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

  std::size_t PendingCount() const { return queue_.size(); }
  // Forgets everything pending: the program has ended.
  void CancelAll() { queue_.clear(); }

 private:
  struct Key {
    std::uint64_t due;
    TimerId id;
    auto operator<=>(const Key&) const = default;  // by due time, then by scheduling
  };
  std::uint64_t now_;
  TimerId nextId_ = 1;
  std::map<Key, Callback> queue_;
};

// A display on virtual time: refresh n begins at n * periodMs. A frame queued for a refresh
// that has begun (or without a target) shows at the next one; lateBy delays the next frame by
// that many more refreshes, as a slow drawing would, and LastQueued() learns it at the onset.
// The doubles of the screens queue their frames as they change; SendFrame() marks the steps'
// end at the virtual clock's reading plus stepsMicros.
class FakePresenter final : public Presenter {
 public:
  FakePresenter(VirtualTime& time, int periodMs)
      : time_(time), periodMs_(static_cast<std::uint64_t>(periodMs)) {}

  bool FrameAccurate() const override { return true; }
  // A later change for a refresh that a frame is already queued for replaces it: one frame
  // per refresh.
  void Queue(std::uint64_t frame, std::uint64_t target, Done done) {
    if (target == 0) target = std::exchange(nextTarget_, 0);
    const std::uint64_t asked = std::max({target, Current() + 1, queued_});
    const std::uint64_t msc = asked + std::exchange(lateBy, 0);
    if (target != 0) missed_ += msc - std::min(msc, target);
    // Like the server: the refresh asked for until the frame's onset is reported.
    queued_ = asked;
    auto [it, fresh] = pending_.try_emplace(msc);
    it->second = Pending{frame, asked, std::move(done)};
    if (!fresh) return;
    At(msc, [this, msc](Refresh r) {
      const Pending frame = pending_.extract(msc).mapped();
      if (frame.asked == queued_) queued_ = r.msc;
      shown.push_back({frame.frame, r.msc});
      if (frame.done) frame.done(r);
    });
  }
  void SetNextTarget(std::uint64_t msc) override { nextTarget_ = msc; }
  std::uint64_t SendFrame() override {
    nextTarget_ = 0;
    return time_.Micros() + stepsMicros;
  }
  void Poll() override {}
  Refresh LastRefresh() const override { return {Current(), Current() * periodMs_ * 1000}; }
  std::uint64_t LastQueued() const override { return queued_; }
  double PeriodMicros() const override { return static_cast<double>(periodMs_) * 1000; }
  double DeadlineMicros() const override { return deadlineMicros; }
  std::uint64_t MissedRefreshes() const override { return missed_; }
  int Width() const override { return 1024; }
  int Height() const override { return 768; }

  struct Shown {
    std::uint64_t frame;
    std::uint64_t msc;
  };
  std::vector<Shown> shown;
  std::uint64_t lateBy = 0;
  double deadlineMicros = 0;
  std::uint64_t stepsMicros = 0;

 private:
  std::uint64_t Current() const { return time_.Micros() / (periodMs_ * 1000); }
  void At(std::uint64_t msc, Done done) {
    const std::uint64_t due = msc * periodMs_ * 1000;
    time_.After(static_cast<int>((due - time_.Micros()) / 1000),
                [done = std::move(done), msc, due] {
                  done({msc, due});
                });
  }

  struct Pending {
    std::uint64_t frame = 0, asked = 0;
    Done done;
  };
  VirtualTime& time_;
  std::uint64_t periodMs_;
  std::uint64_t nextTarget_ = 0, missed_ = 0, queued_ = 0;
  std::map<std::uint64_t, Pending> pending_;  // by refresh
};

}  // namespace cue::testing
