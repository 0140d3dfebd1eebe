#pragma once

#include <cstdint>

#include "labfolder/protocol.h"

namespace cue {

inline constexpr int NUMBER_LABELS = 30;
inline constexpr std::int16_t kFixedFlickerDelay = 200;  // ms, block type 2
inline constexpr std::int16_t kMinFlickerDelay = 100;    // ms, block type 3
inline constexpr std::int16_t kMaxFlickerDelay = 300;    // ms, block type 3
inline constexpr int kCueDelay = 1000;                   // ms from a trial's start to its cue
inline constexpr int kPauseBlank1 = 1000;                // ms of blank screen after an answer
inline constexpr int kPauseCross = 1000;                 // ms of fixation cross
inline constexpr int kPauseBlank2 = 500;                 // ms of blank screen before the field
// The blank screen around a rest is the rest screen's: kRestBlank (screens/rest.h).

// The experiment's shared variables, one copy per run (held by the experiment context).
// Whole numbers are 16-bit as in the protocol; positions and sizes are twips.
struct ExperimentState {
  std::int16_t trialNumber = 0;     // 1..360 during the run; 0 before the first trial
  std::int16_t orderCondition = 0;  // 1..3, from the start-up screen
  std::int16_t subjectId = 0;
  std::int16_t trialType1 = 0;      // 1 = target present, 2 = target absent
  std::int16_t trialType2 = 0;      // always 1
  std::int16_t blockType = 0;       // 1 still, 2 fixed-delay flicker, 3 random-delay flicker
  std::int16_t flickerDelay = 0;    // ms; kept unchanged through blocks of type 1
  std::int16_t targetNumber = 0;    // the digit searched for, 1..9
  std::int16_t targetPosition = 0;  // label position 1..30 (label index + 1); 0 when absent
  float targetPositionX = 0;        // left edge of the target label; 0 when absent
  float targetPositionY = 0;        // top edge of the target label; 0 when absent
  float fieldWidth = 0;             // the experiment screen's width - 8000
  float fieldHeight = 0;            // the experiment screen's height - 6000
};

}  // namespace cue
