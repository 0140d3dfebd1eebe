// Catches: a trial mishandled at its edges: quit, counter wrap, rescue, missing sounds, slow
// writes, refreshes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/reaction_clock.h"
#include "engine/timing_log.h"
#include "support/run_harness.h"

namespace cue {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

// Answers every trial correctly after rtMs; space ends a rest period at once.
void AnswerAll(RunHarness& h, int rtMs) {
  h.onShowDisplay = [&h, rtMs] {
    h.PressLater(rtMs, h.x.display.Snapshot().trialType1 == 1 ? 'm' : 'n');
  };
  h.onShowRest = [&h] { h.PressLater(1, ' '); };
}

// Rounded to the nearest millisecond, also across the wrap of the 32-bit millisecond counter.
TEST(ReactionClockTest, ElapsedTimeRoundedToTheNearestMillisecondAcrossTheWrap) {
  VirtualTime time(5'000'400);  // 5000.4 ms
  ReactionClock clock(time);
  clock.StartClock();
  EXPECT_EQ(clock.clockStart(), 5000U);
  time.AdvanceMicros(734'100);
  EXPECT_EQ(clock.ReadClock(), 734);
  time.AdvanceMicros(400);  // 734.5 ms
  EXPECT_EQ(clock.ReadClock(), 735);
  VirtualTime late((0x1'0000'0000ULL - 300) * 1000);
  ReactionClock wrapping(late);
  wrapping.StartClock();
  late.Advance(800);
  EXPECT_EQ(wrapping.ReadClock(), 800);
}

// Esc in a trial or in a pause that ends while the question is up. No: the trial goes on, its
// clock running through the question. Yes: the rows so far stay and no trial follows.
TEST(TrialCycleTest, QuitAnsweredEitherWay) {
  const struct {
    const char* when;
    int rtMs;
    std::uint64_t atMs, questionMs;
    Answer answer;
    std::size_t rows, shown;
  } cases[] = {{"No in trial 2", 2500, 2 * 2500 + 2500 + 300, 1500, Answer::kNo, 2, 2},
               {"Yes in trial 4", 500, 3 * 3000 + 2500 + 200, 0, Answer::kYes, 3, 4},
               {"Yes in a pause", 500, 2500 + 500 + 1200, 2000, Answer::kYes, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.when);
    RunHarness h;
    AnswerAll(h, c.rtMs);
    h.Launch(5, 2);
    h.time.Advance(c.atMs);
    h.dialogs.script.push_back(c.answer);
    h.dialogs.onShow = [&h, &c](const Message&) { h.time.Advance(c.questionMs); };
    h.Press(27);
    const std::string atAnswer = h.Results();
    const bool quit = c.answer == Answer::kYes;
    if (quit)
      h.time.RunUntilIdle();
    else
      h.time.Advance(2000);
    EXPECT_EQ(h.lifecycle.ended, quit ? 1 : 0);
    EXPECT_TRUE(!quit || h.Results() == atAnswer) << h.Results();
    const auto rows = DataRows(h.Results());
    ASSERT_EQ(rows.size(), c.rows);
    EXPECT_EQ(rows.back()[12], std::to_string(c.rtMs));
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
  const std::string rescued = h.files.files[h.x.display.results().journalPath()];
  EXPECT_EQ(std::count(rescued.begin(), rescued.end(), '\n'),
            4 + 6);  // path, machine, boot, header, rows
  EXPECT_NE(rescued.find("\r\n355\t"), std::string::npos);
  EXPECT_EQ(h.dialogs.shown.back().title, "RESULTS RESCUED");
}

TEST(TrialCycleTest, MissingSoundsAreReportedBeforeTheFirstTrial) {
  RunHarness h;
  h.sound.missing = {"/lab/wave/7.wav", "/lab/wave/Utopia Error.wav"};
  h.sound.outputAvailable = false;
  std::size_t trialsBeforeMessage = 99;
  h.dialogs.onShow = [&](const Message&) { trialsBeforeMessage = h.displayShownAt.size(); };
  h.Launch(5, 1);
  ASSERT_EQ(h.dialogs.shown.size(), 1U);
  const std::string& text = h.dialogs.shown[0].text;
  for (const char* part :
       {"/lab/wave/7.wav", "/lab/wave/Utopia Error.wav", "no sound server", "8.wav"})
    EXPECT_EQ(text.find(part) == std::string::npos, part[0] == '8') << part << " in " << text;
  EXPECT_EQ(trialsBeforeMessage, 0U);
  h.time.Advance(2500);  // the experiment goes on
  EXPECT_EQ(h.displayShownAt.size(), 1U);
}

// Letters other than the answer keys (Caps Lock, another layout) are counted while a trial
// awaits its answer, not in the pauses; a digit or a space is no letter.
TEST(TrialCycleTest, LetterKeysThatATrialIgnoresAreCounted) {
  RunHarness h;
  h.onShowDisplay = [&] {
    for (const int key : {int{'M'}, int{'N'}, 0x43C, int{'5'}, int{' '}}) h.Press(key);
    h.PressLater(400, 'n');
  };
  h.Launch(5, 1);
  h.time.Advance(2500 + 400);  // trial 1 answered
  h.Press('X');
  EXPECT_EQ(h.x.display.Snapshot().ignoredLetterKeys, 3);
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

// The quit question answered No in a pause holds the run while it is open: the pause's steps
// run when it has closed and show at the next refresh; the experimenter's time is no refresh
// missed (it would mark the session's timing as failed).
TEST(TrialCycleTest, AQuestionOpenInAPauseIsNoRefreshMissed) {
  RunHarness h;
  h.UsePresenter(16);
  AnswerAll(h, 500);
  h.Launch(5, 2);
  h.time.Advance(2500 + 500 + 1200);  // the blank after trial 1's answer
  h.dialogs.script.push_back(Answer::kNo);
  h.dialogs.onShow = [&h](const Message&) { h.time.Advance(2000); };
  h.Press(27);
  h.time.Advance(8000);
  const auto lines = DataRows(h.files.files["/lab/Res_Data/timing-5.tsv"]);
  ASSERT_GE(lines.size(), 2U);
  for (const auto& line : lines) EXPECT_EQ(line.at(12), "0") << line.at(0);  // missedFrames
  EXPECT_EQ(h.presenter->MissedRefreshes(), 0U);
}

// With a presenter (a 62.5 Hz display on virtual time) every pause lasts the whole number of
// refreshes nearest its time, counted from the onset of the screen it ends, the first blank
// included; a trial's steps run the lead before its field's refresh (the display's deadline,
// the steps' allowance, a margin); a key before the field's onset is a key during
// the pause; the timing line tells the onset, the key's arrival, the reaction time from that
// arrival, the refreshes missed, the display, the lead and the flicker interval shown; the
// results file keeps the time from the clock's start to the key's handling.
TEST(TrialCycleTest, PausesLastWholeRefreshesAndTheStepsRunJustInTime) {
  RunHarness h;
  h.UsePresenter(16);
  h.presenter->deadlineMicros = 2500;
  h.presenter->stepsMicros = 2500;
  struct : KeyArrivals {  // each key arrived 250 µs before it is handled
    std::uint64_t CurrentKeyMicros() const override { return clock->Micros() - 250; }
    const Clock* clock = nullptr;
  } keys;
  keys.clock = &h.time;
  h.x.display.SetKeyArrivals(&keys);
  h.onShowDisplay = [&] {
    h.PressLater(1, 'm');  // before the field's onset: no answer
    h.PressLater(400, 'n');
  };
  h.Launch(5, 2);           // block 1 flickers every 200 ms
  h.time.Advance(4000);     // trial 1 answered
  h.presenter->lateBy = 1;  // the next frame (the blank after the cross) comes a refresh late
  h.time.Advance(5000);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> changes;  // each change of frame
  for (const auto& f : h.presenter->shown)
    if (changes.empty() || changes.back().first != f.frame) changes.emplace_back(f.frame, f.msc);
  // blank, cross, blank, field (trial 1), blank, cross, blank (late), field (trial 2)
  ASSERT_GE(changes.size(), 8U);
  const auto at = [&](std::size_t i) { return changes[i].second; };
  EXPECT_EQ(changes[5].first, RunHarness::kCrossFrame);
  EXPECT_EQ(at(1) - at(0), 63U);  // 1000 ms: 62.5 refreshes, rounded; the first blank too
  EXPECT_EQ(at(5) - at(4), 63U);
  EXPECT_EQ(at(6) - at(5), 63U + 1);  // the blank came late: the next pause counts from it
  EXPECT_EQ(at(7) - at(6), 31U);      // 500 ms: 31.25
  EXPECT_EQ(at(3) - at(2), 31U);

  const auto lines = DataRows(h.files.files["/lab/Res_Data/timing-5.tsv"]);
  ASSERT_EQ(lines.size(), 2U);
  for (std::size_t i = 0; i < 2; ++i) {
    const std::uint64_t field = at(3 + 4 * i);
    ASSERT_EQ(lines[i].size(), 22U);
    // Trial 1 allows the steps 2 ms; trial 2 1.25 times the 2.5 ms they took, in quarter ms.
    const std::uint64_t lead = i == 0 ? 5500 : 6750;
    const std::uint64_t start = field * 16'000 - lead;
    // From the clock's start: the field's onset and refresh, the reaction time from it to the
    // key's arrival, misses, the display, the key's arrival, the lead, the deadline, the
    // steps, and the flicker swap shown 13 refreshes (12.5 asked) after the field.
    EXPECT_EQ(std::vector(lines[i].begin() + 9, lines[i].end()),
              (std::vector<std::string>{
                  std::to_string(field * 16'000), std::to_string(field),
                  std::to_string(400'000 - 250 - lead), i == 0 ? "0" : "1", "62.500", "1024x768",
                  "xpresent", std::to_string(start + 400'000 - 250), i == 0 ? "5.500" : "6.750",
                  "2.500", "2.500", "13", "208.000"}))
        << i;
    EXPECT_EQ(lines[i][1], std::to_string(start)) << i;
  }
  const auto rows = DataRows(h.Results());
  ASSERT_EQ(rows.size(), 3U);
  for (const auto& row : rows) {
    EXPECT_EQ(row[11], "2");  // the key n, not the m pressed before the onset
    EXPECT_EQ(row[12], "400");
  }
}

}  // namespace
}  // namespace cue
