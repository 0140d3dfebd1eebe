#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/generator.h"
#include "random/my_random.h"
#include "screens/waits.h"
#include "stimulus/field.h"

namespace cue {

// Gives every label the colour (rounded to a whole colour value).
void ColourLabels(StimulusField& field, float colour);
// Gives every label whose colour is GREEN the visibility vis; other labels are untouched.
void SetGreenLabelsVisible(StimulusField& field, bool vis);
// Lines 1..5 on the inner vertical cell boundaries, 6..9 on the horizontal ones.
void PlaceGridLines(StimulusField& field, float fieldWidth, float fieldHeight);
void GridVisible(StimulusField& field, bool vis);
// RED becomes GREEN; GREEN, and any other colour, becomes RED.
void SwapColour(NumberLabel& label);

// The flicker of one trial: one label at a time, chosen with replacement, shows the other
// colour for `delay` ms, is swapped back, and the next one follows at once, until the answer.
//
// It runs as a chain of waits rather than a loop: each step swaps a label, waits, swaps it
// back and tests the answer flag, in that order, so the label swapped when the answer comes
// is still swapped back, `delay` ms after its swap, before the flicker ends. A flicker never
// outlives its trial: the next trial starts at least 2.5 s after the answer, long after the
// last swap back, so at every instant at most one label differs from the block's colour.
class Flicker {
 public:
  // redraw is called after every change of a label's colour.
  Flicker(StimulusField& field, Waiter& waiter, Generator& generator, const Clock& clock,
          std::function<void()> redraw);

  // FlickerLabels: starts the chain; `answered` is read before every swap.
  // REQUIRES: delay > 0 (the system passes 100..300 ms).
  void FlickerLabels(std::int16_t delay, const bool& answered);
  bool Running() const { return running_; }

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
  unsigned generation_ = 0;  // a wait that outlived its flicker finds a newer generation
};

}  // namespace cue
