// Catches: any results row, pause, cue, feedback or flicker of a whole run that differs from
// what the subject saw and did (every row of every order condition, all 13 columns); a screen
// of the run shown at the wrong time or with the pointer left on it; a key counted where it
// must be ignored; a random draw of a trial, or the flicker's choice of label, that cannot
// reach an end of its range.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/run_harness.h"

namespace cue {
namespace {

using testing::DataRows;
using testing::RunHarness;

// The scripted subject of a trial: when it answers, and with which key.
struct Response {
  int rtMs;
  bool correct;
};
Response ScriptFor(int trial) {
  // Some answers within the first second (the cue then plays during the pause), some wrong.
  return Response{250 + (trial * 137) % 1400, trial % 7 != 3};
}
// Trials with an upper-case answer letter before the answer (counted, never an answer).
bool StrayKeysIn(int trial) { return trial % 5 == 1; }

// One whole run of an order condition, recorded once: the harness after the run, and what was
// on screen and on disk at each moment the subject could see.
struct RecordedRun {
  explicit RecordedRun(int orderCondition);
  // When trial t (1-based) was answered, in virtual ms.
  std::uint64_t AnswerMs(int t) const {
    return h.displayShownAt[static_cast<std::size_t>(t - 1)] + static_cast<std::uint64_t>(ScriptFor(t).rtMs);
  }
  const std::vector<std::string>& Row(int t) const { return rows[static_cast<std::size_t>(t - 1)]; }

