#include "stimulus/stimulus_field.h"

#include <charconv>
#include <cmath>
#include <string>

#include "random/my_random.h"

namespace cue {

std::int16_t FloorMod(std::int16_t a, std::int16_t b) {
  if (b == 0) return 0;
  const double r = a - std::floor(static_cast<double>(a) / b) * b;
  return static_cast<std::int16_t>(std::lrint(r));
}

FieldSize FieldSizeOf(float formWidth, float formHeight) {
  return FieldSize{formWidth - kFieldMarginX, formHeight - kFieldMarginY};
}

namespace {
// The numeric value of a caption: its leading digits, 0 when there are none.
int CaptionValue(const std::string& caption) {
  int value = 0;
  std::from_chars(caption.data(), caption.data() + caption.size(), value);
  return value;
}

// Whole-number bound of an offset range: floor, then narrowed to 16 bits.
std::int16_t OffsetBound(float cell, float label) {
  return static_cast<std::int16_t>(std::lrint(std::floor(cell - label)));
}
}  // namespace

TargetFacts SetDisplay(StimulusField& field, const FieldRequest& request, Generator& generator,
                       const Clock& clock) {
  const float w = request.fieldWidth / kFieldColumns;
  const float h = request.fieldHeight / kFieldRows;

  // Fresh instances every call: each trial gets a fresh permutation of the labels.
  MyRandom labelOrder(generator, clock), targetSlot(generator, clock);
  MyRandom xOffset(generator, clock), yOffset(generator, clock), digit(generator, clock);
  labelOrder.SetInterval(1, kLabelCount);
  targetSlot.SetInterval(1, kLabelCount);
  xOffset.SetInterval(1, OffsetBound(w, field.label(0).width));
  yOffset.SetInterval(1, OffsetBound(h, field.label(0).height));
  digit.SetInterval(1, 9);

  TargetFacts facts;
  facts.targetNumber = digit.GetNextRanWR();
  facts.targetPosition = targetSlot.GetNextRanWR();

  for (std::int16_t i = 1; i <= kLabelCount; ++i) {
    const int index = labelOrder.GetNextRanWOR() - 1;  // a position 1..30 drawn
    const std::int16_t dx = xOffset.GetNextRanWR();
    const std::int16_t dy = yOffset.GetNextRanWR();
    std::int16_t d = static_cast<std::int16_t>(FloorMod(i, 9) + 1);
    if (d == facts.targetNumber)
      d = static_cast<std::int16_t>(FloorMod(static_cast<std::int16_t>(i + 1), 9) + 1);
    field.SetCaption(index, std::to_string(d));
    const std::int16_t col = FloorMod(static_cast<std::int16_t>(index), kFieldColumns);
    const int row = index / kFieldColumns;
    // x in single and y in double precision, each rounded half to even.
    const float x = kFieldLeft + static_cast<float>(dx) + static_cast<float>(col) * w;
    const double y = static_cast<double>(kFieldTop) + dy + row * static_cast<double>(h);
    NumberLabel& label = field.label(index);
    label.left = std::nearbyint(x);
    label.top = static_cast<float>(std::nearbyint(y));
  }

  if (request.trialType1 == 1 && facts.targetPosition >= 1 && facts.targetPosition <= kLabelCount) {
    const int target = facts.targetPosition - 1;
    field.SetCaption(target, std::to_string(facts.targetNumber));
    facts.targetPositionX = field.label(target).left;
    facts.targetPositionY = field.label(target).top;
  } else {
    facts.targetPosition = 0;
    facts.targetPositionX = 0;
    facts.targetPositionY = 0;
  }

  // The colours are still those of the previous trial: this trial's colour comes later.
  for (const NumberLabel& label : field.labels()) {
    if (CaptionValue(label.caption) == facts.targetNumber &&
        label.foreColor == ColourValue(LabelColour::kGreen))
      ++facts.counted;
  }
  return facts;
}

}  // namespace cue
