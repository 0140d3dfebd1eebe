// Catches: a trial cycle that mishandles its edges: a quit answered either way, a wrapping
// clock, results rescued at the end, missing sounds, a slow write as a trial starts, and
// pauses or onsets off the display's refreshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/reaction_clock.h"
#include "engine/timing_log.h"
#include "support/run_harness.h"

namespace cue {
namespace {

using testing::DataRows;
using testing::RunHarness;
using testing::VirtualTime;

// Answers every trial correctly after rtMs; space ends a rest period at once.
void AnswerAll(RunHarness& h, int rtMs) {
  h.onShowDisplay = [&h, rtMs] { h.PressLater(rtMs, h.x.state.trialType1 == 1 ? 'm' : 'n'); };
  h.onShowRest = [&h] { h.PressLater(1, ' '); };
}

TEST(ReactionClockTest, ElapsedTimeRoundedToTheNearestMillisecond) {
  VirtualTime time(5'000'400);  // 5000.4 ms
  ReactionClock clock(time);
  clock.StartClock();
  EXPECT_EQ(clock.clockStart(), 5000U);
  time.AdvanceMicros(734'100);
  EXPECT_EQ(clock.ReadClock(), 734);
  time.AdvanceMicros(400);  // 734.5 ms
  EXPECT_EQ(clock.ReadClock(), 735);
}

TEST(TrialCycleTest, WrappingCounterInARealTrial) {
  // The first trial starts 2.5 s after the launch, 300 ms before the counter wraps.
  RunHarness h(3, (0x1'0000'0000ULL - 2800) * 1000);
  AnswerAll(h, 800);
  h.Launch(5, 1);
  h.time.Advance(2500 + 800);
  EXPECT_LT(timeGetTime(h.time), 1000U);  // the counter has wrapped
  EXPECT_EQ(DataRows(h.Results()).back()[12], "800");
}

TEST(TrialCycleTest, QuitDeclinedLeavesTheTrialWaitingWithItsClockRunning) {
  RunHarness h;
  h.onShowDisplay = [&h] {
    if (h.x.state.trialNumber != 2) return;
    h.PressLater(300, 27);
    h.PressLater(2500, 'm');
    h.PressLater(2500, 'n');
  };
  h.dialogs.onShow = [&h](const Message& m) {
    if (m.buttons == Buttons::kYesNo) h.time.Advance(1500);  // the question stays up 1.5 s
  };
  h.Launch(5, 1);
  h.onShowDisplay();  // trial 1 is answered by the line below
  h.time.Advance(2500 + 400);
  h.x.display.Form_KeyPress('m');
  h.time.Advance(2500 + 3000);
  ASSERT_EQ(DataRows(h.Results()).size(), 2U);
  EXPECT_EQ(DataRows(h.Results()).back()[12], "2500");
  EXPECT_EQ(h.lifecycle.ended, 0);
}

// Esc answered Yes in the fourth trial, or in a pause that ends while the question is up.
TEST(TrialCycleTest, QuitConfirmedKeepsTheRowsSoFarAndStartsNoMoreTrials) {
  const struct {
    const char* when;
    std::uint64_t atMs, questionMs;
    std::size_t rows, shown;
  } cases[] = {{"in a trial", 3 * 3000 + 2500 + 200, 0, 3, 4}, {"in a pause", 2500 + 500 + 1200, 2000, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when);
    RunHarness h;
    AnswerAll(h, 500);
    h.Launch(5, 2);
    h.time.Advance(c.atMs);
    h.dialogs.script.push_back(Answer::kYes);
    h.dialogs.onShow = [&h, &c](const Message&) { h.time.Advance(c.questionMs); };
    h.Press(27);
    const std::string rows = h.Results();
    h.time.RunUntilIdle();
    EXPECT_EQ(h.lifecycle.ended, 1);
    EXPECT_EQ(DataRows(rows).size(), c.rows);
    EXPECT_EQ(h.Results(), rows);
    EXPECT_EQ(h.displayShownAt.size(), c.shown);
  }
}

TEST(TrialCycleTest, ResultsFolderRemovedNearTheEndIsRescued) {
  RunHarness h(12);
  AnswerAll(h, 400);
  auto subject = h.onShowDisplay;
  h.onShowDisplay = [&] {
    if (h.x.state.trialNumber == 355) h.files.folders.erase("/lab/Res_Data");
    subject();
  };
  h.Launch(9, 1);
  h.time.RunUntilIdle();
  EXPECT_EQ(DataRows(h.Results()).size(), 354U);
  const std::string journal = h.x.display.results().journalPath();
  EXPECT_EQ(journal.rfind("/prog/lab-", 0), 0U);
  const std::string rescued = h.files.files[journal];
  EXPECT_EQ(std::count(rescued.begin(), rescued.end(), '\n'), 2 + 6);  // its path, the header, the rows
  EXPECT_NE(rescued.find("\r\n355\t"), std::string::npos);
  EXPECT_EQ(h.dialogs.shown.back().title, "RESULTS RESCUED");
}

TEST(TrialCycleTest, MissingSoundsAreReportedBeforeTheFirstTrial) {
  RunHarness h;
  h.sound.missing.insert("/lab/wave/7.wav");
  h.sound.missing.insert("/lab/wave/Utopia Error.wav");
  h.sound.outputAvailable = false;
  std::size_t trialsBeforeMessage = 99;
  h.dialogs.onShow = [&](const Message&) { trialsBeforeMessage = h.displayShownAt.size(); };
  h.Launch(5, 1);
  ASSERT_EQ(h.dialogs.shown.size(), 1U);
  const std::string& text = h.dialogs.shown[0].text;
  for (const char* part : {"/lab/wave/7.wav", "/lab/wave/Utopia Error.wav", "no sound server"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
  }
  EXPECT_EQ(text.find("/lab/wave/8.wav"), std::string::npos);
  EXPECT_EQ(trialsBeforeMessage, 0U);
  h.time.Advance(2500);  // the experiment goes on
  EXPECT_EQ(h.displayShownAt.size(), 1U);
}

// The reaction time runs from the clock's start to the key, so nothing slow may happen while
// a trial starts: the previous trial's timing line is on disk well before.
TEST(TrialCycleTest, TheTimingLineIsWrittenInThePauseNotAsTheNextTrialStarts) {
  RunHarness h;
  const std::string file = "/lab/Res_Data/timing-5.tsv";
  std::string whenShown;
  h.onShowDisplay = [&] {
    whenShown = h.files.files[file];
    h.PressLater(400, 'n');
  };
  h.Launch(5, 1);
  h.time.Advance(2500 + 400);  // trial 1 answered
  const std::string header = h.files.files[file];
  h.time.Advance(TIMING_WRITE_DELAY - 1);
  EXPECT_EQ(h.files.files[file], header);
  h.time.Advance(1);
  const std::string written = h.files.files[file];
  EXPECT_EQ(DataRows(written).size(), 1U);
  h.time.Advance(2500 - TIMING_WRITE_DELAY);  // trial 2 starts and is shown
  ASSERT_EQ(h.displayShownAt.size(), 2U);
  EXPECT_EQ(whenShown, written);
}

// With a presenter (a 62.5 Hz display on virtual time) every pause lasts the whole number of
// refreshes nearest its time, counted from the onset of the screen it ends; a trial's steps
// run at the refresh FIELD_LEAD_REFRESHES before its field's; the timing line tells the onset,
// the key's arrival, the reaction time from that arrival, the refreshes missed and the display;
// the results file keeps the time from the clock's start to the key's handling.
TEST(TrialCycleTest, PausesLastWholeRefreshesAndTheFieldsOnsetIsRecorded) {
  RunHarness h;
  h.UsePresenter(16);
  struct : KeyArrivals {  // each key arrived 250 µs before it is handled
    std::uint64_t CurrentKeyMicros() const override { return clock->Micros() - 250; }
    const Clock* clock = nullptr;
  } keys;
  keys.clock = &h.time;
  h.x.display.SetKeyArrivals(&keys);
  h.onShowDisplay = [&] { h.PressLater(400, 'n'); };
  h.Launch(5, 1);
  h.time.Advance(4000);     // trial 1 answered
  h.presenter->lateBy = 1;  // the next frame (the blank after the cross) comes a refresh late
  h.time.Advance(5000);
  std::vector<std::pair<Presenter::FrameId, std::uint64_t>> changes;  // each change of frame
  for (const auto& f : h.presenter->shown) {
    if (changes.empty() || changes.back().first != f.frame) changes.emplace_back(f.frame, f.msc);
  }
  // blank, cross, blank, field (trial 1), blank, cross, blank (late), field (trial 2)
  ASSERT_GE(changes.size(), 8U);
  const auto at = [&](std::size_t i) { return changes[i].second; };
  EXPECT_EQ(changes[5].first, RunHarness::kCrossFrame);
  EXPECT_EQ(at(5) - at(4), 63U);      // 1000 ms: 62.5 refreshes, rounded
  EXPECT_EQ(at(6) - at(5), 63U + 1);  // the blank came late: the next pause counts from it
  EXPECT_EQ(at(7) - at(6), 31U);      // 500 ms: 31.25
  EXPECT_EQ(at(3) - at(2), 31U);

  const auto lines = DataRows(h.files.files["/lab/Res_Data/timing-5.tsv"]);
  ASSERT_EQ(lines.size(), 2U);
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& l = lines[i];
    const std::uint64_t field = at(3 + 4 * i);
    ASSERT_EQ(l.size(), 17U);
    const std::uint64_t start = (field - FIELD_LEAD_REFRESHES) * 16'000;
    EXPECT_EQ(l[1], std::to_string(start)) << i;  // the clock's start
    EXPECT_EQ(l[9], std::to_string(field * 16'000)) << i;
    EXPECT_EQ(l[10], std::to_string(field)) << i;
    EXPECT_EQ(l[11], std::to_string(400'000 - 250 - FIELD_LEAD_REFRESHES * 16'000)) << i;
    EXPECT_EQ(l[16], std::to_string(start + 400'000 - 250)) << i;
    EXPECT_EQ(l[12], i == 0 ? "0" : "1") << i;
    EXPECT_EQ(l[13], "62.500");
    EXPECT_EQ(l[14], "1024x768");
    EXPECT_EQ(l[15], "xpresent");
  }
  EXPECT_EQ(DataRows(h.Results()).back()[12], "400");
}

}  // namespace
}  // namespace cue
