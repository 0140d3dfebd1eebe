// Catches: a wrong block type or text in the schedule's two warnings, which the whole run never shows.
#include <gtest/gtest.h>

#include <map>

#include "engine/trial_schedule.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::ScriptedDialogs;
using testing::ScriptedGenerator;

class TrialScheduleTest : public ::testing::Test {
 protected:
  void At(int trial) { state_.trialNumber = static_cast<std::int16_t>(trial); }

  ExperimentState state_;
  ScriptedDialogs dialogs_;
  testing::VirtualTime time_;
  ScriptedGenerator generator_{{0.0F}};
  TrialSchedule schedule_{state_, dialogs_, generator_, time_};
};

TEST_F(TrialScheduleTest, UnrecognisedModeDrawsNothingButStillTestsTheRange) {
  schedule_.BuildTrialTypes();
  state_.trialType1 = 2;
  state_.trialType2 = 1;
  const auto drawsBefore = generator_.seeds.size();
  for (const char* mode : {"special", "SPECIAL", "", "Special "}) {
    EXPECT_EQ(schedule_.SelectTrialType(mode), 0) << mode;
  }
  EXPECT_EQ(generator_.seeds.size(), drawsBefore);
  EXPECT_EQ(state_.trialType1, 2);
  EXPECT_TRUE(dialogs_.shown.empty());

  state_.trialType1 = 3;  // out of range: the test runs on the old values
  schedule_.SelectTrialType("nothing");
  state_.trialType1 = -5;  // there is no lower bound
  schedule_.SelectTrialType("nothing");
  ASSERT_EQ(dialogs_.shown.size(), 1U);
  EXPECT_EQ(dialogs_.shown[0].text, "Trail Type out of range.");
  EXPECT_EQ(dialogs_.shown[0].title, "cuesearch");
  EXPECT_EQ(dialogs_.shown[0].buttons, Buttons::kOk);
  EXPECT_EQ(dialogs_.shown[0].icon, Icon::kNone);
}

TEST_F(TrialScheduleTest, OrderConditionAboveThreeWarnsAtEveryStartAndKeepsTheRule) {
  state_.orderCondition = 4;
  const std::map<int, int> typeAt{{1, 1}, {41, 2}, {81, 3}, {121, 1}};
  for (const auto& [trial, type] : typeAt) {
    At(trial);
    schedule_.SetBlockType();
    EXPECT_EQ(state_.blockType, type) << "trial " << trial;
  }
  ASSERT_EQ(dialogs_.shown.size(), typeAt.size());
  for (const auto& m : dialogs_.shown) {
    EXPECT_EQ(m.text, "orderCondition is greater than TOTAL_ORDER_CONDITIONS");
    EXPECT_EQ(m.title, "cuesearch");
  }
}

}  // namespace
}  // namespace cue
