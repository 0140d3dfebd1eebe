#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

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

// The first draw of a field is its target digit: this generator fixes it, then runs on.
class FixedFirstDraw final : public Generator {
 public:
  FixedFirstDraw(float first, std::uint64_t seed) : first_(first), rest_(seed) {}
  void Randomize(std::int32_t seed) override { rest_.Randomize(seed); }
  float Rnd() override {
    if (!used_) {
      used_ = true;
      return first_;
    }
    return rest_.Rnd();
  }

 private:
  float first_;
  bool used_ = false;
  Pcg32 rest_;
};

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

TEST_F(StimulusFieldTest, EveryLabelStaysInsideItsOwnCell) {
  const float w = 7360.0F / 6, h = 5520.0F / 5;
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    Pcg32 pcg(seed);
    SetDisplay(field_, Request(1), pcg, time_);
    for (int p = 1; p <= LABEL_COUNT; ++p) {
      const NumberLabel& label = field_.Label1(p);
      const float cellLeft = FIELD_LEFT + static_cast<float>((p - 1) % 6) * w;
      const float cellTop = FIELD_TOP + static_cast<float>((p - 1) / 6) * h;
      SCOPED_TRACE("seed " + std::to_string(seed) + ", label " + std::to_string(p));
      // Offsets are at least 1 twip; rounding the position may move it by half a twip.
      EXPECT_GE(label.left, cellLeft + 0.5F);
      EXPECT_GE(label.top, cellTop + 0.5F);
      EXPECT_LE(label.left + label.width, cellLeft + w + 0.5F);
      EXPECT_LE(label.top + label.height, cellTop + h + 0.5F);
    }
  }
}

TEST_F(StimulusFieldTest, TargetSlotsShowTheNextDigit) {
  struct Case {
    int target;
    std::string next;
    int times;
  };
  // Before the target is placed, 2, 3 and 4 occur four times and the others three times;
  // the target's slots go to the next digit (9 is followed by 1).
  for (const Case& c : {Case{9, "1", 6}, Case{2, "3", 8}, Case{5, "6", 6}, Case{4, "5", 7}}) {
    FixedFirstDraw generator(DigitDraw(c.target), static_cast<std::uint64_t>(c.target));
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

TEST(FloorModTest, RemainderTakesTheSignOfTheDivisor) {
  const struct {
    std::int16_t a, b, r;
  } cases[] = {{10, 9, 1}, {9, 9, 0}, {-1, 9, 8}, {-10, 6, 2}, {0, 6, 0},
               {7, -3, -2}, {-7, -3, -1}, {5, 0, 0}};
  for (const auto& c : cases) EXPECT_EQ(FloorMod(c.a, c.b), c.r) << c.a << " mod " << c.b;
}

TEST(FieldSizeTest, FormLessTheMargins) {
  const FieldSize size = FieldSizeOf(8000, 6000);
  EXPECT_EQ(size.width, 0.0F);
  EXPECT_EQ(size.height, 0.0F);
  EXPECT_EQ(FieldSizeOf(15360, 11520).width, 7360.0F);
}

class FlickerTest : public ::testing::Test, public Waiter {
 protected:
  void Wait(int ms, std::function<void()> then) override { time_.After(ms, std::move(then)); }
  // The one label that does not have the colour, or -1.
  int OddLabel(std::int32_t colour) const {
    int odd = 0;
    int label = -1;
    for (int i = 1; i <= LABEL_COUNT; ++i) {
      if (field_.Label1(i).foreColor != colour) odd++, label = i;
    }
    return odd == 1 ? label : -1;
  }

  FakeLabelMetrics metrics_;
  StimulusField field_{metrics_};
  VirtualTime time_;
  Pcg32 pcg_{3};
  int redraws_ = 0;
  Flicker flicker_{field_, *this, pcg_, time_, [this] { ++redraws_; }};
};

TEST_F(FlickerTest, AnsweredLoopsKeepTheirSwapUntilTheyFinish) {
  ColourLabels(field_, RED);
  bool answered = false;
  flicker_.FlickerLabels(200, answered);
  for (int ms = 0; ms < 1000; ms += 50) {
    EXPECT_GT(OddLabel(RED), 0) << ms;
    time_.Advance(50);
  }
  EXPECT_EQ(redraws_, 2 * 5 + 1);  // five swaps and their swaps back, plus the sixth swap
  time_.Advance(30);
  answered = true;  // inside the wait of the sixth swap
  const int first = OddLabel(RED);
  time_.Advance(1000);
  EXPECT_EQ(OddLabel(RED), first);  // the loop is suspended with its label swapped
  EXPECT_FALSE(flicker_.Running());
  EXPECT_EQ(time_.PendingCount(), 0U);

  // The next trial is answered, and a third starts before that answer's wait has ended.
  ColourLabels(field_, GREEN);
  bool second = false;
  flicker_.FlickerLabels(100, second);
  time_.Advance(50);
  second = true;
  const int secondLabel = OddLabel(GREEN);
  ColourLabels(field_, GREEN);
  bool third = false;
  flicker_.FlickerLabels(100, third);
  time_.Advance(1030);
  EXPECT_GT(OddLabel(GREEN), 0);  // the second's wait ended without touching the third's labels
  third = true;
  time_.Advance(100);
  std::array<std::int32_t, LABEL_COUNT + 1> expected{};
  for (int i = 1; i <= LABEL_COUNT; ++i) expected[static_cast<std::size_t>(i)] = field_.Label1(i).foreColor;
  for (const int k : {first, secondLabel, OddLabel(GREEN)}) {
    ASSERT_GT(k, 0);
    auto& colour = expected[static_cast<std::size_t>(k)];
    colour = colour == RED ? GREEN : RED;
  }
  flicker_.FinishSuspended();  // every suspended loop swaps its label once more
  flicker_.FinishSuspended();  // and only once
  for (int i = 1; i <= LABEL_COUNT; ++i) EXPECT_EQ(field_.Label1(i).foreColor, expected[static_cast<std::size_t>(i)]) << i;
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
  for (int j = 1; j <= 5; ++j) {
    const GridLine& line = field.Line1(j);
    EXPECT_EQ(line.x1, 4000.0F + 1000.0F * static_cast<float>(j));
    EXPECT_EQ(line.x2, line.x1);
    EXPECT_EQ(line.y1, 3000.0F);
    EXPECT_EQ(line.y2, 8000.0F);
  }
  for (int j = 6; j <= 9; ++j) {
    const GridLine& line = field.Line1(j);
    EXPECT_EQ(line.y1, 3000.0F + 1000.0F * static_cast<float>(j - 5));
    EXPECT_EQ(line.y2, line.y1);
    EXPECT_EQ(line.x1, 4000.0F);
    EXPECT_EQ(line.x2, 10000.0F);
  }
  GridVisible(field, false);
  for (int j = 1; j <= 9; ++j) EXPECT_FALSE(field.Line1(j).visible);
}

}  // namespace
}  // namespace cue
