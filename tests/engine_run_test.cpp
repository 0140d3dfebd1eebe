// Catches: any results row, pause, cue, feedback or flicker of a whole run that differs from
// what the subject saw and did (every row of every order condition, all 13 columns); a blank
// shown at the wrong time or leaving the pointer on the screen, around a rest as between
// trials; a key counted where it must be ignored; a draw of a trial, or the flicker's choice
// of label, that cannot reach an end of its range.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/run_harness.h"

namespace cue {
namespace {

using testing::DataRows;
using testing::RunHarness;
constexpr float kTopDraw = 0.99999994F;  // the largest float below 1

// The scripted subject of a trial: when it answers, and with which key.
struct Response {
  int rtMs;
  bool correct;
};
Response ScriptFor(int trial) {
  // Some answers within the first second (the cue then plays during the pause), some wrong.
  return Response{250 + (trial * 137) % 1400, trial % 7 != 3};
}
bool StrayKeysIn(int trial) { return trial % 5 == 1; }  // an upper-case letter among them
int BlockOf(int t) { return (t - 1) / 40 + 1; }

// One trial of a recorded run as the subject saw and did it, and the row written for it.
struct Trial {
  int n;
  std::uint64_t shownMs, answerMs;
  int linesAtStart;  // lines of the results file when it started
  LabelColour colour;
  StimulusField field;
  std::vector<std::string> row = {};
  int swappedAtAnswer = 0;                      // the label the flicker had swapped at the answer
  std::vector<std::uint64_t> swapLengths = {};  // ms each swap lasted, per drawing
};

// One whole run of an order condition, recorded once, with stray keys around every answer, on
// the rest screens and in the blanks around them.
struct RecordedRun {
  explicit RecordedRun(int orderCondition);
  const int condition;
  RunHarness h;
  std::vector<Trial> trials;
  // Every screen shown, in order ('B' blank, 'D' field, 'R' rest), and the pointer parks by then.
  std::vector<std::pair<char, std::size_t>> screens;
  int maxOdd = 0, debugToggles = 0;
  std::set<int> flickered;  // every label that took the other colour
};

RecordedRun::RecordedRun(int orderCondition)
    : condition(orderCondition), h(static_cast<std::uint64_t>(orderCondition) * 1000 + 7) {
  h.onShowDisplay = [this] {
    screens.emplace_back('D', h.windows.cursor.size());
    const TrialCycleSnapshot now = h.x.display.Snapshot();
    const std::string file = h.Results();
    const int t = now.trialNumber;
    const Response r = ScriptFor(t);
    trials.push_back(Trial{t, h.NowMs(), h.NowMs() + static_cast<std::uint64_t>(r.rtMs),
                           static_cast<int>(std::count(file.begin(), file.end(), '\n')),
                           now.blockColour, h.x.display.field()});
    if (StrayKeysIn(t)) {
      h.PressLater(r.rtMs / 2, t % 2 ? 'M' : 'N');  // upper case never counts
      h.PressLater(r.rtMs / 2 + 1, 9);              // Tab: nothing
      h.PressLater(r.rtMs / 2 + 2, 96);             // the debug window, twice
      h.PressLater(r.rtMs / 2 + 3, 96);
    }
    h.PressLater(r.rtMs, ((now.trialType1 == 1) == r.correct) ? 'm' : 'n');
    if (t % 4 == 0) h.PressLater(r.rtMs + 1, 'm');     // a second answer
    if (t % 6 == 0) h.PressLater(r.rtMs + 1700, 'n');  // a key during the pause
    if (t % 40 == 0) {
      for (const int key : {'m', ' ', 'x'})
        h.PressLater(r.rtMs + 1000, key);  // in the blank before a rest
    }
  };
  h.x.display.SetDebugToggle([this] { ++debugToggles; });
  h.onShowBlanke = [this] { screens.emplace_back('B', h.windows.cursor.size()); };
  h.onShowRest = [this] {
    screens.emplace_back('R', h.windows.cursor.size());
    h.PressLater(1000, 'm');  // the rest screen takes only space
    h.PressLater(4000, ' ');
    for (const int key : {' ', 'm', 'x'}) h.PressLater(4500, key);  // in the blank after it
  };
  // Flicker: every redraw while a trial awaits its answer.
  std::map<int, std::uint64_t> swappedAt;  // label -> time it took the other colour
  std::map<int, int> drawnSwapped;  // label -> drawings while swapped: 2 when drawn twice running
  h.onFieldChanged = [this, swappedAt, drawnSwapped, seen = 0]() mutable {
    const TrialCycleSnapshot now = h.x.display.Snapshot();
    if (!now.awaitingResponse || now.responseGiven || trials.empty() ||
        trials.back().n != now.trialNumber)
      return;
    Trial& trial = trials.back();
    if (std::exchange(seen, trial.n) != trial.n) swappedAt.clear(), drawnSwapped.clear();
    int odd = 0;
    trial.swappedAtAnswer = 0;
    for (int i = 1; i <= kLabelCount; ++i) {
      const bool differs =
          h.x.display.field().label(i - 1).foreColor != ColourValue(now.blockColour);
      odd += differs;
      if (differs) trial.swappedAtAnswer = i, flickered.insert(i), ++drawnSwapped[i];
      if (differs && !swappedAt.count(i)) swappedAt[i] = h.NowMs();
      if (!differs && swappedAt.count(i)) {
        trial.swapLengths.push_back((h.NowMs() - swappedAt[i]) /
                                    static_cast<std::uint64_t>(drawnSwapped[i]));
        drawnSwapped.erase(i), swappedAt.erase(i);
      }
    }
    maxOdd = std::max(maxOdd, odd);
  };
  h.Launch(17, static_cast<std::int16_t>(condition));
  h.time.RunUntilIdle();
  const auto rows = DataRows(h.Results());
  for (std::size_t i = 0; i < std::min(rows.size(), trials.size()); ++i) trials[i].row = rows[i];
}

// Every property below is checked against one run per order condition, recorded once.
class WholeRunTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    auto& run = runs_[GetParam()];
    if (!run) run = std::make_unique<RecordedRun>(GetParam());
    r_ = run.get();
    ASSERT_EQ(r_->trials.size(), 360U);
    ASSERT_EQ(DataRows(r_->h.Results()).size(), 360U);
    for (const Trial& t : r_->trials) ASSERT_EQ(t.row.size(), 13U) << "trial " << t.n;
  }
  static void TearDownTestSuite() { runs_.clear(); }
  int TypeOf(int t) const {
    static constexpr int kTypes[3][9] = {
        {1, 2, 3, 1, 2, 3, 1, 2, 3}, {2, 3, 1, 2, 3, 1, 2, 3, 1}, {3, 1, 2, 3, 1, 2, 3, 1, 2}};
    return kTypes[r_->condition - 1][BlockOf(t) - 1];
  }
  const Trial& At(int t) const { return r_->trials[static_cast<std::size_t>(t - 1)]; }

