#include "screens/blanke.h"

#include <algorithm>
#include <cmath>
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
  StartScreenWait(channel2_, timeInterval, myForm.ShowLead(), [&myForm] { myForm.Start(); });
}

void Blanke::ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                             std::int16_t hideCrossTime2, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  StartScreenWait(channel2_, hideCrossTime1, 0, [this, showCrossTime, hideCrossTime2, &myForm] {
    SetCross(true);
    StartScreenWait(channel2_, showCrossTime, 0, [this, hideCrossTime2, &myForm] {
      SetCross(false);
      StartScreenWait(channel2_, hideCrossTime2, myForm.ShowLead(), [&myForm] { myForm.Start(); });
    });
  });
}

// Channel 1 times the flicker's swaps: each ends in a change of the field.
void Blanke::Wait(int ms, std::function<void()> then) { StartScreenWait(channel1_, ms, 0, std::move(then)); }

void Blanke::Wait2(int ms, std::function<void()> then) { StartWait(channel2_, ms, std::move(then)); }

void Blanke::StartWait(Channel& channel, int ms, std::function<void()> then) {
  if (ms <= 0) {  // a timer without an interval never fires: such a wait returns at once
    then();
    return;
  }
  channel.waiting = true;
  channel.steps.push_back(std::move(then));
  channel.timer.Start(ms, [this, &channel] {
    channel.waiting = false;
    Release(channel);
  });
}

void Blanke::StartScreenWait(Channel& channel, int ms, std::uint64_t lead, std::function<void()> then) {
  const bool frames = presenter_ != nullptr && clock_ != nullptr && presenter_->FrameAccurate() &&
                      presenter_->PeriodMicros() > 0;
  if (!frames || ms <= 0) {
    StartWait(channel, ms, std::move(then));
    return;
  }
  const double period = presenter_->PeriodMicros();
  const auto refreshes = static_cast<std::uint64_t>(std::llround(ms * 1000.0 / period));
  const std::uint64_t span = std::max(refreshes, lead + 1) - lead;
  // Ahead of the target: the steps draw their frame and queue it for the target.
  const double due = TimeOfRefresh(*presenter_, presenter_->LastQueued() + span) -
                     static_cast<double>(channel.ahead) * period;
  const auto wait = static_cast<int>(std::floor((due - static_cast<double>(clock_->Micros())) / 1000.0));
  StartWait(channel, std::max(wait, 1), [this, span, then = std::move(then)] {
    // Counted from the screen's onset as the server reported it by now: the refresh assumed
    // when the wait began can be one early, when the screen's frame just missed it.
    presenter_->SetNextTarget(presenter_->LastQueued() + span);
    then();
    presenter_->SetNextTarget(0);  // a step that drew nothing leaves no target behind
  });
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