  const int condition;
  RunHarness h;
  std::vector<std::vector<std::string>> rows;  // the results file's data rows
  std::vector<int> linesAtStart;               // lines of the results file as each trial started
  std::vector<float> colours;                  // each trial's block colour
  std::vector<StimulusField> fields;           // each trial's field as shown
  // Every screen shown, in order: 'B' blank, 'D' the field, 'R' rest; with the pointer parks
  // made by then.
  std::vector<std::pair<char, std::size_t>> screens;
  // Flicker, from every redraw while a trial awaits its answer.
  int maxOdd = 0;
  std::set<int> flickered;                    // every label that took the other colour
  std::vector<std::uint64_t> swapLengths;     // ms each swap lasted (per drawing)
  std::vector<int> swapTrials;                // the trial of each swap length
  std::vector<int> swappedAtAnswer = std::vector<int>(361, 0);  // label swapped at the answer
  int debugToggles = 0;
};

RecordedRun::RecordedRun(int orderCondition)
    : condition(orderCondition), h(static_cast<std::uint64_t>(orderCondition) * 1000 + 7) {
  // At each start: what is on disk and on screen; then the subject answers by the script,
  // with stray keys around the answer, and ends every rest period with space after 4 s.
  h.onShowDisplay = [this] {
    screens.emplace_back('D', h.windows.cursor.size());
    const std::string file = h.Results();
    linesAtStart.push_back(static_cast<int>(std::count(file.begin(), file.end(), '\n')));
    colours.push_back(h.x.display.Snapshot().blockColour);
    fields.push_back(h.x.display.field());
    const int trial = h.x.display.Snapshot().trialNumber;
    const Response r = ScriptFor(trial);
    const bool present = h.x.display.Snapshot().trialType1 == 1;
    if (StrayKeysIn(trial)) {
      h.PressLater(r.rtMs / 2, trial % 2 ? 'M' : 'N');  // upper case never counts
      h.PressLater(r.rtMs / 2 + 1, 9);                   // Tab: nothing
      h.PressLater(r.rtMs / 2 + 2, 96);                  // the debug window, twice
      h.PressLater(r.rtMs / 2 + 3, 96);
    }
    h.PressLater(r.rtMs, (present == r.correct) ? 'm' : 'n');
    if (trial % 4 == 0) h.PressLater(r.rtMs + 1, 'm');      // a second answer
    if (trial % 6 == 0) h.PressLater(r.rtMs + 1700, 'n');   // a key during the pause
    if (trial % 40 == 0) {                                   // keys in the blank before a rest
      for (const int key : {int{'m'}, int{' '}, int{'x'}}) h.PressLater(r.rtMs + 1000, key);
    }
  };
  h.x.display.SetDebugToggle([this] { ++debugToggles; });
  h.onShowBlanke = [this] { screens.emplace_back('B', h.windows.cursor.size()); };
  h.onShowRest = [this] {
    screens.emplace_back('R', h.windows.cursor.size());
    h.PressLater(1000, 'm');  // the rest screen takes only space
    h.PressLater(4000, ' ');
    // Keys in the blank after the rest: a second space must not start the block again.
    for (const int key : {int{' '}, int{'m'}, int{'x'}}) h.PressLater(4500, key);
  };

  int seenTrial = 0;
  std::map<int, std::uint64_t> swappedAt;  // label -> time it took the other colour
  std::map<int, int> drawnSwapped;  // label -> drawings while swapped: 2 when drawn twice running
  h.onFieldChanged = [this, seenTrial, swappedAt, drawnSwapped]() mutable {
    const TrialCycleSnapshot now = h.x.display.Snapshot();
    if (!now.awaitingResponse || now.responseGiven) return;
    const int trial = now.trialNumber;
    if (trial != seenTrial) swappedAt.clear(), drawnSwapped.clear();
    seenTrial = trial;
    int odd = 0;
    swappedAtAnswer[static_cast<std::size_t>(trial)] = 0;
    for (int i = 1; i <= LABEL_COUNT; ++i) {
      const bool differs = h.x.display.field().Label1(i).foreColor != static_cast<int>(now.blockColour);
      odd += differs;
      if (differs) swappedAtAnswer[static_cast<std::size_t>(trial)] = i, flickered.insert(i);
      if (differs && !swappedAt.count(i)) swappedAt[i] = h.NowMs();
      if (differs) ++drawnSwapped[i];
      if (!differs && swappedAt.count(i)) {
        swapLengths.push_back((h.NowMs() - swappedAt[i]) / static_cast<std::uint64_t>(drawnSwapped[i]));
        drawnSwapped.erase(i);
        swapTrials.push_back(trial);
        swappedAt.erase(i);
      }
    }
    maxOdd = std::max(maxOdd, odd);
  };

  h.Launch(17, static_cast<std::int16_t>(condition));
  h.time.RunUntilIdle();
  rows = DataRows(h.Results());
}

// Every property below is checked against one run per order condition, recorded once.
class WholeRunTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    auto& run = runs_[GetParam()];
    if (!run) run = std::make_unique<RecordedRun>(GetParam());
    r_ = run.get();
    ASSERT_EQ(r_->rows.size(), 360U);
    ASSERT_EQ(r_->h.displayShownAt.size(), 360U);
  }
  static void TearDownTestSuite() { runs_.clear(); }

  static int BlockOf(int t) { return (t - 1) / 40 + 1; }
  int TypeOf(int t) const {
    static constexpr int kTypes[3][9] = {{1, 2, 3, 1, 2, 3, 1, 2, 3}, {2, 3, 1, 2, 3, 1, 2, 3, 1},
                                         {3, 1, 2, 3, 1, 2, 3, 1, 2}};
    return kTypes[r_->condition - 1][BlockOf(t) - 1];
  }

  inline static std::map<int, std::unique_ptr<RecordedRun>> runs_;
  const RecordedRun* r_ = nullptr;
};

// After trial 360: the completion message, and the program ended without the quit question.
TEST_P(WholeRunTest, EndsWithTheCompletionMessageOnly) {
  EXPECT_EQ(r_->h.lifecycle.ended, 1);
  ASSERT_EQ(r_->h.dialogs.shown.size(), 1U);
  EXPECT_EQ(testing::Shown(r_->h.dialogs.shown[0]),
            std::tuple("Well done experiment complete. Please call the experimenter.", "EXPERIMENT COMPLETE",
                       Buttons::kOk, Icon::kNone));
}