  inline static std::map<int, std::unique_ptr<RecordedRun>> runs_;
  const RecordedRun* r_ = nullptr;
};

// After trial 360: the completion message, and the program ended without the quit question.
TEST_P(WholeRunTest, EndsWithTheCompletionMessageOnly) {
  EXPECT_EQ(r_->h.lifecycle.ended, 1);
  ASSERT_EQ(r_->h.dialogs.shown.size(), 1U);
  EXPECT_EQ(testing::Shown(r_->h.dialogs.shown[0]),
            std::tuple("Well done experiment complete. Please call the experimenter.",
                       "EXPERIMENT COMPLETE", Buttons::kOk, Icon::kNone));
}

// One row per trial, in order, with its block, its block's type (1, 2, 3 in turn from the
// order condition's) and the order condition; 20 of each block's 40 trials show the target.
TEST_P(WholeRunTest, RowsNumberTheTrialsInBalancedBlocks) {
  std::map<int, int> presentPerBlock;
  for (const Trial& t : r_->trials) {
    EXPECT_EQ(t.row[0], std::to_string(t.n));
    EXPECT_EQ(std::vector(t.row.begin() + 1, t.row.begin() + 4),
              (std::vector{std::to_string(BlockOf(t.n)), std::to_string(TypeOf(t.n)),
                           std::to_string(r_->condition)}))
        << "trial " << t.n;
    presentPerBlock[BlockOf(t.n)] += t.row[4] == "1";
  }
  for (int b = 1; b <= 9; ++b) EXPECT_EQ(presentPerBlock[b], 20) << "block " << b;
}

