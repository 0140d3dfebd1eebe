// Catches: a label position rounded the wrong way, a target digit left in the field or its
// slots given the wrong digit, colour swaps and grid lines that the whole run does not look at.
#include <gtest/gtest.h>

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

using testing::FakeLabelMetrics;
using testing::ScriptedGenerator;
using testing::VirtualTime;

float DigitDraw(int digit) { return (static_cast<float>(digit) - 0.5F) / 9.0F; }

std::map<std::string, int> DigitCounts(const StimulusField& field) {
  std::map<std::string, int> counts;
  for (int i = 1; i <= LABEL_COUNT; ++i) ++counts[field.Label1(i).caption];
  return counts;
}

class StimulusFieldTest : public ::testing::Test {
 protected:
  StimulusFieldTest() { field_.AutoSizeAll(); }
  static constexpr FieldRequest Request(std::int16_t type) { return FieldRequest{7360, 5520, type}; }

  FakeLabelMetrics metrics_;
  StimulusField field_{metrics_};
  VirtualTime time_;
};

TEST_F(StimulusFieldTest, TargetSlotsShowTheNextDigit) {
  struct Case {
    int target;
    std::string next;
    int times;
  };
  // Before the target is placed, 2, 3 and 4 occur four times and the others three times;
  // the target's slots go to the next digit (9 is followed by 1).
  for (const Case& c : {Case{9, "1", 6}, Case{2, "3", 8}, Case{5, "6", 6}, Case{4, "5", 7}}) {
    ScriptedGenerator generator({DigitDraw(c.target)});
    const TargetFacts facts = SetDisplay(field_, Request(2), generator, time_);
    ASSERT_EQ(facts.targetNumber, c.target);
    const auto counts = DigitCounts(field_);
    EXPECT_EQ(counts.at(c.next), c.times) << "target " << c.target;
    EXPECT_EQ(counts.count(std::to_string(c.target)), 0U) << "target " << c.target;
  }
}

TEST_F(StimulusFieldTest, PositionsRoundHalfToEven) {
  // All draws 0: label p goes to slot p, offsets are 1, the digit (and target) is 1.
  ScriptedGenerator zeros({0.0F});
  // Cells of 1000.5 twips: x = 4001 + col * 1000.5 and y = 3001 + row * 1000.5.
  SetDisplay(field_, FieldRequest{6003, 5002.5F, 2}, zeros, time_);
  EXPECT_EQ(field_.Label1(2).left, 5002.0F);   // 5001.5
  EXPECT_EQ(field_.Label1(4).left, 7002.0F);   // 7002.5
  EXPECT_EQ(field_.Label1(7).top, 4002.0F);    // 4001.5
  EXPECT_EQ(field_.Label1(19).top, 6002.0F);   // 6002.5
  EXPECT_EQ(field_.Label1(1).left, 4001.0F);
}

TEST(LabelColourTest, SwapsAndGreenVisibility) {
  FakeLabelMetrics metrics;
  StimulusField field(metrics);
  NumberLabel& odd = field.Label1(4);
  odd.foreColor = 0x123456;  // neither colour: red first, then green
  SwapColour(odd);
  EXPECT_EQ(odd.foreColor, RED);
  SwapColour(odd);
  EXPECT_EQ(odd.foreColor, GREEN);
  ColourLabels(field, 255.4F);
  EXPECT_EQ(field.Label1(30).foreColor, RED);
  field.Label1(2).foreColor = GREEN;
  field.Label1(2).visible = false;
  field.Label1(3).visible = false;
  SetGreenLabelsVisible(field, true);
  EXPECT_TRUE(field.Label1(2).visible);
  EXPECT_FALSE(field.Label1(3).visible);  // only green labels are touched
}

TEST(GridLinesTest, LinesOnTheInnerCellBoundaries) {
  FakeLabelMetrics metrics;
  StimulusField field(metrics);
  PlaceGridLines(field, 6000, 5000);
  for (int j = 1; j <= 9; ++j) {  // five columns' edges, then four rows'
    const GridLine& l = field.Line1(j);
    const float x = j <= 5 ? 4000.0F + 1000.0F * static_cast<float>(j) : 0, y = j > 5 ? 3000.0F + 1000.0F * static_cast<float>(j - 5) : 0;
    EXPECT_EQ(std::vector<float>({l.x1, l.x2, l.y1, l.y2}),
              j <= 5 ? std::vector<float>({x, x, 3000, 8000}) : std::vector<float>({4000, 10000, y, y})) << j;
  }
  GridVisible(field, false);
  for (int j = 1; j <= 9; ++j) EXPECT_FALSE(field.Line1(j).visible);
}

}  // namespace
}  // namespace cue
