#pragma once

// What every Scheduler promises (platform/scheduler.h), written once and run against the
// virtual scheduler of the tests and the real one of the program, so that the two cannot
// drift apart. Correctness only: order, cancelling, re-arming, never early, never inside
// After(); how late a real callback runs is the benchmark's business (bench/).
//
// A backend type B offers:
//   Scheduler& Get();
//   std::uint64_t NowMicros();      // the clock the scheduler keeps its deadlines on
//   bool RunUntil(const std::function<bool()>& done);  // lets time pass until done() holds
//                                                      // (false if it never came to hold)
//   void Turn();                    // one turn of the event loop without letting time pass
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/scheduler.h"

namespace cue::testing {

template <typename Backend>
class SchedulerContract : public ::testing::Test {
 protected:
  Scheduler& scheduler() { return backend.Get(); }
  // Schedules a callback that records its name when it runs.
  Scheduler::TimerId Note(int ms, const std::string& name) {
    return scheduler().After(ms, [this, name] { ran.push_back(name); });
  }
  bool RunUntilRan(std::size_t count) {
    return backend.RunUntil([this, count] { return ran.size() >= count; });
  }

  Backend backend;
  std::vector<std::string> ran;
};

TYPED_TEST_SUITE_P(SchedulerContract);

TYPED_TEST_P(SchedulerContract, CallbacksRunOnceInTheOrderOfTheirTimes) {
  this->Note(30, "c");
  this->Note(10, "a");
  this->Note(20, "b");
  for (const char* name : {"1", "2", "3"}) this->Note(40, name);  // same time: in order asked
  ASSERT_TRUE(this->RunUntilRan(6));
  EXPECT_EQ(this->ran, (std::vector<std::string>{"a", "b", "c", "1", "2", "3"}));
  this->Note(5, "end");
  ASSERT_TRUE(this->RunUntilRan(7));
  EXPECT_EQ(this->ran.size(), 7U);  // nothing ran twice
}

TYPED_TEST_P(SchedulerContract, NothingRunsBeforeItsTime) {
  std::vector<std::int64_t> late;
  for (const int ms : {0, 1, 7, 25}) {
    const std::uint64_t asked = this->backend.NowMicros();
    this->scheduler().After(ms, [this, &late, asked, ms] {
      late.push_back(static_cast<std::int64_t>(this->backend.NowMicros() - asked) - ms * 1000);
    });
  }
  ASSERT_TRUE(this->backend.RunUntil([&] { return late.size() == 4; }));
  for (const std::int64_t micros : late) EXPECT_GE(micros, 0);
}

TYPED_TEST_P(SchedulerContract, NeverRunsInsideAfterEvenWithoutADelay) {
  bool ran = false;
  this->scheduler().After(0, [&] { ran = true; });
  this->scheduler().After(-5, [&] { ran = true; });
  EXPECT_FALSE(ran);
  ASSERT_TRUE(this->backend.RunUntil([&] { return ran; }));
}

TYPED_TEST_P(SchedulerContract, ACancelledCallbackNeverRunsAndOthersAreUntouched) {
  const auto a = this->Note(10, "a");
  const auto b = this->Note(10, "b");
  const auto c = this->Note(20, "c");
  this->Note(30, "d");
  this->scheduler().Cancel(b);
  this->scheduler().Cancel(c);
  this->scheduler().Cancel(c);       // twice: no effect
  this->scheduler().Cancel(987654);  // never issued: no effect
  ASSERT_TRUE(this->RunUntilRan(2));
  this->scheduler().Cancel(a);  // already ran: no effect
  this->Note(40, "end");
  ASSERT_TRUE(this->RunUntilRan(3));
  EXPECT_EQ(this->ran, (std::vector<std::string>{"a", "d", "end"}));
}

TYPED_TEST_P(SchedulerContract, ACallbackMayCancelAnotherThatIsAlsoDue) {
  Scheduler::TimerId second = 0;
  this->scheduler().After(10, [&] {
    this->ran.push_back("first");
    this->scheduler().Cancel(second);
  });
  second = this->Note(10, "second");
  this->Note(30, "later");
  ASSERT_TRUE(this->RunUntilRan(2));
  EXPECT_EQ(this->ran, (std::vector<std::string>{"first", "later"}));
}

// An earlier deadline scheduled after a later one must be met on its own, not with the later.
TYPED_TEST_P(SchedulerContract, AnEarlierDeadlineScheduledLaterIsMetFirstAndAlone) {
  this->Note(3000, "late");
  this->Note(20, "early");
  ASSERT_TRUE(this->RunUntilRan(1));
  this->backend.Turn();
  EXPECT_EQ(this->ran, (std::vector<std::string>{"early"}));
}

REGISTER_TYPED_TEST_SUITE_P(SchedulerContract, CallbacksRunOnceInTheOrderOfTheirTimes,
                            NothingRunsBeforeItsTime, NeverRunsInsideAfterEvenWithoutADelay,
                            ACancelledCallbackNeverRunsAndOthersAreUntouched,
                            ACallbackMayCancelAnotherThatIsAlsoDue,
                            AnEarlierDeadlineScheduledLaterIsMetFirstAndAlone);

}  // namespace cue::testing
