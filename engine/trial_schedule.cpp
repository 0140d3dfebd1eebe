#include "engine/trial_schedule.h"

#include <cmath>

namespace cue {

void TrialSchedule::BuildTrialTypes() {
  if (!typeRandomSpecial_)
    typeRandomSpecial_ = std::make_unique<MyRandomSpecial>(generator_, clock_);
  typeRandomSpecial_->SetInterval(1, TRIALS_PER_BLOCK, 1, 2);
  if (!typeRandom_) typeRandom_ = std::make_unique<MyRandom>(generator_, clock_);
  typeRandom_->SetInterval(1, 2);

  // Rows are the combinations of two factors: the first (1..2) outer, the second (1..1)
  // inner. Row 0 and column 0 stay 0 and are never selected.
  trialTypes_ = {};
  int row = 1;
  for (std::int16_t a = 1; a <= 2; ++a) {
    for (std::int16_t b = 1; b <= 1; ++b) {
      trialTypes_[row][1] = a;
      trialTypes_[row][2] = b;
      ++row;
    }
  }
}

std::int16_t TrialSchedule::SelectTrialType(TrialTypeDraw draw) {
  // The generators exist once BuildTrialTypes has run, which loading the experiment screen
  // does before the first trial; before that nothing is drawn.
  std::int16_t k = 0;
  bool drawn = false;
  switch (draw) {
    case TrialTypeDraw::kSpecial:
      if (!typeRandomSpecial_) break;
      k = typeRandomSpecial_->GetNextRanS();
      drawn = true;
      break;
    case TrialTypeDraw::kWithReplacement:
      if (!typeRandom_) break;
      k = typeRandom_->GetNextRanWR();
      drawn = true;
      break;
    case TrialTypeDraw::kWithoutReplacement:
      if (!typeRandom_) break;
      k = typeRandom_->GetNextRanWOR();
      drawn = true;
      break;
  }
  if (drawn && k >= 0 && k <= 2) {
    state_.trialType1 = trialTypes_[k][1];
    state_.trialType2 = trialTypes_[k][2];
  }
  // There is no lower bound in this test.
  if (state_.trialType1 > 2 || state_.trialType2 > 1) Notify("Trail Type out of range.");
  return k;
}

void TrialSchedule::SetBlockType() {
  const std::int16_t b = BlockNumber();
  // C++ %, like the protocol's modulo, gives the remainder the sign of the dividend.
  auto type = static_cast<std::int16_t>((b + state_.orderCondition - 1) % TOTAL_ORDER_CONDITIONS);
  if (type == 0) type = 3;
  state_.blockType = type;
  if (state_.orderCondition > TOTAL_ORDER_CONDITIONS) {
    Notify("orderCondition is greater than TOTAL_ORDER_CONDITIONS");
  }
}

std::int16_t TrialSchedule::BlockNumber() const {
  const double block = (static_cast<double>(state_.trialNumber) - 1.0) / TRIALS_PER_BLOCK;
  return static_cast<std::int16_t>(std::floor(block) + 1.0);
}

bool TrialSchedule::BlockFinished() {
  const std::int16_t b = BlockNumber();
  if (static_cast<double>(state_.trialNumber) / TRIALS_PER_BLOCK == b && state_.trialNumber != 1) {
    BuildTrialTypes();
    return true;
  }
  return false;
}

void TrialSchedule::Notify(const char* text) {
  dialogs_.Show(Message{text, kAppTitle, Buttons::kOk, Icon::kNone});
}

}  // namespace cue
