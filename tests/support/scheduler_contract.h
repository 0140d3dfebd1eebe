#pragma once

// What every Scheduler promises (platform/scheduler.h), written once and run against the
// virtual scheduler of the tests and the real one of the program, so that the two cannot
// drift apart. Correctness only: order, cancelling, never early, never inside After(); how
// late a real callback runs is the benchmark's business (bench/).
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

// Each callback runs once, in the order of its time (asked order for equal times), never
// inside After() even without a delay; a cancelled one never runs, also when a callback
// due at the same time cancels it, and a cancel of one already run or never issued is void.
TYPED_TEST_P(SchedulerContract, CallbacksRunOnceInTheOrderOfTheirTimesUnlessCancelled) {
  Scheduler::TimerId dropped = 0;
  this->scheduler().After(10, [this, &dropped] {
    this->ran.push_back("a");
    this->scheduler().Cancel(dropped);
  });
  dropped = this->Note(10, "dropped by a");
  const auto c = this->Note(30, "c");
  this->Note(20, "b");
  this->Note(-5, "now");
  for (const char* name : {"1", "2", "3"}) this->Note(40, name);
  this->scheduler().Cancel(c);
  this->scheduler().Cancel(c);
  this->scheduler().Cancel(987654);
  EXPECT_TRUE(this->ran.empty());
  ASSERT_TRUE(this->RunUntilRan(6));
  this->scheduler().Cancel(dropped);
  this->Note(5, "end");
  ASSERT_TRUE(this->RunUntilRan(7));
  EXPECT_EQ(this->ran, (std::vector<std::string>{"now", "a", "b", "1", "2", "3", "end"}));
}

// Never early, whole milliseconds from now or an absolute µs; an earlier deadline scheduled after a
// later one is met on its own.
TYPED_TEST_P(SchedulerContract, NothingRunsBeforeItsTimeNorWaitsForALaterOne) {
  this->Note(3000, "late");
  std::vector<std::int64_t> early;
  for (const int ms : {0, 1, 7, 25}) {
    const std::uint64_t asked = this->backend.NowMicros();
    this->scheduler().After(ms, [this, &early, asked, ms] {
      early.push_back(static_cast<std::int64_t>(this->backend.NowMicros() - asked) - ms * 1000);
    });
  }
  // Absolute moments between whole milliseconds, as a step timed to a display refresh asks.
  for (const std::uint64_t micros : {0ULL, 250ULL, 1337ULL, 16'683ULL}) {
    const std::uint64_t due = this->backend.NowMicros() + micros;
    this->scheduler().AtMicros(due, [this, &early, due] {
      early.push_back(static_cast<std::int64_t>(this->backend.NowMicros() - due));
    });
  }
  EXPECT_TRUE(early.empty());
  ASSERT_TRUE(this->backend.RunUntil([&] { return early.size() == 8; }));
  this->backend.Turn();
  for (const std::int64_t micros : early) EXPECT_GE(micros, 0);
  EXPECT_TRUE(this->ran.empty());
}

REGISTER_TYPED_TEST_SUITE_P(SchedulerContract,
                            CallbacksRunOnceInTheOrderOfTheirTimesUnlessCancelled,
                            NothingRunsBeforeItsTimeNorWaitsForALaterOne);

}  // namespace cue::testing
