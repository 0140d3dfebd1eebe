#include <gtest/gtest.h>

#include <array>
#include <map>

#include "engine/trial_schedule.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::ScriptedDialogs;
using testing::ScriptedGenerator;
using testing::VirtualTime;

class TrialScheduleTest : public ::testing::Test {
 protected:
  TrialSchedule MakeSchedule(Generator& generator) {
    return TrialSchedule(state_, dialogs_, generator, time_);
  }
  void At(int trial) { state_.trialNumber = static_cast<std::int16_t>(trial); }

  ExperimentState state_;
  ScriptedDialogs dialogs_;
  VirtualTime time_;
  Pcg32 pcg_{42};
};

TEST_F(TrialScheduleTest, BlockTypesFollowTheOrderCondition) {
  const std::array<std::array<int, 9>, 3> table{{{1, 2, 3, 1, 2, 3, 1, 2, 3},
                                                 {2, 3, 1, 2, 3, 1, 2, 3, 1},
                                                 {3, 1, 2, 3, 1, 2, 3, 1, 2}}};
  auto schedule = MakeSchedule(pcg_);
  for (int condition = 1; condition <= 3; ++condition) {
    state_.orderCondition = static_cast<std::int16_t>(condition);
    for (int trial = 1; trial <= TOTAL_TRIALS; ++trial) {
      At(trial);
      schedule.SetBlockType();
      ASSERT_EQ(state_.blockType, table[condition - 1][(trial - 1) / 40])
          << "condition " << condition << ", trial " << trial;
    }
  }
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(TrialScheduleTest, BlockNumberAndBlockEnds) {
  auto schedule = MakeSchedule(pcg_);
  schedule.BuildTrialTypes();
  const std::map<int, int> blockOf{{0, 0}, {1, 1}, {40, 1}, {41, 2}, {80, 2}, {321, 9}, {360, 9}};
  for (const auto& [trial, block] : blockOf) {
    At(trial);
    EXPECT_EQ(schedule.BlockNumber(), block) << "trial " << trial;
  }
  const std::map<int, bool> finished{{0, true},   {1, false},  {39, false}, {40, true},
                                     {41, false}, {80, true},  {359, false}, {360, true}};
  for (const auto& [trial, ends] : finished) {
    At(trial);
    EXPECT_EQ(schedule.BlockFinished(), ends) << "trial " << trial;
  }
}

// Runs the schedule as the trial cycle does: Special at every start, BlockFinished after
// every answer but the last. Returns per block the count of target-present trials.
std::array<int, 9> PresentPerBlock(TrialSchedule& schedule, ExperimentState& state) {
  std::array<int, 9> present{};
  schedule.BuildTrialTypes();
  for (int trial = 1; trial <= TOTAL_TRIALS; ++trial) {
    state.trialNumber = static_cast<std::int16_t>(trial);
    schedule.SelectTrialType("Special");
    schedule.SetBlockType();
    if (state.trialType1 == 1) ++present[static_cast<std::size_t>(schedule.BlockNumber() - 1)];
    if (trial != TOTAL_TRIALS) schedule.BlockFinished();
  }
  return present;
}

TEST_F(TrialScheduleTest, EveryBlockHoldsTwentyPresentAndTwentyAbsentForManySeeds) {
  state_.orderCondition = 2;
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    Pcg32 pcg(seed);
    auto schedule = MakeSchedule(pcg);
    const auto present = PresentPerBlock(schedule, state_);
    for (int block = 0; block < 9; ++block) {
      ASSERT_EQ(present[static_cast<std::size_t>(block)], 20) << "seed " << seed << ", block " << block + 1;
    }
    time_.Advance(17);
  }
}

TEST_F(TrialScheduleTest, BlockEndRestartsTheBalancedPass) {
  auto schedule = MakeSchedule(pcg_);
  schedule.BuildTrialTypes();
  for (int i = 0; i < 7; ++i) schedule.SelectTrialType("Special");  // a pass left unfinished
  At(40);
  ASSERT_TRUE(schedule.BlockFinished());
  int present = 0;
  for (int i = 0; i < 40; ++i) {
    schedule.SelectTrialType("Special");
    present += state_.trialType1 == 1;
  }
  EXPECT_EQ(present, 20);
}

TEST_F(TrialScheduleTest, OtherModesDrawAsDescribed) {
  auto schedule = MakeSchedule(pcg_);
  schedule.BuildTrialTypes();
  for (int pair = 0; pair < 20; ++pair) {
    const int a = schedule.SelectTrialType("WithOutReplacement");
    const int b = schedule.SelectTrialType("WithOutReplacement");
    EXPECT_EQ(a + b, 3) << "pair " << pair;  // 1 and 2 once each
  }
  std::map<int, int> counts;
  for (int i = 0; i < 200; ++i) {
    const int k = schedule.SelectTrialType("WithReplacement");
    ++counts[k];
    EXPECT_EQ(state_.trialType1, k);
    EXPECT_EQ(state_.trialType2, 1);
  }
  EXPECT_EQ(counts.size(), 2U);
}

TEST_F(TrialScheduleTest, UnrecognisedModeDrawsNothingButStillTestsTheRange) {
  ScriptedGenerator generator({0.0F});
  auto schedule = MakeSchedule(generator);
  schedule.BuildTrialTypes();
  state_.trialType1 = 2;
  state_.trialType2 = 1;
  const auto drawsBefore = generator.seeds.size();
  for (const char* mode : {"special", "SPECIAL", "", "Special "}) {
    EXPECT_EQ(schedule.SelectTrialType(mode), 0) << mode;
  }
  EXPECT_EQ(generator.seeds.size(), drawsBefore);
  EXPECT_EQ(state_.trialType1, 2);
  EXPECT_TRUE(dialogs_.shown.empty());

  state_.trialType1 = 3;  // out of range: the test runs on the old values
  EXPECT_EQ(schedule.SelectTrialType("nothing"), 0);
  ASSERT_EQ(dialogs_.shown.size(), 1U);
  EXPECT_EQ(dialogs_.shown[0].text, "Trail Type out of range.");
  EXPECT_EQ(dialogs_.shown[0].title, "cuesearch");
  EXPECT_EQ(dialogs_.shown[0].buttons, Buttons::kOk);
  EXPECT_EQ(dialogs_.shown[0].icon, Icon::kNone);

  state_.trialType1 = -5;  // there is no lower bound
  schedule.SelectTrialType("nothing");
  EXPECT_EQ(dialogs_.shown.size(), 1U);
}

TEST_F(TrialScheduleTest, OrderConditionAboveThreeWarnsAtEveryStartAndKeepsTheRule) {
  auto schedule = MakeSchedule(pcg_);
  state_.orderCondition = 4;
  const std::map<int, int> typeAt{{1, 1}, {41, 2}, {81, 3}, {121, 1}};
  for (const auto& [trial, type] : typeAt) {
    At(trial);
    schedule.SetBlockType();
    EXPECT_EQ(state_.blockType, type) << "trial " << trial;
  }
  ASSERT_EQ(dialogs_.shown.size(), typeAt.size());
  for (const auto& m : dialogs_.shown) {
    EXPECT_EQ(m.text, "orderCondition is greater than TOTAL_ORDER_CONDITIONS");
    EXPECT_EQ(m.title, "cuesearch");
  }
}

TEST_F(TrialScheduleTest, SelectionBeforeTheTableIsBuiltDrawsNothing) {
  auto schedule = MakeSchedule(pcg_);
  EXPECT_EQ(schedule.SelectTrialType("Special"), 0);
  EXPECT_EQ(state_.trialType1, 0);
}

}  // namespace
}  // namespace cue
