#include "stimulus/flicker.h"

namespace cue {

void ColourLabels(StimulusField& field, LabelColour colour) {
  const std::int32_t value = ColourValue(colour);
  for (int i = 1; i <= kLabelCount; ++i) field.Label1(i).foreColor = value;
}

void SetGreenLabelsVisible(StimulusField& field, bool vis) {
  for (int i = 1; i <= kLabelCount; ++i) {
    if (field.Label1(i).foreColor == ColourValue(LabelColour::kGreen)) field.Label1(i).visible = vis;
  }
}

void PlaceGridLines(StimulusField& field, float fieldWidth, float fieldHeight) {
  const float w = fieldWidth / kFieldColumns;
  const float h = fieldHeight / kFieldRows;
  for (int j = 1; j <= 5; ++j) {
    GridLine& line = field.Line1(j);
    line.x1 = line.x2 = kFieldLeft + static_cast<float>(j) * w;
    line.y1 = kFieldTop;
    line.y2 = kFieldTop + fieldHeight;
  }
  for (int j = 6; j <= 9; ++j) {
    GridLine& line = field.Line1(j);
    line.y1 = line.y2 = kFieldTop + static_cast<float>(j - 5) * h;
    line.x1 = kFieldLeft;
    line.x2 = kFieldLeft + fieldWidth;
  }
}

void GridVisible(StimulusField& field, bool vis) {
  for (int j = 1; j <= kLineCount; ++j) field.Line1(j).visible = vis;
}

void SwapColour(NumberLabel& label) {
  const std::int32_t red = ColourValue(LabelColour::kRed);
  label.foreColor = label.foreColor == red ? ColourValue(LabelColour::kGreen) : red;
}

Flicker::Flicker(StimulusField& field, Waiter& waiter, Generator& generator, const Clock& clock,
                 std::function<void()> redraw)
    : field_(field), waiter_(waiter), generator_(generator), clock_(clock), redraw_(std::move(redraw)) {}

void Flicker::FlickerLabels(std::int16_t delay, const bool& answered) {
  // A chain whose wait has not ended yet was answered inside it (only an answer starts a new
  // trial): its loop stays suspended.
  if (running_) suspended_.push_back(swapped_);
  pick_ = std::make_unique<MyRandom>(generator_, clock_);
  pick_->SetInterval(1, kLabelCount);
  delay_ = delay;
  answered_ = &answered;
  running_ = true;
  ++generation_;
  Step();
}

void Flicker::Step() {
  const int k = pick_->GetNextRanWR();
  SwapColour(field_.Label1(k));
  redraw_();
  swapped_ = k;
  waiter_.Wait(delay_, [this, k, generation = generation_] {
    if (generation != generation_) return;  // suspended already
    if (*answered_) {
      // The answer came inside this wait: the loop resumes only when the nesting unwinds.
      running_ = false;
      suspended_.push_back(k);
      pick_.reset();
      return;
    }
    // The label goes back and the next one swaps in one drawing: the subject sees one change.
    SwapColour(field_.Label1(k));
    Step();
  });
}

void Flicker::FinishSuspended() {
  if (suspended_.empty()) return;
  for (auto it = suspended_.rbegin(); it != suspended_.rend(); ++it) SwapColour(field_.Label1(*it));
  suspended_.clear();
  redraw_();
}

}  // namespace cue
