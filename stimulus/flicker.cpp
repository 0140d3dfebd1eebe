#include "stimulus/flicker.h"

#include <cmath>

namespace cue {

void ColourLabels(StimulusField& field, float colour) {
  const auto value = static_cast<std::int32_t>(std::lrint(colour));
  for (int i = 1; i <= LABEL_COUNT; ++i) field.Label1(i).foreColor = value;
}

void SetGreenLabelsVisible(StimulusField& field, bool vis) {
  for (int i = 1; i <= LABEL_COUNT; ++i) {
    if (field.Label1(i).foreColor == GREEN) field.Label1(i).visible = vis;
  }
}

void PlaceGridLines(StimulusField& field, float fieldWidth, float fieldHeight) {
  const float w = fieldWidth / FIELD_COLUMNS;
  const float h = fieldHeight / FIELD_ROWS;
  for (int j = 1; j <= 5; ++j) {
    GridLine& line = field.Line1(j);
    line.x1 = line.x2 = FIELD_LEFT + static_cast<float>(j) * w;
    line.y1 = FIELD_TOP;
    line.y2 = FIELD_TOP + fieldHeight;
  }
  for (int j = 6; j <= 9; ++j) {
    GridLine& line = field.Line1(j);
    line.y1 = line.y2 = FIELD_TOP + static_cast<float>(j - 5) * h;
    line.x1 = FIELD_LEFT;
    line.x2 = FIELD_LEFT + fieldWidth;
  }
}

void GridVisible(StimulusField& field, bool vis) {
  for (int j = 1; j <= LINE_COUNT; ++j) field.Line1(j).visible = vis;
}

void SwapColour(NumberLabel& label) { label.foreColor = label.foreColor == RED ? GREEN : RED; }

Flicker::Flicker(StimulusField& field, Waiter& waiter, Generator& generator, const Clock& clock,
                 std::function<void()> redraw)
    : field_(field), waiter_(waiter), generator_(generator), clock_(clock), redraw_(std::move(redraw)) {}

void Flicker::FlickerLabels(std::int16_t delay, const bool& answered) {
  // A chain whose wait has not ended yet was answered inside it (only an answer starts a new
  // trial): its loop stays suspended.
  if (running_) suspended_.push_back(swapped_);
  pick_ = std::make_unique<MyRandom>(generator_, clock_);
  pick_->SetInterval(1, LABEL_COUNT);
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
