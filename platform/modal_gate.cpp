#include "platform/modal_gate.h"

#include <utility>

namespace cue {

void ModalGate::RunWhenFree(std::function<void()> step) {
  if (closed_) return;
  if (depth_ > 0) {
    deferred_.push_back(std::move(step));
    return;
  }
  step();
}

void ModalGate::Leave() {
  if (depth_ > 0) --depth_;
  if (depth_ == 0 && !deferred_.empty()) scheduler_.After(0, [this] { RunDeferred(); });
}

void ModalGate::RunDeferred() {
  // A deferred step may open a message box of its own; what is still deferred then waits
  // for that one to close.
  while (depth_ == 0 && !closed_ && !deferred_.empty()) {
    auto step = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    step();
  }
}

Answer GatedDialogs::Show(const Message& message) {
  gate_.Enter();
  const Answer answer = inner_.Show(message);
  gate_.Leave();
  return answer;
}

}  // namespace cue
