#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <vector>

#include "random/my_random.h"
#include "random/my_random_balanced.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::ScriptedGenerator;
using testing::VirtualTime;

constexpr float kJustBelowOne = 0.99999994F;  // the largest float below 1

class MyRandomTest : public ::testing::Test {
 protected:
  std::vector<int> DrawWOR(MyRandom& r, int n) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) out.push_back(r.GetNextRanWOR());
    return out;
  }
  static std::vector<int> Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
  static std::vector<int> Range(int lo, int hi) {
    std::vector<int> v(static_cast<std::size_t>(hi - lo + 1));
    std::iota(v.begin(), v.end(), lo);
    return v;
  }

  VirtualTime time_;
  Pcg32 pcg_{12345};
  ScriptedGenerator scripted_;
};

TEST_F(MyRandomTest, DegenerateAndExtremeRanges) {
  MyRandom fresh(pcg_, time_);  // a fresh instance reads 0 and draws from 0..0
  EXPECT_EQ(fresh.ran(), 0);
  EXPECT_EQ(fresh.GetNextRanWR(), 0);

  MyRandom single(pcg_, time_);
  single.SetInterval(5, 5);  // every draw is a whole pass
  for (int i = 0; i < 10; ++i) EXPECT_EQ(single.GetNextRanWOR(), 5);
  EXPECT_EQ(single.GetNextRanWR(), 5);

  scripted_.Set({kJustBelowOne});  // the largest draw stays in range
  MyRandom top(scripted_, time_);
  top.SetInterval(1, 30);
  EXPECT_EQ(top.GetNextRanWR(), 30);
  top.SetInterval(100, 300);
  EXPECT_EQ(top.GetNextRanWR(), 300);
}

TEST_F(MyRandomTest, ScriptedDrawsFollowTheOneStepShuffle) {
  // Pool 1,2,3. r = 0.9 picks position 3 (value 3), and value 1 moves into position 3;
  // r = 0 then picks position 2 (value 2); the last draw takes position 3, now holding 1.
  scripted_.Set({0.9F, 0.0F, 0.5F, 0.0F});
  MyRandom r(scripted_, time_);
  r.SetInterval(1, 3);
  EXPECT_EQ(DrawWOR(r, 3), (std::vector<int>{3, 2, 1}));
  // A new pass starts with the pool back in ascending order: r = 0 gives position 1.
  EXPECT_EQ(r.GetNextRanWOR(), 1);
}

TEST_F(MyRandomTest, ThirtyDrawsArePermutationAndTheThirtyFirstStartsANewOne) {
  MyRandom r(pcg_, time_);
  r.SetInterval(1, 30);
  const auto first = DrawWOR(r, 30);
  EXPECT_EQ(Sorted(first), Range(1, 30));
  const auto second = DrawWOR(r, 30);
  EXPECT_EQ(Sorted(second), Range(1, 30));
  EXPECT_NE(first, second);
}

TEST_F(MyRandomTest, PairsOfOneToTwoEachHoldBothValues) {
  MyRandom r(pcg_, time_);
  r.SetInterval(1, 2);
  for (int pair = 0; pair < 50; ++pair) EXPECT_EQ(Sorted(DrawWOR(r, 2)), (std::vector<int>{1, 2}));
}

TEST_F(MyRandomTest, WithReplacementLeavesThePassAlone) {
  scripted_.Set({0.0F});
  MyRandom r(scripted_, time_);
  r.SetInterval(1, 3);
  EXPECT_EQ(r.GetNextRanWOR(), 1);
  EXPECT_EQ(r.GetNextRanWR(), 1);
  EXPECT_EQ(r.GetNextRanWR(), 1);
  EXPECT_EQ(DrawWOR(r, 2), (std::vector<int>{2, 3}));  // the pass goes on where it was
}

TEST_F(MyRandomTest, AssigningUpperMidPassRebuildsPoolButKeepsPosition) {
  MyRandom r(pcg_, time_);
  r.SetInterval(1, 5);
  DrawWOR(r, 2);
  r.set_upper(8);
  // The rest of the pass draws from positions 3..8 of a pool rebuilt in ascending order.
  EXPECT_EQ(Sorted(DrawWOR(r, 6)), Range(3, 8));
  EXPECT_EQ(Sorted(DrawWOR(r, 8)), Range(1, 8));  // then full passes over 1..8
}

