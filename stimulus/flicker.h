#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/generator.h"
#include "random/my_random.h"
#include "screens/waits.h"
#include "stimulus/field.h"

namespace cue {

// Gives every label the colour.
void ColourLabels(StimulusField& field, LabelColour colour);
// Gives every label whose colour is green the visibility vis; other labels are untouched.
void SetGreenLabelsVisible(StimulusField& field, bool vis);
// Lines 0..4 on the inner vertical cell boundaries, 5..8 on the horizontal ones.
void PlaceGridLines(StimulusField& field, float fieldWidth, float fieldHeight);
void GridVisible(StimulusField& field, bool vis);
// Red becomes green; green, and any other colour, becomes red.
void SwapColour(NumberLabel& label);

// The flicker of one trial: one label at a time, chosen with replacement, shows the other
// colour for `delay` ms, is swapped back, and the next one follows at once, until the answer.
//
// Each trial's flicker is a loop that swaps label k, waits, swaps k back and tests the answer
// flag. The answer always comes inside a wait, and the answer's handler goes on to run the
// pause and the next trial nested inside that wait, so an answered loop stays suspended with
// its label k swapped: the next trial counts its target against that colour, then recolours
// every label. The nesting unwinds only when the block ends and the rest screen is up: then
// each suspended loop, the latest first, makes its last swap of its k, whatever colour that
// label has by then, and the first trial of the next block counts against the result.
// Here the loops are chains of timer steps, and the suspended loops a stack of pending swaps.
class Flicker {
 public:
  // redraw is called after every change of a label's colour.
  Flicker(StimulusField& field, Waiter& waiter, Generator& generator, const Clock& clock,
          std::function<void()> redraw);

  // FlickerLabels: starts the chain; `answered` is read at the end of every wait.
  // REQUIRES: delay > 0 (the system passes 100..300 ms).
  void FlickerLabels(std::int16_t delay, const bool& answered);
  bool Running() const { return running_; }
  // The suspended loops finish, the latest first: each swaps its label once more. Called
  // once the rest screen is up.
  void FinishSuspended();

 private:
  void Step();

  StimulusField& field_;
  Waiter& waiter_;
  Generator& generator_;
  const Clock& clock_;
  std::function<void()> redraw_;
  std::unique_ptr<MyRandom> pick_;  // lives while the flicker runs
  std::int16_t delay_ = 0;
  const bool* answered_ = nullptr;
  bool running_ = false;
  int swapped_ = 0;             // the label index of the running chain's pending wait
  unsigned generation_ = 0;     // a wait whose chain a newer trial has suspended finds a newer one
  std::vector<int> suspended_;  // label indices of the suspended loops, oldest first
};

}  // namespace cue
