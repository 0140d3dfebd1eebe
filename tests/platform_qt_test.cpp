// Catches: timers on the Qt event loop that starve other events, run twice in a nested loop or
// after their scheduler is gone; paths garbled in messages; frames sent without an X server.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/x11_presenter.h"
#include "support/scheduler_contract.h"

namespace cue {

// Runs the real event loop until done() holds, or 10 s have passed (a safety net for a
// broken scheduler, not a measurement).
bool RunLoopUntil(const std::function<bool()>& done) {
  bool expired = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] { expired = true; });
  guard.start(10'000);
  while (!done() && !expired) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

namespace {

// File and folder names are UTF-8 on the system: a lab folder "run2_Müller" must not show as
// "run2_MÃ¼ller" in a message.
TEST(QtDialogsTest, MessagesShowPathsInUtf8AndBreakLinesAtCr) {
  EXPECT_EQ(MessageText("Cannot write /lab/run2_M\xC3\xBCller/Res_Data/R-3.txt.\rError 70"),
            QStringLiteral("Cannot write /lab/run2_M\u00FCller/Res_Data/R-3.txt.\nError 70"));
}

TEST(QtSchedulerTest, AChainOfImmediateCallbacksLetsOtherEventsThrough) {
  QtScheduler scheduler;
  int depth = 0, depthWhenPosted = -1;
  std::function<void()> again = [&] {
    if (++depth == 10) QTimer::singleShot(0, [&] { depthWhenPosted = depth; });
    if (depth < 1000) scheduler.After(0, again);
  };
  scheduler.After(0, again);
  ASSERT_TRUE(RunLoopUntil([&] { return depth == 1000 && depthWhenPosted >= 0; }));
  EXPECT_LT(depthWhenPosted, 1000);
}

// A callback that opens a nested event loop (as a message box does): what falls due meanwhile
// runs inside it, once, and the outer wake does not run it again.
TEST(QtSchedulerTest, CallbacksDueDuringANestedLoopRunThereAndOnlyOnce) {
  QtScheduler scheduler;
  std::vector<std::string> ran;
  scheduler.After(5, [&] {
    ran.push_back("outer");
    QEventLoop nested;
    scheduler.After(20, [&] {
      ran.push_back("inner");
      nested.quit();
    });
    nested.exec();
    ran.push_back("outer done");
  });
  scheduler.After(5, [&] { ran.push_back("same time"); });
  ASSERT_TRUE(RunLoopUntil([&] { return ran.size() >= 4; }));
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  EXPECT_EQ(ran, (std::vector<std::string>{"outer", "same time", "inner", "outer done"}));
}

TEST(QtSchedulerTest, DestroyingItWithCallbacksPendingRunsNone) {
  bool ran = false;
  {
    QtScheduler scheduler;
    scheduler.After(0, [&] { ran = true; });
  }
  bool waited = false;
  QTimer::singleShot(20, [&] { waited = true; });
  RunLoopUntil([&] { return waited; });
  EXPECT_FALSE(ran);
}

// Off X11 the frames fall back to the toolkit's painting; the presenter says why and calls nothing.
TEST(X11PresenterTest, OffX11ItFallsBackAndCallsNothing) {
  X11Presenter presenter;
  EXPECT_FALSE(presenter.FrameAccurate());
  EXPECT_EQ(presenter.Unavailable(), "the display is not an X server");
  bool called = false;
  presenter.Attach(1);
  EXPECT_TRUE(presenter.Canvas().isNull());
  presenter.Present(QRegion(0, 0, 8, 8), 0, [&](Refresh) { called = true; });
  EXPECT_EQ(presenter.SendFrame(), 0u);
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace cue

namespace cue::testing {

class QtBackend {
 public:
  Scheduler& Get() { return scheduler_; }
  std::uint64_t NowMicros() const { return clock_.Micros(); }
  bool RunUntil(const std::function<bool()>& done) { return RunLoopUntil(done); }
  void Turn() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

 private:
  SteadyClock clock_;  // CLOCK_MONOTONIC, the scheduler's clock
  QtScheduler scheduler_;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, SchedulerContract, QtBackend);

}  // namespace cue::testing