TEST_F(MyRandomTest, AssigningLowerThenUpperIsTheSameAsSetInterval) {
  ScriptedGenerator a({0.7F, 0.2F, 0.9F, 0.4F, 0.1F}), b({0.7F, 0.2F, 0.9F, 0.4F, 0.1F});
  MyRandom viaInterval(a, time_), viaProperties(b, time_);
  viaInterval.SetInterval(10, 14);
  viaProperties.set_lower(10);
  viaProperties.set_upper(14);
  EXPECT_EQ(DrawWOR(viaInterval, 10), DrawWOR(viaProperties, 10));
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

// Chi-square goodness of fit over 30 cells, 29 degrees of freedom. A fixed generator state
// makes the statistic one fixed number, so the test cannot flake; 58.3 is the 0.1 % point.
// The clock never moves: every reseed folds in the same tick, and the draws must still vary.
TEST_F(MyRandomTest, WithReplacementIsUniformEvenWithinOneMillisecond) {
  for (std::uint64_t seed : {1ULL, 2ULL, 99ULL}) {
    Pcg32 pcg(seed);
    MyRandom r(pcg, time_);
    r.SetInterval(1, 30);
    std::map<int, int> counts;
    constexpr int kDraws = 30000;
    for (int i = 0; i < kDraws; ++i) ++counts[r.GetNextRanWR()];
    ASSERT_EQ(counts.size(), 30U);
    double chi2 = 0;
    for (const auto& [value, count] : counts) {
      const double expected = kDraws / 30.0;
      chi2 += (count - expected) * (count - expected) / expected;
    }
    EXPECT_LT(chi2, 58.3) << "seed " << seed;
  }
}

class MyRandomSpecialTest : public ::testing::Test {
 protected:
  std::map<int, int> CountPass(MyRandomSpecial& r, int n) {
    std::map<int, int> counts;
    for (int i = 0; i < n; ++i) ++counts[r.GetNextRanS()];
    return counts;
  }
  VirtualTime time_;
  Pcg32 pcg_{777};
};

TEST_F(MyRandomSpecialTest, PoolCyclesThroughTheValuesInOrder) {
  ScriptedGenerator first({0.0F});  // always the front of the undrawn part: the pool in order
  MyRandomSpecial r(first, time_);
  r.SetInterval(1, 40, 1, 2);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(r.GetNextRanS(), i % 2 + 1) << "position " << i + 1;
}

TEST_F(MyRandomSpecialTest, EachPassOfFortyHoldsTwentyOfEach) {
  MyRandomSpecial r(pcg_, time_);
  r.SetInterval(1, 40, 1, 2);
  for (int pass = 0; pass < 5; ++pass) {
    EXPECT_EQ(CountPass(r, 40), (std::map<int, int>{{1, 20}, {2, 20}})) << "pass " << pass;
  }
}

TEST_F(MyRandomSpecialTest, UnevenPassGivesTheExtraDrawsToSmallerValues) {
  MyRandomSpecial r(pcg_, time_);
  r.SetInterval(1, 5, 1, 2);
  for (int pass = 0; pass < 4; ++pass) EXPECT_EQ(CountPass(r, 5), (std::map<int, int>{{1, 3}, {2, 2}}));
  r.SetInterval(1, 7, 1, 3);
  EXPECT_EQ(CountPass(r, 7), (std::map<int, int>{{1, 3}, {2, 2}, {3, 2}}));
}

TEST_F(MyRandomSpecialTest, CycleLengthEdgeCases) {
  struct Case {
    std::int16_t uInt;
    std::map<int, int> perPass;
  };
  const std::map<int, int> oneToFive{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}};
  for (const Case& c : {Case{1, {{1, 5}}}, Case{9, oneToFive}, Case{0, oneToFive},
                        Case{-3, oneToFive}}) {
    MyRandomSpecial r(pcg_, time_);
    r.SetInterval(1, 5, 1, c.uInt);
    EXPECT_EQ(CountPass(r, 5), c.perPass) << "uInt " << c.uInt;
    EXPECT_EQ(CountPass(r, 5), c.perPass) << "uInt " << c.uInt << ", second pass";
  }
}

TEST_F(MyRandomSpecialTest, AssigningUpperKeepsThePassPosition) {
  ScriptedGenerator first({0.0F});
  MyRandomSpecial r(first, time_);
  r.SetInterval(1, 4, 1, 2);
  EXPECT_EQ(r.GetNextRanS(), 1);
  r.set_upper(6);  // pool 1,2,1,2,1,2 in positions 1..6; the pass goes on at position 2
  std::vector<int> rest;
  for (int i = 0; i < 5; ++i) rest.push_back(r.GetNextRanS());
  EXPECT_EQ(rest, (std::vector<int>{2, 1, 2, 1, 2}));
  EXPECT_EQ(r.ran(), 2);
}

TEST_F(MyRandomSpecialTest, DrawingBeforeAnyIntervalDoesNotCrash) {
  MyRandomSpecial special(pcg_, time_);
  EXPECT_EQ(special.GetNextRanS(), 0);
  MyRandom plain(pcg_, time_);
  EXPECT_EQ(plain.GetNextRanWOR(), 0);
}

}  // namespace
}  // namespace cue
