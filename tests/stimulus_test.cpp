// Catches: a label rounded the wrong way, a draw that cannot reach an end of its range, a wrong
// digit in the target's slots, wrong colour swaps or grid lines.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "stimulus/field.h"
#include "stimulus/flicker.h"
#include "stimulus/stimulus_field.h"
#include "support/doubles.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

class StimulusFieldTest : public ::testing::Test {
 protected:
  StimulusFieldTest() { field_.AutoSizeAll(); }

  FakeLabelMetrics metrics_;
  StimulusField field_{metrics_};
  VirtualTime time_;
};

// Before the target is placed, 2, 3 and 4 occur four times and the others three times; the
// target's slots go to the next digit (9 is followed by 1), and the target is nowhere else.
TEST_F(StimulusFieldTest, TargetSlotsShowTheNextDigit) {
  for (const auto& [target, next, times] :
       {std::tuple{9, "1", 6}, {2, "3", 8}, {5, "6", 6}, {4, "5", 7}}) {
    ScriptedGenerator generator({(static_cast<float>(target) - 0.5F) / 9.0F});  // draws the target
    ASSERT_EQ(SetDisplay(field_, FieldRequest{7360, 5520, 2}, generator, time_).targetNumber,
              target);
    std::map<std::string, int> counts;
    for (const NumberLabel& label : field_.labels()) ++counts[label.caption];
    EXPECT_EQ(counts.at(next), times) << "target " << target;
    EXPECT_EQ(counts.count(std::to_string(target)), 0U) << "target " << target;
  }
}

// Each draw of a field reaches both ends of its range: the target digit 1..9, its slot 1..30,
// and every label's offsets in its cell, from 1 twip to the cell less the label (floored).
TEST_F(StimulusFieldTest, EveryDrawReachesBothEndsOfItsRange) {
  const float w = 7360.0F / 6, h = 5520.0F / 5;
  for (const bool top : {false, true}) {
    ScriptedGenerator generator({top ? 0.99999994F : 0.0F});
    const TargetFacts facts = SetDisplay(field_, FieldRequest{7360, 5520, 1}, generator, time_);
    EXPECT_EQ(facts.targetNumber, top ? 9 : 1);
    EXPECT_EQ(facts.targetPosition, top ? 30 : 1);
    for (int i = 0; i < kLabelCount; ++i) {
      const NumberLabel& l = field_.label(i);
      const float dx = top ? std::floor(w - l.width) : 1, dy = top ? std::floor(h - l.height) : 1;
      EXPECT_EQ(l.left, std::nearbyint(kFieldLeft + dx + static_cast<float>(i % 6) * w))
          << i << top;
      EXPECT_EQ(l.top, std::nearbyint(kFieldTop + dy + static_cast<float>(i / 6) * h)) << i << top;
    }
  }
}

// All draws 0: label i goes to slot i, offsets are 1, the digit (and target) is 1. Cells of
// 1000.5 twips: x = 4001 + col * 1000.5 and y = 3001 + row * 1000.5 (label i in column i % 6
// and row i / 6).
TEST_F(StimulusFieldTest, PositionsRoundHalfToEven) {
  ScriptedGenerator zeros({0.0F});
  SetDisplay(field_, FieldRequest{6003, 5002.5F, 2}, zeros, time_);
  // 5001.5, 7002.5, 4001.5, 6002.5 and 4001
  EXPECT_EQ(std::vector({field_.label(1).left, field_.label(3).left, field_.label(6).top,
                         field_.label(18).top, field_.label(0).left}),
            std::vector<float>({5002, 7002, 4002, 6002, 4001}));
}

// A colour swap turns any colour but red to red; only green labels are shown or hidden; grid
// lines lie on the inner cell boundaries: five columns' edges, then four rows'.
TEST_F(StimulusFieldTest, ColourSwapsGreenVisibilityAndGridLines) {
  NumberLabel& odd = field_.label(3);
  odd.foreColor = 0x123456;
  SwapColour(odd);
  EXPECT_EQ(odd.foreColor, ColourValue(LabelColour::kRed));
  SwapColour(odd);
  EXPECT_EQ(odd.foreColor, ColourValue(LabelColour::kGreen));
  ColourLabels(field_, LabelColour::kRed);
  EXPECT_EQ(field_.label(kLabelCount - 1).foreColor, ColourValue(LabelColour::kRed));
  field_.label(1).foreColor = ColourValue(LabelColour::kGreen);
  field_.label(1).visible = field_.label(2).visible = false;
  SetGreenLabelsVisible(field_, true);
  EXPECT_TRUE(field_.label(1).visible);
  EXPECT_FALSE(field_.label(2).visible);

  PlaceGridLines(field_, 6000, 5000);
  GridVisible(field_, false);
  for (int j = 0; j < kLineCount; ++j) {
    const GridLine& l = field_.lines()[static_cast<std::size_t>(j)];
    const float x = 4000.0F + 1000.0F * static_cast<float>(j + 1),
                y = 3000.0F + 1000.0F * static_cast<float>(j - 4);
    EXPECT_EQ(
        std::vector<float>({l.x1, l.x2, l.y1, l.y2}),
        j < 5 ? std::vector<float>({x, x, 3000, 8000}) : std::vector<float>({4000, 10000, y, y}))
        << j;
    EXPECT_FALSE(l.visible) << j;
  }
}

}  // namespace
}  // namespace cue
