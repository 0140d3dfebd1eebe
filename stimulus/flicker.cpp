#include "stimulus/flicker.h"

namespace cue {

void ColourLabels(StimulusField& field, LabelColour colour) {
  const std::int32_t value = ColourValue(colour);
  for (NumberLabel& label : field.labels()) label.foreColor = value;
}

void SetGreenLabelsVisible(StimulusField& field, bool vis) {
  for (NumberLabel& label : field.labels()) {
    if (label.foreColor == ColourValue(LabelColour::kGreen)) label.visible = vis;
  }
}

void PlaceGridLines(StimulusField& field, float fieldWidth, float fieldHeight) {
  const float w = fieldWidth / kFieldColumns;
  const float h = fieldHeight / kFieldRows;
  for (int j = 1; j <= 5; ++j) {  // the j-th inner column edge
    GridLine& line = field.lines()[static_cast<std::size_t>(j - 1)];
    line.x1 = line.x2 = kFieldLeft + static_cast<float>(j) * w;
    line.y1 = kFieldTop;
    line.y2 = kFieldTop + fieldHeight;
  }
  for (int j = 6; j <= 9; ++j) {  // the (j - 5)-th inner row edge
    GridLine& line = field.lines()[static_cast<std::size_t>(j - 1)];
    line.y1 = line.y2 = kFieldTop + static_cast<float>(j - 5) * h;
    line.x1 = kFieldLeft;
    line.x2 = kFieldLeft + fieldWidth;
  }
}

void GridVisible(StimulusField& field, bool vis) {
  for (GridLine& line : field.lines()) line.visible = vis;
}

void SwapColour(NumberLabel& label) {
  const std::int32_t red = ColourValue(LabelColour::kRed);
  label.foreColor = label.foreColor == red ? ColourValue(LabelColour::kGreen) : red;
}

Flicker::Flicker(StimulusField& field, Waiter& waiter, Generator& generator, const Clock& clock,
                 std::function<void()> redraw)
    : field_(field),
      waiter_(waiter),
      generator_(generator),
      clock_(clock),
      redraw_(std::move(redraw)) {}

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
  const int k = pick_->GetNextRanWR() - 1;  // a position 1..30 drawn
  SwapColour(field_.label(k));
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
    SwapColour(field_.label(k));
    Step();
  });
}

void Flicker::FinishSuspended() {
  if (suspended_.empty()) return;
  for (auto it = suspended_.rbegin(); it != suspended_.rend(); ++it) SwapColour(field_.label(*it));
  suspended_.clear();
  redraw_();
}

}  // namespace cue
