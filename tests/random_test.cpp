// Catches: a draw out of range or never reaching an end of it, a pass repeating or losing a value,
// an unbalanced pass, a frozen reseed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <vector>

#include "random/balanced_random.h"
#include "random/my_random.h"
#include "random/pool.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

class MyRandomTest : public ::testing::Test {
 protected:
  VirtualTime time_;
  Pcg32 pcg_{12345};
  ScriptedGenerator scripted_;
};

// Each pass of 30 draws is a permutation of 1..30, the next one another; a fresh instance
// draws from 0..0, a one-value range gives it every time (the ends of a range: DrawRangeTest).
TEST_F(MyRandomTest, PassesArePermutationsAndTheEdgesOfARangeHold) {
  MyRandom r(pcg_, time_), fresh(pcg_, time_), single(pcg_, time_);
  r.SetInterval(1, 30);
  std::vector<int> passes[2], all(30);
  std::iota(all.begin(), all.end(), 1);
  for (int i = 0; i < 60; ++i) passes[i / 30].push_back(r.GetNextRanWOR());
  EXPECT_NE(passes[0], passes[1]);
  for (const auto& pass : passes) EXPECT_THAT(pass, ::testing::UnorderedElementsAreArray(all));
  EXPECT_EQ(std::vector<int>({fresh.ran(), fresh.GetNextRanWR(), fresh.GetNextRanWOR()}),
            std::vector<int>(3, 0));
  EXPECT_EQ(MyRandomSpecial(pcg_, time_).GetNextRanS(), 0);
  single.SetInterval(5, 5);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(single.GetNextRanWOR(), 5);
}

TEST_F(MyRandomTest, EveryDrawReseedsFromTheTickCount) {
  VirtualTime late(0x80000005ULL * 1000);  // past 2^31 ms: the tick count reads negative
  MyRandom r(scripted_, late);
  r.SetInterval(1, 30);
  r.GetNextRanWR();
  late.Advance(3);
  r.GetNextRanWOR();
  EXPECT_EQ(scripted_.seeds, (std::vector<std::int32_t>{INT32_MIN + 5, INT32_MIN + 8}));
}

// Chi-square over 30 cells, 29 degrees of freedom; the fixed generator state makes it one
// fixed number (58.3 is the 0.1 % point). The clock never moves: every reseed folds in the
// same tick, and the draws must still vary.
TEST_F(MyRandomTest, WithReplacementIsUniformEvenWithinOneMillisecond) {
  MyRandom r(pcg_, time_);
  r.SetInterval(1, 30);
  std::map<int, int> counts;
  constexpr int kDraws = 30000;
  for (int i = 0; i < kDraws; ++i) ++counts[r.GetNextRanWR()];
  ASSERT_EQ(counts.size(), 30U);
  double chi2 = 0;
  for (const auto& [value, count] : counts)
    chi2 += (count - kDraws / 30.0) * (count - kDraws / 30.0) / (kDraws / 30.0);
  EXPECT_LT(chi2, 58.3);
}

// Every kind of draw reaches both ends of its range: the lowest value the generator gives (0)
// draws the lower bound, the highest (the largest float below 1) the upper one. The ranges are
// those the experiment draws from (labels, types, digits, delays, offsets) and the limits.
TEST(DrawRangeTest, EveryDrawReachesBothEndsOfItsRange) {
  VirtualTime time;
  const struct {
    std::int16_t lower, upper, uInt;  // uInt: the categories of MyRandomSpecial over the range
  } ranges[] = {{1, 30, 2}, {1, 2, 2},    {1, 9, 9}, {100, 300, 3},
                {1, 40, 2}, {1, 1104, 4}, {5, 5, 1}, {0, 32766, 7}};
  for (const auto& r : ranges) {
    for (const bool top : {false, true}) {
      ScriptedGenerator g({top ? 0.99999994F : 0.0F});
      const std::int16_t end = top ? r.upper : r.lower;
      MyRandom wr(g, time), wor(g, time);
      MyRandomSpecial special(g, time);
      wr.SetInterval(r.lower, r.upper);
      wor.SetInterval(r.lower, r.upper);
      special.SetInterval(r.lower, r.upper, 1, r.uInt);
      // RandomInRange, GetNextRanWR, GetNextRanWOR; GetNextRanS gives the category at the range's
      // last position (uInt when the range holds whole cycles of them).
      EXPECT_EQ(std::vector<int>({RandomInRange(g, time, r.lower, r.upper), wr.GetNextRanWR(),
                                  wor.GetNextRanWOR(), special.GetNextRanS()}),
                std::vector<int>({end, end, end, top ? (r.upper - r.lower) % r.uInt + 1 : 1}))
          << r.lower << ".." << r.upper << (top ? " top" : " bottom");
    }
  }
}

TEST(MyRandomSpecialTest, PassesHoldEachValueEquallyAndGiveTheExtraToSmallerOnes) {
  VirtualTime time;
  const struct {
    std::int16_t upper, uInt;
    std::map<int, int> perPass;
  } cases[] = {{40, 2, {{1, 20}, {2, 20}}},
               {5, 2, {{1, 3}, {2, 2}}},
               {7, 3, {{1, 3}, {2, 2}, {3, 2}}},
               {5, 1, {{1, 5}}}};
  for (const auto& c : cases) {
    Pcg32 pcg(777);
    MyRandomSpecial r(pcg, time);
    r.SetInterval(1, c.upper, 1, c.uInt);
    for (int pass = 0; pass < 3; ++pass) {
      std::map<int, int> counts;
      for (int i = 0; i < c.upper; ++i) ++counts[r.GetNextRanS()];
      EXPECT_EQ(counts, c.perPass) << "1.." << c.upper << " of " << c.uInt << ", pass " << pass;
    }
  }
}

}  // namespace
}  // namespace cue