// FLICKER_DELAY: 200 in type 2, drawn from 100..300 in type 3, the last value (0 at first) in
// type 1.
TEST_P(WholeRunTest, FlickerDelayByBlockType) {
  int last = 0;
  for (const Trial& t : r_->trials) {
    const int type = TypeOf(t.n), delay = std::stoi(t.row[10]);
    EXPECT_TRUE(type == 2   ? delay == 200
                : type == 3 ? delay >= 100 && delay <= 300
                            : delay == last)
        << "trial " << t.n << ": FLICKER_DELAY " << delay << " in block type " << type << " after "
        << last;
    last = delay;
  }
}

// The first m or n while a trial awaits its answer counts, with its time; upper case, Tab, the
// debug key (which toggles its window), a second answer, keys in a pause, on the rest screen or
// in the blanks around it do not. Other letters are counted only while a trial awaits its answer.
TEST_P(WholeRunTest, OneCountedAnswerPerTrial) {
  int strayLetters = 0;
  for (const Trial& t : r_->trials) {
    const Response r = ScriptFor(t.n);
    EXPECT_EQ(t.row[11], ((t.row[4] == "1") == r.correct) ? "1" : "2") << "trial " << t.n;
    EXPECT_EQ(t.row[12], std::to_string(r.rtMs)) << "trial " << t.n;
    strayLetters += StrayKeysIn(t.n);
  }
  EXPECT_EQ(r_->h.x.display.Snapshot().ignoredLetterKeys, strayLetters);
  EXPECT_GT(r_->debugToggles, 0);
  EXPECT_EQ(r_->debugToggles % 2, 0);
}

// The target facts against the field shown: the one label with the target digit, its left and
// top edges; absent trials have none and write zeros.
TEST_P(WholeRunTest, TargetFactsMatchTheFieldShown) {
  for (const Trial& t : r_->trials) {
    int holder = 0;
    for (int i = 1; i <= kLabelCount; ++i) {
      if (t.field.label(i - 1).caption == t.row[5]) holder = holder == 0 ? i : -1;
    }
    EXPECT_EQ(t.row[6], std::to_string(holder)) << "trial " << t.n;
    EXPECT_EQ(std::stof(t.row[7]), holder > 0 ? t.field.label(holder - 1).left : 0.0F)
        << "trial " << t.n;
    EXPECT_EQ(std::stof(t.row[8]), holder > 0 ? t.field.label(holder - 1).top : 0.0F)
        << "trial " << t.n;
  }
}

// The field is the screen less its margins (where each label lies in its cell of it:
// StimulusFieldTest).
TEST_P(WholeRunTest, TheFieldIsTheScreenLessItsMargins) {
  EXPECT_EQ(r_->h.x.state.fieldWidth, 7360.0F);
  EXPECT_EQ(r_->h.x.state.fieldHeight, 5520.0F);
}

// The counter, against a model of the colours the labels kept from the previous trial: the
// block's colour, except in a flicker block the label swapped when the answer came, whose loop
// stays suspended (the next trial runs nested inside its wait) until the block ends; once the
// rest screen is up every suspended loop, the latest first, swaps its label again.
TEST_P(WholeRunTest, CounterCountsTargetsLeftGreen) {
  constexpr std::int32_t kRed = ColourValue(LabelColour::kRed),
                         kGreen = ColourValue(LabelColour::kGreen);
  std::array<std::int32_t, kLabelCount + 1> kept{};
  kept.fill(kRed);
  std::vector<int> suspended;
  const auto Swap = [&kept](int k) {
    std::int32_t& colour = kept[static_cast<std::size_t>(k)];
    colour = colour == kRed ? kGreen : kRed;
  };
  for (const Trial& t : r_->trials) {
    const int holder = std::stoi(t.row[6]);
    EXPECT_EQ(t.row[9], holder > 0 && kept[static_cast<std::size_t>(holder)] == kGreen ? "1" : "0")
        << t.n;
    kept.fill(ColourValue(t.colour));
    if (TypeOf(t.n) != 1) {
      ASSERT_GT(t.swappedAtAnswer, 0) << "trial " << t.n;
      Swap(t.swappedAtAnswer);
      suspended.push_back(t.swappedAtAnswer);
    }
    for (; t.n % 40 == 0 && !suspended.empty(); suspended.pop_back()) Swap(suspended.back());
  }
}

