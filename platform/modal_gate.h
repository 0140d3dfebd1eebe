#pragma once

#include <functional>
#include <vector>

#include "platform/dialogs.h"
#include "platform/scheduler.h"

namespace cue {

// Keeps the order of steps while a message box is open.
//
// A message box is modal: the handler that opened it waits for the answer. Timer events go
// on meanwhile (a cue still plays), but a step that follows a wait must not run until the
// handler holding the message box has finished, just as a wait loop further up a call chain
// could not test its flag before the message box returned. Steps that continue after a
// wait therefore go through RunWhenFree(): at once when no message box is open, otherwise in
// order once the last one has closed and the handler that opened it has returned (they are
// posted to the event loop, so the handler acts on the answer first: a Yes to the quit
// question ends the program before any of them runs).
class ModalGate {
 public:
  explicit ModalGate(Scheduler& scheduler) : scheduler_(scheduler) {}

  void RunWhenFree(std::function<void()> step);
  bool Busy() const { return depth_ > 0; }

  void Enter() { ++depth_; }
  void Leave();
  // The program is ending: nothing deferred runs, and nothing is run from now on.
  void Shutdown() {
    closed_ = true;
    deferred_.clear();
  }

 private:
  void RunDeferred();

  Scheduler& scheduler_;
  int depth_ = 0;
  bool closed_ = false;
  std::vector<std::function<void()>> deferred_;
};

// Dialogs that hold the gate closed while a message box is open.
class GatedDialogs final : public Dialogs {
 public:
  GatedDialogs(Dialogs& inner, ModalGate& gate) : inner_(inner), gate_(gate) {}
  Answer Show(const Message& message) override;

 private:
  Dialogs& inner_;
  ModalGate& gate_;
};

}  // namespace cue
