#include "screens/blanke.h"

#include <utility>

#include "screens/layout.h"

namespace cue {

Blanke::Blanke(FrameWaits& waits, Dialogs& dialogs, WindowSystem& windows, Quit quit)
    : waits_(waits), dialogs_(dialogs), windows_(windows), quit_(std::move(quit)) {}

void Blanke::ShowBlanke(std::int16_t timeInterval, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  waits_.pauses().ScreenWait(timeInterval, myForm.ShowLeadMicros(), [&myForm] { myForm.Start(); });
}

void Blanke::ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                             std::int16_t hideCrossTime2, Startable& myForm) {
  if (view_ != nullptr) view_->ShowBlankeForm();
  ParkCursor(windows_);
  waits_.pauses().ScreenWait(hideCrossTime1, 0, [this, showCrossTime, hideCrossTime2, &myForm] {
    SetCross(true);
    waits_.pauses().ScreenWait(showCrossTime, 0, [this, hideCrossTime2, &myForm] {
      SetCross(false);
      waits_.pauses().ScreenWait(hideCrossTime2, myForm.ShowLeadMicros(),
                                 [&myForm] { myForm.Start(); });
    });
  });
}

// Channel 1 times the flicker's swaps: each ends in a change of the field.
void Blanke::Wait(int ms, std::function<void()> then) {
  waits_.flicker().Wait(ms, std::move(then));
}

void Blanke::Wait2(int ms, std::function<void()> then) {
  waits_.pauses().TimedWait(ms, std::move(then));
}

void Blanke::CancelWait() { waits_.CancelAll(); }

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