// Every earlier row was on disk when a trial started (header + t - 1 rows).
TEST_P(WholeRunTest, RowOnDiskBeforeNextTrial) {
  for (const Trial& t : r_->trials) EXPECT_EQ(t.linesAtStart, t.n) << "trial " << t.n;
}

TEST_P(WholeRunTest, NewColourOnlyAtABlocksFirstTrial) {
  for (int t = 2; t <= 360; ++t) {
    if ((t - 1) % 40 != 0) {
      EXPECT_EQ(At(t).colour, At(t - 1).colour) << "trial " << t;
    }
  }
}

// Within a block: blank 1000, cross 1000, blank 500 from the answer to the next field; no
// cross around a rest.
TEST_P(WholeRunTest, PausesAreBlankCrossBlank) {
  std::size_t cross = 2;  // the first cross is the launch's
  for (int t = 1; t < 360; ++t) {
    if (t % 40 == 0) continue;
    const std::uint64_t answer = At(t).answerMs;
    ASSERT_LT(cross + 1, r_->h.crossChanges.size());
    EXPECT_EQ(r_->h.crossChanges[cross], std::make_pair(answer + 1000, true))
        << "after trial " << t;
    EXPECT_EQ(r_->h.crossChanges[cross + 1], std::make_pair(answer + 2000, false))
        << "after trial " << t;
    EXPECT_EQ(At(t + 1).shownMs, answer + 2500) << "after trial " << t;
    cross += 2;
  }
  EXPECT_EQ(cross, r_->h.crossChanges.size());
}

// 2000 ms of blank before and after each rest, after trials 40, 80, ..., 320 and never after
// 360; keys in those blanks, a second space included, change nothing.
TEST_P(WholeRunTest, RestBlanksAreTwoSeconds) {
  ASSERT_EQ(r_->h.restShownAt.size(), 8U);
  for (int t = 40; t < 360; t += 40) {
    const std::uint64_t rest = r_->h.restShownAt[static_cast<std::size_t>(t / 40 - 1)];
    EXPECT_EQ(rest, At(t).answerMs + 2000) << "after trial " << t;
    EXPECT_EQ(At(t + 1).shownMs, rest + 4000 + 2000) << "after trial " << t;
  }
}

// The blank screen comes at the launch, at every answer but the last and at the end of every
// rest, and nowhere else; the pointer is parked in the screen's corner on every blank (just
// after it is shown) and for every field (just before), none for the rest screen.
TEST_P(WholeRunTest, BlankScreenWithThePointerParkedOnEveryPath) {
  std::vector<std::uint64_t> blanks = {1000};
  for (int t = 1; t < 360; ++t) {
    blanks.push_back(At(t).answerMs);
    if (t % 40 == 0)
      blanks.push_back(r_->h.restShownAt[static_cast<std::size_t>(t / 40 - 1)] + 4000);
  }
  EXPECT_EQ(r_->h.blankeShownAt, blanks);
  ASSERT_EQ(r_->screens.size(), blanks.size() + 360 + 8);
  std::size_t parks = 0;
  char previous = ' ';
  for (const auto& [screen, parksBy] : r_->screens) {
    parks += (previous == 'B') + (screen == 'D');
    EXPECT_EQ(parksBy, parks) << "a screen " << screen << " after " << previous;
    previous = screen;
  }
  EXPECT_EQ(r_->h.windows.cursor.size(), parks);
  for (const auto& at : r_->h.windows.cursor) EXPECT_EQ(at, std::make_pair(15360, 11520));
}