TEST_P(WholeRunTest, FieldIsTheScreenLessItsMargins) {
  EXPECT_EQ(r_->h.x.state.fieldWidth, 7360.0F);
  EXPECT_EQ(r_->h.x.state.fieldHeight, 5520.0F);
}

// One row of 13 fields per trial, in order, with its block and the order condition.
TEST_P(WholeRunTest, OneRowPerTrialInOrder) {
  for (int t = 1; t <= 360; ++t) {
    const auto& row = r_->Row(t);
    ASSERT_EQ(row.size(), 13U) << "trial " << t;
    EXPECT_EQ(row[0], std::to_string(t));
    EXPECT_EQ(row[1], std::to_string(BlockOf(t))) << "trial " << t;
    EXPECT_EQ(row[3], std::to_string(r_->condition)) << "trial " << t;
  }
}

// Block types rotate 1, 2, 3 from the order condition's first.
TEST_P(WholeRunTest, BlockTypesFollowTheOrderCondition) {
  for (int t = 1; t <= 360; ++t) EXPECT_EQ(r_->Row(t)[2], std::to_string(TypeOf(t))) << "trial " << t;
}

TEST_P(WholeRunTest, BalancedBlocks) {
  std::map<int, int> presentPerBlock;
  for (int t = 1; t <= 360; ++t) presentPerBlock[BlockOf(t)] += r_->Row(t)[4] == "1";
  for (int b = 1; b <= 9; ++b) EXPECT_EQ(presentPerBlock[b], 20) << "block " << b;
}

// FLICKER_DELAY: 200 in type 2, drawn from 100..300 in type 3, the last value (0 at first) in
// type 1.
TEST_P(WholeRunTest, FlickerDelayByBlockType) {
  int lastDelay = 0;
  for (int t = 1; t <= 360; ++t) {
    const int type = TypeOf(t), delay = std::stoi(r_->Row(t)[10]);
    EXPECT_TRUE(type == 2 ? delay == 200 : type == 3 ? delay >= 100 && delay <= 300 : delay == lastDelay)
        << "trial " << t << ": FLICKER_DELAY " << delay << " in block type " << type << " after " << lastDelay;
    lastDelay = delay;
  }
}

// The first m or n while a trial awaits its answer counts, with its time; upper case, Tab, a
// second answer, keys in a pause, on the rest screen or in the blanks around it do not.
// Letters other than the answer keys are counted only while a trial awaits its answer.
TEST_P(WholeRunTest, OneCountedAnswerPerTrial) {
  int strayLetters = 0;
  for (int t = 1; t <= 360; ++t) {
    const bool present = r_->Row(t)[4] == "1";
    const Response r = ScriptFor(t);
    EXPECT_EQ(r_->Row(t)[11], (present == r.correct) ? "1" : "2") << "trial " << t;
    EXPECT_EQ(r_->Row(t)[12], std::to_string(r.rtMs)) << "trial " << t;
    strayLetters += StrayKeysIn(t);
  }
  EXPECT_EQ(r_->h.x.display.Snapshot().ignoredLetterKeys, strayLetters);
}

// The target facts against the field shown: the one label with the target digit, its left and
// top edges; absent trials have none and write zeros.
TEST_P(WholeRunTest, TargetFactsMatchTheFieldShown) {
  for (int t = 1; t <= 360; ++t) {
    const auto& row = r_->Row(t);
    const StimulusField& field = r_->fields[static_cast<std::size_t>(t - 1)];
    int holder = 0;
    for (int i = 1; i <= LABEL_COUNT; ++i) {
      if (field.Label1(i).caption == row[5]) holder = holder == 0 ? i : -1;
    }
    EXPECT_EQ(row[6], std::to_string(holder)) << "trial " << t;
    EXPECT_EQ(std::stof(row[7]), holder > 0 ? field.Label1(holder).left : 0.0F) << "trial " << t;
    EXPECT_EQ(std::stof(row[8]), holder > 0 ? field.Label1(holder).top : 0.0F) << "trial " << t;
  }
}

