#include "screens/blanke.h"

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
      channel1_(scheduler),
      channel2_(scheduler) {}

void Blanke::ShowBlanke(std::int16_t timeInterval, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  Wait2(timeInterval, [&myForm] { myForm.Start(); });
}

void Blanke::ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                             std::int16_t hideCrossTime2, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  Wait2(hideCrossTime1, [this, showCrossTime, hideCrossTime2, &myForm] {
    SetCross(true);
    Wait2(showCrossTime, [this, hideCrossTime2, &myForm] {
      SetCross(false);
      Wait2(hideCrossTime2, [&myForm] { myForm.Start(); });
    });
  });
}

void Blanke::Wait(int ms, std::function<void()> then) { StartWait(channel1_, ms, std::move(then)); }

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