// One cue per trial, with that trial's digit: asked for a little early, it starts exactly
// 1000 ms after the trial's start; feedback at the answer, matching its correctness. The run
// ends at the last answer: a last answer within the first second has no cue.
TEST_P(WholeRunTest, CueAtOneSecondFeedbackAtTheAnswer) {
  std::vector<testing::FakeSoundPlayer::PlayRecord> cues, feedback;
  for (const auto& p : r_->h.sound.plays)
    (p.path.find("Utopia") != std::string::npos ? feedback : cues).push_back(p);
  ASSERT_EQ(cues.size(), ScriptFor(360).rtMs < 1000 ? 359U : 360U);
  ASSERT_EQ(feedback.size(), 360U);
  for (const Trial& t : r_->trials) {
    const auto i = static_cast<std::size_t>(t.n - 1);
    if (i < cues.size()) {
      EXPECT_EQ(*r_->h.sound.OnsetMicros(cues[i].play), (t.shownMs + 1000) * 1000)
          << "trial " << t.n;
      EXPECT_LT(cues[i].micros, (t.shownMs + 1000) * 1000 - RunHarness::kSoundLatencyMicros)
          << "trial " << t.n;
      EXPECT_EQ(cues[i].path, "/lab/wave/" + t.row[5] + ".wav") << "trial " << t.n;
    }
    EXPECT_EQ(feedback[i].micros / 1000, t.answerMs) << "trial " << t.n;
    EXPECT_EQ(feedback[i].path, ScriptFor(t.n).correct ? "/lab/wave/Utopia Default.wav"
                                                       : "/lab/wave/Utopia Error.wav");
  }
}

// Never more than one odd label; every swap lasted the delay its row says (a label drawn twice
// running stays swapped for two delays); every one of the 30 labels flickers at some time of
// the run, and none in a still block.
TEST_P(WholeRunTest, FlickerPeriodsAndLabels) {
  EXPECT_LE(r_->maxOdd, 1);
  std::size_t swaps = 0;
  for (const Trial& t : r_->trials) {
    for (const std::uint64_t length : t.swapLengths)
      EXPECT_EQ(std::to_string(length), t.row[10]) << "trial " << t.n;
    swaps += t.swapLengths.size();
    if (TypeOf(t.n) == 1) {
      EXPECT_EQ(t.swappedAtAnswer + t.swapLengths.size(), 0U) << "trial " << t.n;
    }
  }
  EXPECT_GT(swaps, 0U);
  EXPECT_EQ(r_->flickered.size(), 30U);  // labels 1..30 only are looked at
}

// The program's own timing record: one line per trial, the cue 1000 ms after the clock's
// start, the feedback at the answer plus the output's latency.
TEST_P(WholeRunTest, TimingFileHasALinePerTrial) {
  const std::string& file = r_->h.files.files.at("/lab/Res_Data/timing-17.tsv");
  EXPECT_EQ(file.rfind("trialNumber\t", 0), 0U);  // never "#trialNumber", the results header
  const auto timing = DataRows(file);
  ASSERT_EQ(timing.size(), 360U);
  const bool lastCued = ScriptFor(360).rtMs >= 1000;
  for (const Trial& t : r_->trials) {
    const auto& line = timing[static_cast<std::size_t>(t.n - 1)];
    ASSERT_EQ(line.size(), 22U);
    // No presenter: the display's onsets are not known (toolkit), nor the keys' arrivals.
    EXPECT_EQ(std::vector({line[0], line[1], line[7], line[8], line[9], line[15], line[16]}),
              (std::vector<std::string>{std::to_string(t.n), std::to_string(t.shownMs * 1000),
                                        "4.500", "ok", "-", "toolkit", "-"}));
    if (t.n < 360 || lastCued) {
      EXPECT_EQ(line[6], "1000.000") << t.n;
    }
  }
  if (!lastCued) {
    EXPECT_EQ(timing.back()[3], "-");  // the last cue never played
  }
}

INSTANTIATE_TEST_SUITE_P(OrderConditions, WholeRunTest, ::testing::Values(1, 2, 3));