// Every label inside its own cell of the 6 x 5 grid: offsets are at least 1 twip, and rounding
// the position may move it by half a twip.
TEST_P(WholeRunTest, EveryLabelInsideItsCell) {
  for (int t = 1; t <= 360; ++t) {
    for (int p = 1; p <= LABEL_COUNT; ++p) {
      const NumberLabel& l = r_->fields[static_cast<std::size_t>(t - 1)].Label1(p);
      const float w = 7360.0F / 6, left = FIELD_LEFT + static_cast<float>((p - 1) % 6) * w,
                  top = FIELD_TOP + static_cast<float>((p - 1) / 6) * 1104.0F;
      EXPECT_TRUE(l.left >= left + 0.5F && l.top >= top + 0.5F && l.left + l.width <= left + w + 0.5F &&
                  l.top + l.height <= top + 1104.5F)
          << "trial " << t << ", label " << p << " at " << l.left << ", " << l.top;
    }
  }
}

// The counter, against a model of the colours the labels kept from the previous trial: the
// block's colour, except in a flicker block the label swapped when the answer came, whose loop
// stays suspended (the next trial runs nested inside its wait) until the block ends; once the
// rest screen is up every suspended loop, the latest first, swaps its label again.
TEST_P(WholeRunTest, CounterCountsTargetsLeftGreen) {
  std::array<std::int32_t, LABEL_COUNT + 1> kept{};
  kept.fill(RED);
  std::vector<int> suspended;
  const auto Swap = [](std::int32_t& colour) { colour = colour == RED ? GREEN : RED; };
  for (int t = 1; t <= 360; ++t) {
    SCOPED_TRACE("trial " + std::to_string(t));
    const auto& row = r_->Row(t);
    const int holder = std::stoi(row[6]);
    const bool counted = holder > 0 && kept[static_cast<std::size_t>(holder)] == GREEN;
    EXPECT_EQ(row[9], counted ? "1" : "0");
    kept.fill(static_cast<std::int32_t>(r_->colours[static_cast<std::size_t>(t - 1)]));
    if (TypeOf(t) != 1) {
      const int k = r_->swappedAtAnswer[static_cast<std::size_t>(t)];
      ASSERT_GT(k, 0);
      Swap(kept[static_cast<std::size_t>(k)]);
      suspended.push_back(k);
    }
    if (t % 40 == 0) {
      for (; !suspended.empty(); suspended.pop_back()) Swap(kept[static_cast<std::size_t>(suspended.back())]);
    }
  }
}

// Every earlier row was on disk when a trial started (header + t - 1 rows).
TEST_P(WholeRunTest, RowOnDiskBeforeNextTrial) {
  for (int t = 1; t <= 360; ++t) EXPECT_EQ(r_->linesAtStart[static_cast<std::size_t>(t - 1)], t) << "trial " << t;
}

TEST_P(WholeRunTest, NewColourOnlyAtABlocksFirstTrial) {
  for (int t = 2; t <= 360; ++t) {
    if ((t - 1) % 40 == 0) continue;
    EXPECT_EQ(r_->colours[static_cast<std::size_t>(t - 1)], r_->colours[static_cast<std::size_t>(t - 2)]) << t;
  }
}

// Within a block: blank 1000, cross 1000, blank 500 from the answer to the next field.
TEST_P(WholeRunTest, PausesAreBlankCrossBlank) {
  std::size_t cross = 2;  // the first cross is the launch's
  for (int t = 1; t < 360; ++t) {
    if (t % 40 == 0) continue;
    SCOPED_TRACE("after trial " + std::to_string(t));
    const std::uint64_t answer = r_->AnswerMs(t);
    ASSERT_LT(cross + 1, r_->h.crossChanges.size());
    EXPECT_EQ(r_->h.crossChanges[cross], std::make_pair(answer + 1000, true));
    EXPECT_EQ(r_->h.crossChanges[cross + 1], std::make_pair(answer + 2000, false));
    EXPECT_EQ(r_->h.displayShownAt[static_cast<std::size_t>(t)], answer + 2500);
    cross += 2;
  }
  EXPECT_EQ(cross, r_->h.crossChanges.size());  // no cross around a rest
}

