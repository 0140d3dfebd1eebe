#include "screens/frame_waits.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace cue {

FrameWaits::FrameWaits(Scheduler& scheduler, ModalGate& gate)
    : scheduler_(scheduler), gate_(gate) {}

FrameWaits::Channel::Channel(FrameWaits& waits, std::uint64_t refreshesAhead)
    : waits_(waits), timer_(waits.scheduler_), ahead_(refreshesAhead) {}

bool FrameWaits::FrameAccurate() const {
  return presenter_ != nullptr && clock_ != nullptr && presenter_->FrameAccurate() &&
         presenter_->PeriodMicros() > 0;
}

std::function<void()> FrameWaits::Channel::Pend(std::function<void()> then) {
  waiting_ = true;
  steps_.push_back(std::move(then));
  return [this] {
    waiting_ = false;
    Release();
  };
}

void FrameWaits::Channel::TimedWait(int ms, std::function<void()> then) {
  if (ms <= 0) {  // a timer without an interval never fires: such a wait returns at once
    then();
    return;
  }
  timer_.Start(ms, Pend(std::move(then)));
}

void FrameWaits::Channel::ScreenWait(int ms, double leadMicros, std::function<void()> then) {
  if (!waits_.FrameAccurate() || ms <= 0) {
    TimedWait(ms, std::move(then));
    return;
  }
  const double period = waits_.presenter_->PeriodMicros();
  const auto refreshes =
      std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(ms * 1000.0 / period)));
  const double ahead = leadMicros > 0 ? leadMicros : static_cast<double>(ahead_) * period;
  // Counted from the screen's onset as the server has reported it: the refresh assumed when
  // the wait began can be one early, when the screen's frame just missed it.
  auto dueOf = [this, refreshes, ahead] {
    return TimeOfRefresh(*waits_.presenter_, waits_.presenter_->LastQueued() + refreshes) - ahead;
  };
  // Steps that start just in time (a trial's) are awake before their moment.
  const std::uint64_t spin = leadMicros > 0 ? kJustInTimeSpinMicros : 0;
  // A step held behind a message box (the quit question, a warning) runs when the box has
  // closed, long after its refresh: it shows at the next one, and the wait the experimenter
  // made is no refresh missed.
  auto held = std::make_shared<bool>(false);
  auto release = Pend([this, refreshes, held, then = std::move(then)] {
    Presenter& presenter = *waits_.presenter_;
    presenter.SetNextTarget(*held ? 0 : presenter.LastQueued() + refreshes);
    then();
    presenter.SendFrame();
    presenter.SetNextTarget(0);  // a step that drew nothing leaves no target behind
  });
  ArmAt(std::move(dueOf), spin, [this, held, release = std::move(release)] {
    *held = waits_.gate_.Busy();
    release();
  });
}

// A screen came late after the wait began: its pause ends later too, so the timer is set
// again rather than running the steps a refresh early.
void FrameWaits::Channel::ArmAt(std::function<double()> dueOf, std::uint64_t spinMicros,
                                std::function<void()> fire) {
  const double due = dueOf();
  timer_.StartAt(
      static_cast<std::uint64_t>(std::max(due, 0.0)),
      [this, spinMicros, dueOf = std::move(dueOf), fire = std::move(fire)]() mutable {
        waits_.presenter_->Poll();
        if (dueOf() > static_cast<double>(waits_.clock_->Micros()) + 500) {
          ArmAt(std::move(dueOf), spinMicros, std::move(fire));
          return;
        }
        fire();
      },
      spinMicros);
}

void FrameWaits::Channel::Release() {
  auto steps = std::move(steps_);
  steps_.clear();
  waits_.RunSteps(std::move(steps));
}

void FrameWaits::RunSteps(std::vector<std::function<void()>> steps) {
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) gate_.RunWhenFree(std::move(*it));
}

void FrameWaits::CancelAll() {
  for (Channel* channel : {&flicker_, &pauses_}) {
    channel->timer_.Stop();
    channel->waiting_ = false;
    if (channel->steps_.empty()) continue;
    auto steps = std::move(channel->steps_);
    channel->steps_.clear();
    scheduler_.After(0, [this, steps = std::move(steps)]() mutable { RunSteps(std::move(steps)); });
  }
}

}  // namespace cue
