#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/dialogs.h"
#include "platform/clock.h"
#include "platform/modal_gate.h"
#include "platform/presenter.h"
#include "platform/scheduler.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "screens/waits.h"

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
// The waits are event-driven: Wait() and Wait2() arm their channel's timer and return; the
// step that follows runs when the timer fires (after any open message box has been answered,
// see ModalGate). A second wait on a pending channel restarts its timer with the new time;
// when it fires, both waits end, the later one first. ShowBlanke and ShowBlankeCross keep
// their order of steps and pause times and call myForm.Start() at the end.
// How long before their moment a trial's just-in-time steps are awake, reading the clock
// (µs): 2 ms of one core per trial, for steps that start on time on a machine that had idled.
inline constexpr std::uint64_t JUST_IN_TIME_SPIN_MICROS = 2000;

class Blanke final : public Waiter {
 public:
  using Quit = std::function<void()>;

  // quit ends the program: it is called when the quit question is answered Yes.
  Blanke(Scheduler& scheduler, ModalGate& gate, Dialogs& dialogs, WindowSystem& windows, Quit quit);

  void SetView(BlankeView* view) { view_ = view; }
  // With a frame-accurate presenter whose period is known, every wait that ends in a change
  // of screen (both channels) ends at the refresh nearest to its time counted from the onset
  // of the screen being shown: its steps run ahead of it (a flicker swap one refresh, a
  // pause's step two, or the lead the screen it starts asks for) and their frame is sent for
  // it when they are done.
  void SetPresenter(Presenter* presenter, const Clock* clock) {
    presenter_ = presenter;
    clock_ = clock;
  }

  // Blank screen for timeInterval ms, then myForm.Start().
  void ShowBlanke(std::int16_t timeInterval, Startable& myForm);
  // Blank for hideCrossTime1, cross for showCrossTime, blank for hideCrossTime2 (ms), then
  // myForm.Start().
  void ShowBlankeCross(std::int16_t hideCrossTime1, std::int16_t showCrossTime,
                       std::int16_t hideCrossTime2, Startable& myForm);

  // Channel 1 (Timer1). ms <= 0 returns at once: `then` runs inside the call.
  void Wait(int ms, std::function<void()> then) override;
  // Channel 2 (Timer2), independent of channel 1.
  void Wait2(int ms, std::function<void()> then);
  // Stops both channels; the steps of pending waits run at the next turn of the event loop,
  // and no timer event of either channel follows.
  void CancelWait();

  bool waiting() const { return channel1_.waiting; }
  bool waiting2() const { return channel2_.waiting; }
  bool CrossVisible() const { return crossVisible_; }

  // Form_KeyPress: Esc asks to unload the form; every other key is ignored.
  void Form_KeyPress(int keyAscii);
  // "Unload Blanke", asked by Esc on every experiment screen: the unload query answers.
  void RequestUnload();
  // The unload query: "Do you really want to quit?" Yes ends the program at once; No
  // cancels the unload (returns true) and everything goes on, a pending wait included.
  bool Form_QueryUnload();

 private:
  struct Channel {
    Channel(Scheduler& scheduler, std::uint64_t refreshesAhead) : timer(scheduler), ahead(refreshesAhead) {}
    Timer timer;
    // How many refreshes before its target a screen wait's steps run. A flicker swap changes
    // the labels a lab's data counts against, so it changes them as late as it can.
    std::uint64_t ahead;
    bool waiting = false;
    std::vector<std::function<void()>> steps;  // continuations of the pending waits
  };
  void StartWait(Channel& channel, int ms, std::function<void()> then);
  // A wait that ends in a change of screen: its steps run leadMicros (0: the channel's own
  // refreshes ahead) before the asked time's refresh.
  void StartScreenWait(Channel& channel, int ms, double leadMicros, std::function<void()> then);
  // Sets the channel's timer to dueOf() (µs of the clock), read again when it fires; the last
  // spinMicros before it are waited awake (Scheduler::AtMicros).
  void ArmAt(Channel& channel, std::function<double()> dueOf, std::uint64_t spinMicros, std::function<void()> fire);
  // Adds a pending wait's steps to the channel; returns what its timer runs.
  std::function<void()> Pend(Channel& channel, std::function<void()> then);
  void Release(Channel& channel);
  void RunSteps(std::vector<std::function<void()>> steps);
  void SetCross(bool visible);

  Scheduler& scheduler_;
  ModalGate& gate_;
  Dialogs& dialogs_;
  WindowSystem& windows_;
  Quit quit_;
  BlankeView* view_ = nullptr;
  Presenter* presenter_ = nullptr;
  const Clock* clock_ = nullptr;
  Channel channel1_;
  Channel channel2_;
  bool crossVisible_ = false;
};

}  // namespace cue