// 2000 ms of blank before and after each rest, after trials 40, 80, ..., 320 and never after
// 360; keys in those blanks change nothing.
TEST_P(WholeRunTest, RestBlanksAreTwoSeconds) {
  ASSERT_EQ(r_->h.restShownAt.size(), 8U);
  for (int t = 40; t < 360; t += 40) {
    SCOPED_TRACE("after trial " + std::to_string(t));
    const std::uint64_t rest = r_->h.restShownAt[static_cast<std::size_t>(t / 40 - 1)];
    EXPECT_EQ(rest, r_->AnswerMs(t) + 2000);
    EXPECT_EQ(r_->h.displayShownAt[static_cast<std::size_t>(t)], rest + 4000 + 2000);
  }
}

// The blank screen comes at the launch, at every answer but the last and at the end of every
// rest, and nowhere else; the pointer is parked in the screen's corner on every blank (just
// after it is shown) and for every field (just before it is shown).
TEST_P(WholeRunTest, BlankScreenWithThePointerParkedOnEveryPath) {
  std::vector<std::uint64_t> blanks = {1000};
  for (int t = 1; t < 360; ++t) {
    blanks.push_back(r_->AnswerMs(t));
    if (t % 40 == 0) blanks.push_back(r_->h.restShownAt[static_cast<std::size_t>(t / 40 - 1)] + 4000);
  }
  EXPECT_EQ(r_->h.blankeShownAt, blanks);
  ASSERT_EQ(r_->screens.size(), blanks.size() + 360 + 8);
  // One park after each blank is shown and one before each field, none for the rest screen.
  std::size_t parks = 0;
  char previous = ' ';
  for (std::size_t i = 0; i < r_->screens.size(); ++i) {
    const auto& [screen, parksBy] = r_->screens[i];
    parks += (previous == 'B') + (screen == 'D');
    EXPECT_EQ(parksBy, parks) << "screen " << i << " (" << screen << ") after " << previous;
    previous = screen;
  }
  EXPECT_EQ(r_->h.windows.cursor.size(), parks);
  for (const auto& at : r_->h.windows.cursor) EXPECT_EQ(at, std::make_pair(15360, 11520));
}

// One cue per trial, with that trial's digit: asked for a little early, it starts exactly
// 1000 ms after the trial's start. The run ends at the last answer: a last answer within the
// first second has no cue.
TEST_P(WholeRunTest, CueAtOneSecond) {
  std::vector<testing::FakeSoundPlayer::PlayRecord> cues;
  for (const auto& p : r_->h.sound.plays) {
    if (p.path.find("Utopia") == std::string::npos) cues.push_back(p);
  }
  const std::size_t lastCue = ScriptFor(360).rtMs < 1000 ? 359 : 360;
  ASSERT_EQ(cues.size(), lastCue);
  for (std::size_t i = 0; i < lastCue; ++i) {
    const std::uint64_t shown = r_->h.displayShownAt[i];
    EXPECT_EQ(*r_->h.sound.OnsetMicros(cues[i].play), (shown + 1000) * 1000) << "trial " << i + 1;
    EXPECT_LT(cues[i].micros, (shown + 1000) * 1000 - RunHarness::kSoundLatencyMicros) << "trial " << i + 1;
    EXPECT_EQ(cues[i].path, "/lab/wave/" + r_->rows[i][5] + ".wav") << "trial " << i + 1;
  }
}

// Feedback at the answer, matching its correctness.
TEST_P(WholeRunTest, FeedbackAtTheAnswer) {
  std::vector<testing::FakeSoundPlayer::PlayRecord> feedback;
  for (const auto& p : r_->h.sound.plays) {
    if (p.path.find("Utopia") != std::string::npos) feedback.push_back(p);
  }
  ASSERT_EQ(feedback.size(), 360U);
  for (int t = 1; t <= 360; ++t) {
    const auto& f = feedback[static_cast<std::size_t>(t - 1)];
    EXPECT_EQ(f.micros / 1000, r_->AnswerMs(t)) << "trial " << t;
    EXPECT_EQ(f.path, ScriptFor(t).correct ? "/lab/wave/Utopia Default.wav" : "/lab/wave/Utopia Error.wav") << t;
  }
}

