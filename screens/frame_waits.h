#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/modal_gate.h"
#include "platform/presenter.h"
#include "platform/scheduler.h"
#include "screens/waits.h"

namespace cue {

// How long before their moment a trial's just-in-time steps are awake, reading the clock
// (µs): 2 ms of one core per trial, for steps that start on time on a machine that had idled.
inline constexpr std::uint64_t kJustInTimeSpinMicros = 2000;

// The experiment's timed waits, on two independent channels: the flicker's swaps (the blank
// screen's Timer1) and the pauses of the blank screen (its Timer2).
//
// The waits are event-driven: a wait arms its channel's timer and returns; the step that
// follows runs when the timer fires, after any open message box has been answered (ModalGate).
// A second wait on a pending channel restarts its timer with the new time; when it fires,
// both waits end, the later one first.
//
// With a frame-accurate presenter whose period is known, a wait that ends in a change of
// screen (ScreenWait) ends at the refresh nearest to its time counted from the onset of the
// screen being shown: a whole number of refreshes. Its steps run ahead of that refresh (the
// channel's own refreshes ahead, or the lead the screen it starts asks for) and their frame
// is sent for it when they are done. Without one, it is a plain timed wait.
//
// This lives beside the screens rather than in platform/: it is built from the platform's
// contracts (scheduler, presenter, clock, modal gate) and carries the screens' rules (which
// refresh a pause ends at, and that a step held behind a message box shows at the next one).
class FrameWaits {
 public:
  class Channel final : public Waiter {
   public:
    // refreshesAhead: how many refreshes before its target a screen wait's steps run.
    Channel(FrameWaits& waits, std::uint64_t refreshesAhead);
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // A wait that ends in a change of screen, with the channel's own refreshes ahead.
    // ms <= 0 returns at once: `then` runs inside the call.
    void Wait(int ms, std::function<void()> then) override { ScreenWait(ms, 0, std::move(then)); }
    // A wait that ends in a change of screen: its steps run leadMicros (0: the channel's own
    // refreshes ahead) before the asked time's refresh.
    void ScreenWait(int ms, double leadMicros, std::function<void()> then);
    // A plain timed wait of ms milliseconds, not aligned to the refreshes.
    void TimedWait(int ms, std::function<void()> then);
    bool waiting() const { return waiting_; }

   private:
    friend class FrameWaits;
    // Adds a pending wait's steps to the channel; returns what its timer runs.
    std::function<void()> Pend(std::function<void()> then);
    // Sets the timer to dueOf() (µs of the clock), read again when it fires; the last
    // spinMicros before it are waited awake (Scheduler::AtMicros).
    void ArmAt(std::function<double()> dueOf, std::uint64_t spinMicros, std::function<void()> fire);
    void Release();

    FrameWaits& waits_;
    Timer timer_;
    // A flicker swap changes the labels a lab's data counts against, so it changes them as
    // late as it can.
    std::uint64_t ahead_;
    bool waiting_ = false;
    std::vector<std::function<void()>> steps_;  // continuations of the pending waits
  };

  FrameWaits(Scheduler& scheduler, ModalGate& gate);
  FrameWaits(const FrameWaits&) = delete;
  FrameWaits& operator=(const FrameWaits&) = delete;

  // The display's presenter and the clock its refreshes are counted in.
  void SetPresenter(Presenter* presenter, const Clock* clock) {
    presenter_ = presenter;
    clock_ = clock;
  }

  // The flicker's swaps, each a change of the field: one refresh ahead.
  Channel& flicker() { return flicker_; }
  // The blank screen's pauses: a pause's step two refreshes ahead.
  Channel& pauses() { return pauses_; }

  // Stops both channels; the steps of pending waits run at the next turn of the event loop,
  // and no timer event of either channel follows.
  void CancelAll();

 private:
  bool FrameAccurate() const;
  // The waits of a channel end together; the latest one first, as nested waits unwind.
  void RunSteps(std::vector<std::function<void()>> steps);

  Scheduler& scheduler_;
  ModalGate& gate_;
  Presenter* presenter_ = nullptr;
  const Clock* clock_ = nullptr;
  Channel flicker_{*this, 1};
  Channel pauses_{*this, 2};
};

}  // namespace cue
