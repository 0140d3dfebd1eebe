#pragma once

#include <functional>

#include "screens/blanke.h"
#include "screens/form.h"

namespace cue {

inline constexpr const char* kRestText = "Rest period press space bar to continue.";
// ms of blank screen around a rest: before it, and after the space bar before the next block.
inline constexpr int kRestBlank = 2000;

// The rest screen between two blocks: it waits, without a time limit, for the space bar,
// which starts the next block after kRestBlank ms of blank screen.
class Rest final : public Startable {
 public:
  // display is started after the blank screen; beginBlock tells it, as the space bar is
  // taken, that its next trial is the first of a block.
  Rest(Blanke& blanke, Startable& display, std::function<void()> beginBlock)
      : blanke_(blanke), display_(display), beginBlock_(std::move(beginBlock)) {}

  // The rest screen's window.
  void SetForm(Form* form) { form_ = form; }

  void Start() override;
  // Esc asks the quit question; space goes on to the next block; other keys do nothing.
  // Space counts once per rest period: a second one, which the blank screen in front would
  // take anyway, never starts the block twice.
  void Form_KeyPress(int keyAscii);
  // Between Start and the space bar.
  bool Resting() const { return resting_; }

 private:
  bool resting_ = false;
  Blanke& blanke_;
  Startable& display_;
  std::function<void()> beginBlock_;
  Form* form_ = nullptr;
};

}  // namespace cue