// Never more than one odd label; every swap lasted the delay its row says (a label drawn twice
// running stays swapped for two delays).
TEST_P(WholeRunTest, FlickerPeriods) {
  EXPECT_LE(r_->maxOdd, 1);
  ASSERT_FALSE(r_->swapLengths.empty());
  for (std::size_t i = 0; i < r_->swapLengths.size(); ++i) {
    EXPECT_EQ(std::to_string(r_->swapLengths[i]), r_->Row(r_->swapTrials[i])[10]) << "swap " << i;
  }
}

// Every one of the 30 labels flickers at some time of a run, and only in flicker blocks.
TEST_P(WholeRunTest, EveryLabelCanFlicker) {
  EXPECT_EQ(r_->flickered.size(), static_cast<std::size_t>(LABEL_COUNT));
  EXPECT_EQ(*r_->flickered.begin(), 1);
  EXPECT_EQ(*r_->flickered.rbegin(), LABEL_COUNT);
  for (int t = 1; t <= 360; ++t) {
    if (TypeOf(t) == 1) {
      EXPECT_EQ(r_->swappedAtAnswer[static_cast<std::size_t>(t)], 0) << "trial " << t;
    }
  }
}

TEST_P(WholeRunTest, DebugKeyTogglesInPairs) {
  EXPECT_GT(r_->debugToggles, 0);
  EXPECT_EQ(r_->debugToggles % 2, 0);
}

// The program's own timing record: one line per trial, the cue 1000 ms after the clock's
// start, the feedback at the answer plus the output's latency.
TEST_P(WholeRunTest, TimingFileHasALinePerTrial) {
  const std::string& timingFile = r_->h.files.files.at("/lab/Res_Data/timing-17.tsv");
  EXPECT_EQ(timingFile.rfind("trialNumber\t", 0), 0U);  // never "#trialNumber", the results header
  const auto timing = DataRows(timingFile);
  ASSERT_EQ(timing.size(), 360U);
  const std::size_t lastCue = ScriptFor(360).rtMs < 1000 ? 359 : 360;
  for (int t = 1; t <= 360; ++t) {
    const auto& line = timing[static_cast<std::size_t>(t - 1)];
    ASSERT_EQ(line.size(), 22U);
    EXPECT_EQ(line[15], "toolkit");  // no presenter: the display's onsets are not known
    EXPECT_EQ(line[16], "-");        // nor the keys' arrivals
    EXPECT_EQ(line[9], "-");
    EXPECT_EQ(line[0], std::to_string(t));
    EXPECT_EQ(line[1], std::to_string(r_->h.displayShownAt[static_cast<std::size_t>(t - 1)] * 1000));
    if (static_cast<std::size_t>(t) <= lastCue) {
      EXPECT_EQ(line[6], "1000.000") << t;
    }
    EXPECT_EQ(line[7], "4.500") << t;
    EXPECT_EQ(line[8], "ok") << t;
  }
  if (lastCue == 359) {
    EXPECT_EQ(timing.back()[3], "-");  // the last cue never played
  }
}

INSTANTIATE_TEST_SUITE_P(OrderConditions, WholeRunTest, ::testing::Values(1, 2, 3));

