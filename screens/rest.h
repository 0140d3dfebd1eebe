#pragma once

#include "screens/blanke.h"
#include "screens/form.h"

namespace cue {

inline constexpr const char* REST_TEXT = "Rest period press space bar to continue.";

// The rest screen between two blocks: it waits, without a time limit, for the space bar,
// which starts the next block after 2000 ms of blank screen.
class Rest final : public Startable {
 public:
  // beginBlock is the experiment screen's flag that
  // makes its next trial the first of a block; display is started after the blank screen.
  Rest(Blanke& blanke, bool& beginBlock, Startable& display)
      : blanke_(blanke), beginBlock_(beginBlock), display_(display) {}

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
  bool& beginBlock_;
  Startable& display_;
  Form* form_ = nullptr;
};

}  // namespace cue
