#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/experiment_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/generator.h"
#include "random/balanced_random.h"
#include "random/my_random.h"

namespace cue {

// How SelectTrialType draws the next row of the table.
enum class TrialTypeDraw {
  kSpecial,             // the balanced pass (MyRandomSpecial), the one the trials use
  kWithReplacement,     // independent draws
  kWithoutReplacement,  // a pass without replacement
};

// Which kind of trial each trial is and which kind of block it belongs to. Nothing is
// precomputed for the run: each trial's types are drawn when it starts, from a balanced
// pass of 40 (20 target-present, 20 target-absent) that restarts at every block end.
class TrialSchedule {
 public:
  TrialSchedule(ExperimentState& state, Dialogs& dialogs, Generator& generator, const Clock& clock)
      : state_(state), dialogs_(dialogs), generator_(generator), clock_(clock) {}

  // Creates the generators on first use, restarts their passes and fills the table.
  void BuildTrialTypes();
  // Draws the next row into trialType1/trialType2 and returns its number; before
  // BuildTrialTypes it draws nothing and returns 0. Either way the range test runs and may
  // show its message.
  std::int16_t SelectTrialType(TrialTypeDraw draw);
  // blockType from the block number and the order condition.
  void SetBlockType();
  // Block of the current trial: 1 for trials 1..40, ..., 9 for 321..360; 0 for trial 0.
  std::int16_t BlockNumber() const;
  // True when the trial just answered ended its block (a multiple of 40); then the
  // trial types have already been set up afresh for the next block.
  bool BlockFinished();

  std::int16_t trialTypes(int row, int column) const { return trialTypes_[row][column]; }

 private:
  void Notify(const char* text);

  ExperimentState& state_;
  Dialogs& dialogs_;
  Generator& generator_;
  const Clock& clock_;
  std::unique_ptr<MyRandom> typeRandom_;
  std::unique_ptr<MyRandomSpecial> typeRandomSpecial_;
  std::array<std::array<std::int16_t, 3>, 3> trialTypes_{};  // [row 0..2][column 0..2]
};

}  // namespace cue
