#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/generator.h"
#include "stimulus/field.h"

namespace cue {

// a - floor(a / b) * b in double precision, rounded: the remainder takes the sign of the
// divisor, so for b > 0 the result is 0..b-1 also for negative a. b = 0 gives 0.
std::int16_t FloorMod(std::int16_t a, std::int16_t b);

// The field's size from the experiment screen's outer size, twips (single precision).
struct FieldSize {
  float width = 0;
  float height = 0;
};
FieldSize FieldSizeOf(float formWidth, float formHeight);

// What a trial's field needs to know.
struct FieldRequest {
  float fieldWidth = 0;
  float fieldHeight = 0;
  std::int16_t trialType1 = 0;  // 1 places the target; anything else leaves it out
};

// Where the target went. Position and edges are 0 on a target-absent trial; the digit is
// drawn on every trial.
struct TargetFacts {
  std::int16_t targetNumber = 0;
  std::int16_t targetPosition = 0;
  float targetPositionX = 0;
  float targetPositionY = 0;
  // Labels that show the target digit while still in colour 32000 from the previous trial.
  std::int16_t counted = 0;
};

// Builds a trial's field: 30 digits in a 6 x 5 grid of cells, each label at a random offset
// inside its cell, the digits cycling 2, 3, ..., 9, 1, ... with the target's slots showing the
// next digit, then the target placed on one label when present. Every label takes the size of
// label 1 as it is on entry (sized to its previous caption) for its offset range.
TargetFacts SetDisplay(StimulusField& field, const FieldRequest& request, Generator& generator,
                       const Clock& clock);

}  // namespace cue
