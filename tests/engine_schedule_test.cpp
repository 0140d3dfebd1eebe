// Catches: a wrong block type or text in the schedule's two warnings, which the whole run never
// shows.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/trial_schedule.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::ScriptedDialogs;
using testing::ScriptedGenerator;

using testing::Shown;

class TrialScheduleTest : public ::testing::Test {
 protected:
  ExperimentState state_;
  ScriptedDialogs dialogs_;
  testing::VirtualTime time_;
  ScriptedGenerator generator_{{0.0F}};
  TrialSchedule schedule_{state_, dialogs_, generator_, time_};
};

// Before the table is built nothing is drawn, whatever the way; the range test then runs on
// the old values, with no lower bound, and warns once per value above 2.
TEST_F(TrialScheduleTest, NoDrawBeforeTheTableIsBuiltButTheRangeIsStillTested) {
  state_.trialType1 = 2;
  state_.trialType2 = 1;
  for (const TrialTypeDraw draw : {TrialTypeDraw::kSpecial, TrialTypeDraw::kWithReplacement,
                                   TrialTypeDraw::kWithoutReplacement}) {
    EXPECT_EQ(schedule_.SelectTrialType(draw), 0);
  }
  EXPECT_TRUE(generator_.seeds.empty());
  EXPECT_EQ(state_.trialType1, 2);
  for (const std::int16_t type : {3, -5}) {
    state_.trialType1 = type;
    schedule_.SelectTrialType(TrialTypeDraw::kSpecial);
  }
  ASSERT_EQ(dialogs_.shown.size(), 1U);
  EXPECT_EQ(Shown(dialogs_.shown[0]),
            std::tuple("Trail Type out of range.", "cuesearch", Buttons::kOk, Icon::kNone));
}

TEST_F(TrialScheduleTest, OrderConditionAboveThreeWarnsAtEveryStartAndKeepsTheRule) {
  state_.orderCondition = 4;
  for (const auto& [trial, type] : {std::pair{1, 1}, {41, 2}, {81, 3}, {121, 1}}) {
    state_.trialNumber = static_cast<std::int16_t>(trial);
    schedule_.SetBlockType();
    EXPECT_EQ(state_.blockType, type) << "trial " << trial;
  }
  ASSERT_EQ(dialogs_.shown.size(), 4U);
  for (const auto& m : dialogs_.shown) {
    EXPECT_EQ(Shown(m), std::tuple("orderCondition is greater than TOTAL_ORDER_CONDITIONS",
                                   "cuesearch", Buttons::kOk, Icon::kNone));
  }
}

}  // namespace
}  // namespace cue