// The first trial of an order condition on scripted draws, answered after 700 ms: its row, and
// the labels of the other colour at each redraw while it awaited its answer.
struct FirstTrial {
  FirstTrial(std::vector<float> draws, int orderCondition)
      : generator(std::move(draws)), h(1, 1'000'000, nullptr, &generator) {
    h.onShowDisplay = [this] {
      h.PressLater(700, h.x.display.Snapshot().trialType1 == 1 ? 'm' : 'n');
    };
    h.onFieldChanged = [this] {
      const TrialCycleSnapshot now = h.x.display.Snapshot();
      if (!now.awaitingResponse || now.responseGiven) return;
      swapped.emplace_back();
      for (int i = 1; i <= kLabelCount; ++i) {
        if (h.x.display.field().label(i - 1).foreColor != ColourValue(now.blockColour))
          swapped.back().push_back(i);
      }
    };
    h.Launch(5, static_cast<std::int16_t>(orderCondition));
    h.time.Advance(2500 + 700);
    rows = DataRows(h.Results());
  }
  testing::ScriptedGenerator generator;
  RunHarness h;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::vector<int>> swapped;
};

// The first trial of order condition 3 (random delay) with its draws at the ends of [0, 1):
// the first (its type, a balanced draw) low or high, every later one the lowest or the highest.
// Each takes the matching end of its range: present or absent, the digit, the target's label
// (none when absent), the delay, the block's colour and the label the flicker swaps, picked
// with replacement from all 30 (a draw r swaps label floor(30 r) + 1, again when r repeats).
TEST(RunDrawTest, EveryDrawOfATrialReachesBothEndsOfItsRange) {
  const struct {
    float type, draw;
    std::vector<std::string> row;  // fields 4, 5, 6 and 10
    LabelColour colour;
    int flickered;
  } cases[] = {{0.0F, 0.0F, {"1", "1", "1", "100"}, LabelColour::kRed, 1},
               {0.0F, kTopDraw, {"1", "9", "30", "300"}, LabelColour::kGreen, 30},
               {kTopDraw, kTopDraw, {"2", "9", "0", "300"}, LabelColour::kGreen, 30}};
  for (const auto& c : cases) {
    std::vector<float> draws(400, c.draw);
    draws[0] = c.type;
    const FirstTrial run(draws, 3);
    ASSERT_EQ(run.rows.size(), 1U);
    const auto& row = run.rows[0];
    EXPECT_EQ(row[2], "3");
    EXPECT_EQ(std::vector({row[4], row[5], row[6], row[10]}), c.row);
    EXPECT_EQ(run.h.x.display.Snapshot().blockColour, c.colour);
    ASSERT_GE(run.swapped.size(), 3U);  // the field, then swaps every 100 or 300 ms
    for (std::size_t i = 1; i < run.swapped.size(); ++i)
      EXPECT_EQ(run.swapped[i], std::vector<int>{c.flickered}) << "redraw " << i;
  }
}

// With a presenter (a 66.7 Hz display on virtual time) the blanks around a rest last the whole
// number of refreshes nearest their time, counted from the blank's onset, as the pauses between
// trials do: 2000 ms is 133 refreshes (133.3) to the rest screen, and after the rest to the
// next field.
TEST(RestTimingTest, BlanksAroundARestLastWholeRefreshes) {
  RunHarness h;
  h.UsePresenter(15);
  h.onShowDisplay = [&h] { h.PressLater(400, h.x.display.Snapshot().trialType1 == 1 ? 'm' : 'n'); };
  h.onShowRest = [&h] { h.PressLater(3000, ' '); };
  h.Launch(5, 1);
  h.time.Advance(40 * 2900 + 2000 + 3000 + 2000 + 1000);  // trial 41 shown
  ASSERT_EQ(h.displayShownAt.size(), 41U);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> changes;  // each change of frame
  for (const auto& f : h.presenter->shown) {
    if (changes.empty() || changes.back().first != f.frame) changes.emplace_back(f.frame, f.msc);
  }
  const auto rest = std::find_if(changes.begin(), changes.end(),
                                 [](const auto& c) { return c.first == RunHarness::kRestFrame; });
  ASSERT_TRUE(rest > changes.begin() && changes.end() - rest >= 3);
  EXPECT_EQ(
      std::vector({rest[-1].first, rest[1].first, rest[2].first}),
      std::vector({RunHarness::kBlankFrame, RunHarness::kBlankFrame, RunHarness::kFieldFrame}));
  EXPECT_EQ(rest[0].second - rest[-1].second, 133U);
  EXPECT_EQ(rest[2].second - rest[1].second, 133U);
  EXPECT_EQ(h.presenter->MissedRefreshes(), 0U);
}

}  // namespace
}  // namespace cue
