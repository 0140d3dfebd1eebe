// The real experiment screens under Qt's offscreen platform, in real time: the last trials of
// the first block, its rest period and into the second block (about 20 s; labelled slow).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "app/experiment_screens.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_window_system.h"
#include "support/fake_sound_player.h"
#include "support/scripted.h"

namespace cue {
namespace {

class LoopLifecycle final : public Lifecycle {
 public:
  void EndProgram() override { ++ended; }
  int ended = 0;
};

int OddLabels(const TrialCycle& display) {
  int odd = 0;
  for (int i = 1; i <= LABEL_COUNT; ++i) {
    odd += display.field().Label1(i).foreColor != static_cast<std::int32_t>(display.blockColour);
  }
  return odd;
}

TEST(RealFormsTest, FirstBlockRestAndIntoTheSecondBlock) {
  const auto dir = std::filesystem::temp_directory_path() / ("cue-gui-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "Res_Data");
  std::filesystem::current_path(dir);

  SteadyClock clock;
  QtScheduler scheduler;
  testing::ScriptedDialogs dialogs;
  DiskFileSystem files;
  testing::FakeSoundPlayer sound(clock);
  Pcg32 pcg(7);
  QtWindowSystem windows;
  LoopLifecycle lifecycle;
  QtLabelMetrics metrics;
  Experiment x(Services{clock, scheduler, dialogs, files, sound, pcg, windows, lifecycle}, metrics,
               dir.string());
  ExperimentScreens screens(x, metrics);
  x.state.subjectId = 3;
  GreetLogic launch(GreetContext{x.state, dialogs, files, windows, lifecycle, screens.Targets()});
  launch.Command1_Click("AB", "2");  // block 1 flickers at 200 ms, block 2 at a drawn delay
  EXPECT_TRUE(screens.blanke.isVisible());
  x.state.trialNumber = 37;  // the run goes on from the end of the first block

  QEventLoop loop;
  int answeredTrial = 0, rests = 0, maxOdd = 0, strayKeys = 0;
  bool sawFlicker = false;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const TrialCycle& d = x.display;
    if (d.awaitingResponse && screens.display.isVisible()) {
      const int odd = OddLabels(d);
      maxOdd = std::max(maxOdd, odd);
      sawFlicker = sawFlicker || odd == 1;
    }
    if (x.state.trialNumber == 42) loop.quit();
    if (d.awaitingResponse && answeredTrial < x.state.trialNumber && clock.Micros() % 7 == 0) {
      answeredTrial = x.state.trialNumber;
      const bool present = x.state.trialType1 == 1;
      QTimer::singleShot(120, [&, present] {
        QTest::keyClick(&screens.display, Qt::Key_M, Qt::ShiftModifier);  // "M" never counts
        QTest::keyClick(&screens.display, present ? Qt::Key_M : Qt::Key_N);
        // A key during the pause goes to the blank screen, which ignores it.
        QTimer::singleShot(300, [&] {
          QTest::keyClick(&screens.blanke, Qt::Key_N);
          ++strayKeys;
        });
      });
    }
    if (x.rest.Resting()) {
      ++rests;
      QTest::keyClick(&screens.rest, Qt::Key_Space);
    }
  });
  poll.start(5);
  QTimer::singleShot(60'000, &loop, &QEventLoop::quit);  // a safety net, not a measurement
  loop.exec();

  ASSERT_EQ(x.state.trialNumber, 42);
  EXPECT_EQ(rests, 1);
  EXPECT_LE(maxOdd, 1);
  EXPECT_TRUE(sawFlicker);
  EXPECT_GE(strayKeys, 4);
  EXPECT_EQ(lifecycle.ended, 0);
  auto file = files.ReadAll((dir / "Res_Data" / "R-3.txt").string());
  ASSERT_TRUE(std::holds_alternative<std::string>(file));
  const std::string& text = std::get<std::string>(file);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);  // the header and trials 38-41
  EXPECT_NE(text.find("\r\n40\t1\t2\t2\t"), std::string::npos);
  EXPECT_NE(text.find("\r\n41\t2\t3\t2\t"), std::string::npos);
  EXPECT_TRUE(dialogs.shown.empty());
  std::filesystem::current_path("/");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cue
