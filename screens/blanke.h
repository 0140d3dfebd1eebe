#pragma once

#include <cstdint>
#include <functional>

#include "platform/dialogs.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "screens/frame_waits.h"

namespace cue {

// What the blank screen's form does for its core.
class BlankeView {
 public:
  virtual ~BlankeView() = default;
  // Shows the form modeless and brings it in front of the other screens.
  virtual void ShowBlankeForm() = 0;
  // The fixation cross "+" (Label1).
  virtual void SetCrossVisible(bool visible) = 0;
};

// The blank screen between the other screens: the fixation-cross sequence, the system's two
// timed waits, and the one quit confirmation of the experiment.
//
// Its waits are the frame-aligned waits of FrameWaits: Wait() on the flicker's channel
// (Timer1), Wait2() and the pauses on the pauses' channel (Timer2). ShowBlanke and
// ShowBlankeCross keep their order of steps and pause times and call myForm.Start() at the end.
class Blanke final {
 public:
  using Quit = std::function<void()>;

  // quit ends the program: it is called when the quit question is answered Yes.
  Blanke(FrameWaits& waits, Dialogs& dialogs, WindowSystem& windows, Quit quit);

  void SetView(BlankeView* view) { view_ = view; }
  // Blank screen for timeInterval ms, then myForm.Start().
  void ShowBlanke(std::int16_t timeInterval, Startable& myForm);
  // Blank for hideCrossTime1, cross for showCrossTime, blank for hideCrossTime2 (ms), then
  // myForm.Start().
  void ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                       std::int16_t hideCrossTime2, Startable& myForm);

  // Channel 1 (Timer1), the flicker's: a wait that ends in a change of screen. ms <= 0
  // returns at once: `then` runs inside the call.
  void Wait(int ms, std::function<void()> then);
  // Channel 2 (Timer2), independent of channel 1: a plain timed wait.
  void Wait2(int ms, std::function<void()> then);
  // Stops both channels; the steps of pending waits run at the next turn of the event loop,
  // and no timer event of either channel follows.
  void CancelWait();

  bool waiting() const { return waits_.flicker().waiting(); }
  bool waiting2() const { return waits_.pauses().waiting(); }
  bool CrossVisible() const { return crossVisible_; }

  // Form_KeyPress: Esc asks to unload the form; every other key is ignored.
  void Form_KeyPress(int keyAscii);
  // "Unload Blanke", asked by Esc on every experiment screen: the unload query answers.
  void RequestUnload();
  // The unload query: "Do you really want to quit?" Yes ends the program at once; No
  // cancels the unload (returns true) and everything goes on, a pending wait included.
  bool Form_QueryUnload();

 private:
  void SetCross(bool visible);

  FrameWaits& waits_;
  Dialogs& dialogs_;
  WindowSystem& windows_;
  Quit quit_;
  BlankeView* view_ = nullptr;
  bool crossVisible_ = false;
};

}  // namespace cue