// The first trial of order condition 3 (random delay) with every draw at an end of [0, 1):
// each of its draws takes the matching end of its range. After the type (drawn low: present)
// every draw is the lowest or the highest.
TEST(RunDrawTest, EveryDrawOfATrialReachesBothEndsOfItsRange) {
  constexpr float kTop = 0.99999994F;  // the largest float below 1
  const struct {
    std::vector<float> draws;
    const char *digit, *position, *delay;
    int colour;
  } cases[] = {{{0.0F}, "1", "1", "100", RED}, {{0.0F, kTop}, "9", "30", "300", GREEN}};
  for (const auto& c : cases) {
    std::vector<float> draws = c.draws;
    draws.resize(400, draws.back());
    testing::ScriptedGenerator generator(draws);
    RunHarness h(1, 1'000'000, nullptr, &generator);
    h.onShowDisplay = [&h] { h.PressLater(700, h.x.display.Snapshot().trialType1 == 1 ? 'm' : 'n'); };
    h.Launch(5, 3);
    h.time.Advance(2500 + 700);
    const auto rows = DataRows(h.Results());
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0][2], "3");
    EXPECT_EQ(rows[0][4], "1");  // present
    EXPECT_EQ(rows[0][5], c.digit);
    EXPECT_EQ(rows[0][6], c.position);
    EXPECT_EQ(rows[0][10], c.delay);
    EXPECT_EQ(h.x.display.Snapshot().blockColour, static_cast<float>(c.colour));
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
  EXPECT_EQ(std::vector({rest[-1].first, rest[1].first, rest[2].first}),
            std::vector({RunHarness::kBlankFrame, RunHarness::kBlankFrame, RunHarness::kFieldFrame}));
  EXPECT_EQ(rest[0].second - rest[-1].second, 133U);
  EXPECT_EQ(rest[2].second - rest[1].second, 133U);
  EXPECT_EQ(h.presenter->MissedRefreshes(), 0U);
}

// The flicker picks each label, with replacement, from all 30: a draw r swaps label
// floor(30 r) + 1, the same one again when the draw repeats. Order condition 2 flickers every
// 200 ms from its first trial; every draw is r.
TEST(FlickerLabelTest, EachDrawPicksItsLabelOfAllThirty) {
  for (const auto& [draw, label] : {std::pair{0.0F, 1}, std::pair{0.5F, 16}, std::pair{0.99999994F, 30}}) {
    testing::ScriptedGenerator generator({draw});
    RunHarness h(1, 1'000'000, nullptr, &generator);
    std::vector<std::vector<int>> swapped;  // at each redraw while the trial awaits its answer
    h.onFieldChanged = [&h, &swapped] {
      const TrialCycleSnapshot now = h.x.display.Snapshot();
      if (!now.awaitingResponse || now.responseGiven) return;
      swapped.emplace_back();
      for (int i = 1; i <= LABEL_COUNT; ++i) {
        if (h.x.display.field().Label1(i).foreColor != static_cast<int>(now.blockColour)) swapped.back().push_back(i);
      }
    };
    h.onShowDisplay = [&h] { h.PressLater(700, h.x.display.Snapshot().trialType1 == 1 ? 'm' : 'n'); };
    h.Launch(5, 2);
    h.time.Advance(2500 + 700);
    ASSERT_EQ(DataRows(h.Results()).size(), 1U);
    ASSERT_GE(swapped.size(), 4U) << "draw " << draw;  // the field, then swaps at 0, 200, 400, 600 ms
    for (std::size_t i = 1; i < swapped.size(); ++i) {
      EXPECT_EQ(swapped[i], std::vector<int>{label}) << "draw " << draw << ", redraw " << i;
    }
  }
}

// SelectTrialType's draws with and without replacement reach both rows of the table.
TEST(TrialScheduleDrawTest, BothRowsReachable) {
  testing::VirtualTime time;
  testing::ScriptedDialogs dialogs;
  for (const auto& [draw, row] : {std::pair{0.0F, 1}, std::pair{0.99999994F, 2}}) {
    for (const char* mode : {"WithReplacement", "WithOutReplacement", "Special"}) {
      testing::ScriptedGenerator generator({draw});
      ExperimentState state;
      TrialSchedule schedule(state, dialogs, generator, time);
      schedule.BuildTrialTypes();
      const std::int16_t k = schedule.SelectTrialType(mode);
      EXPECT_EQ(k, row) << mode << " draw " << draw;
      EXPECT_EQ(state.trialType1, row) << mode << " draw " << draw;
    }
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace cue
