#include "screens/blanke.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "screens/layout.h"

namespace cue {

Blanke::Blanke(Scheduler& scheduler, ModalGate& gate, Dialogs& dialogs, WindowSystem& windows,
               Quit quit)
    : scheduler_(scheduler),
      gate_(gate),
      dialogs_(dialogs),
      windows_(windows),
      quit_(std::move(quit)),
      channel1_(scheduler, 1),
      channel2_(scheduler, 2) {}

void Blanke::ShowBlanke(std::int16_t timeInterval, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  StartScreenWait(channel2_, timeInterval, myForm.ShowLeadMicros(), [&myForm] { myForm.Start(); });
}

void Blanke::ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                             std::int16_t hideCrossTime2, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  StartScreenWait(channel2_, hideCrossTime1, 0, [this, showCrossTime, hideCrossTime2, &myForm] {
    SetCross(true);
    StartScreenWait(channel2_, showCrossTime, 0, [this, hideCrossTime2, &myForm] {
      SetCross(false);
      StartScreenWait(channel2_, hideCrossTime2, myForm.ShowLeadMicros(), [&myForm] { myForm.Start(); });
    });
  });
}

// Channel 1 times the flicker's swaps: each ends in a change of the field.
void Blanke::Wait(int ms, std::function<void()> then) { StartScreenWait(channel1_, ms, 0, std::move(then)); }

void Blanke::Wait2(int ms, std::function<void()> then) { StartWait(channel2_, ms, std::move(then)); }

std::function<void()> Blanke::Pend(Channel& channel, std::function<void()> then) {
  channel.waiting = true;
  channel.steps.push_back(std::move(then));
  return [this, &channel] {
    channel.waiting = false;
    Release(channel);
  };
}

void Blanke::StartWait(Channel& channel, int ms, std::function<void()> then) {
  if (ms <= 0) {  // a timer without an interval never fires: such a wait returns at once
    then();
    return;
  }
  channel.timer.Start(ms, Pend(channel, std::move(then)));
}

void Blanke::StartScreenWait(Channel& channel, int ms, double leadMicros, std::function<void()> then) {
  const bool frames = presenter_ != nullptr && clock_ != nullptr && presenter_->FrameAccurate() &&
                      presenter_->PeriodMicros() > 0;
  if (!frames || ms <= 0) {
    StartWait(channel, ms, std::move(then));
    return;
  }
  const double period = presenter_->PeriodMicros();
  const auto refreshes = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(ms * 1000.0 / period)));
  const double ahead = leadMicros > 0 ? leadMicros : static_cast<double>(channel.ahead) * period;
  // Counted from the screen's onset as the server has reported it: the refresh assumed when
  // the wait began can be one early, when the screen's frame just missed it.
  auto dueOf = [this, refreshes, ahead] { return TimeOfRefresh(*presenter_, presenter_->LastQueued() + refreshes) - ahead; };
  // Steps that start just in time (a trial's) are awake before their moment.
  const std::uint64_t spin = leadMicros > 0 ? JUST_IN_TIME_SPIN_MICROS : 0;
  // A step held behind a message box (the quit question, a warning) runs when the box has
  // closed, long after its refresh: it shows at the next one, and the wait the experimenter
  // made is no refresh missed.
  auto held = std::make_shared<bool>(false);
  auto release = Pend(channel, [this, refreshes, held, then = std::move(then)] {
    presenter_->SetNextTarget(*held ? 0 : presenter_->LastQueued() + refreshes);
    then();
    presenter_->SendFrame();
    presenter_->SetNextTarget(0);  // a step that drew nothing leaves no target behind
  });
  ArmAt(channel, std::move(dueOf), spin, [this, held, release = std::move(release)] {
    *held = gate_.Busy();
    release();
  });
}

// A screen came late after the wait began: its pause ends later too, so the timer is set
// again rather than running the steps a refresh early.
void Blanke::ArmAt(Channel& channel, std::function<double()> dueOf, std::uint64_t spinMicros, std::function<void()> fire) {
  const double due = dueOf();
  channel.timer.StartAt(
      static_cast<std::uint64_t>(std::max(due, 0.0)),
      [this, &channel, spinMicros, dueOf = std::move(dueOf), fire = std::move(fire)]() mutable {
        presenter_->Poll();
        if (dueOf() > static_cast<double>(clock_->Micros()) + 500) {
          ArmAt(channel, std::move(dueOf), spinMicros, std::move(fire));
          return;
        }
        fire();
      },
      spinMicros);
}

void Blanke::Release(Channel& channel) {
  auto steps = std::move(channel.steps);
  channel.steps.clear();
  RunSteps(std::move(steps));
}

// The waits of a channel end together; the latest one first, as nested waits unwind.
void Blanke::RunSteps(std::vector<std::function<void()>> steps) {
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) gate_.RunWhenFree(std::move(*it));
}

void Blanke::CancelWait() {
  channel1_.timer.Stop();
  channel2_.timer.Stop();
  channel1_.waiting = false;
  channel2_.waiting = false;
  for (Channel* channel : {&channel1_, &channel2_}) {
    if (channel->steps.empty()) continue;
    auto steps = std::move(channel->steps);
    channel->steps.clear();
    scheduler_.After(0, [this, steps = std::move(steps)]() mutable { RunSteps(std::move(steps)); });
  }
}

void Blanke::SetCross(bool visible) {
  crossVisible_ = visible;
  if (view_ != nullptr) view_->SetCrossVisible(visible);
}

void Blanke::Form_KeyPress(int keyAscii) {
  if (keyAscii == 27) RequestUnload();
}

void Blanke::RequestUnload() { Form_QueryUnload(); }

bool Blanke::Form_QueryUnload() {
  const Answer answer = dialogs_.Show(
      Message{"Do you really want to quit?", kAppTitle, Buttons::kYesNo, Icon::kQuestion});
  if (answer == Answer::kYes) {
    quit_();
    return false;
  }
  return true;
}

}  // namespace cue
