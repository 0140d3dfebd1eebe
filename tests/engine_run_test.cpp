// Catches: any results row, pause, cue, feedback or flicker of a whole run that differs from
// what the subject saw and did (every row of every order condition, all 13 columns).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
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

class WholeRunTest : public ::testing::TestWithParam<int> {};

TEST_P(WholeRunTest, TimelineAndFileOfAllTrials) {
  const int condition = GetParam();
  RunHarness h(static_cast<std::uint64_t>(condition) * 1000 + 7);
  // At each start: what is on disk and on screen; then the subject answers by the script,
  // with stray keys around the answer, and ends every rest period with space after 4 s.
  std::vector<int> linesAtStart;
  std::vector<LabelColour> colours;
  std::vector<StimulusField> fields;
  h.onShowDisplay = [&] {
    const std::string file = h.Results();
    linesAtStart.push_back(static_cast<int>(std::count(file.begin(), file.end(), '\n')));
    colours.push_back(h.x.display.blockColour);
    fields.push_back(h.x.display.field());
    const int trial = h.x.state.trialNumber;
    const Response r = ScriptFor(trial);
    const bool present = h.x.state.trialType1 == 1;
    if (trial % 5 == 1) {
      h.PressLater(r.rtMs / 2, trial % 2 ? 'M' : 'N');  // upper case never counts
      h.PressLater(r.rtMs / 2 + 1, 9);  // Tab: nothing
      h.PressLater(r.rtMs / 2 + 2, 96);  // the debug window, twice
      h.PressLater(r.rtMs / 2 + 3, 96);
    }
    h.PressLater(r.rtMs, (present == r.correct) ? 'm' : 'n');
    if (trial % 4 == 0) h.PressLater(r.rtMs + 1, 'm');  // a second answer
    if (trial % 6 == 0) h.PressLater(r.rtMs + 1700, 'n');  // a key during the pause
  };
  int debugToggles = 0;
  h.x.display.SetDebugToggle([&debugToggles] { ++debugToggles; });
  h.onShowRest = [&h] { h.PressLater(4000, ' '); };

  // Flicker: watch every redraw while a trial waits for its answer.
  int maxOdd = 0;
  int seenTrial = 0;
  std::map<int, std::uint64_t> swappedAt;  // label -> time it took the other colour
  std::map<int, int> drawnSwapped;  // label -> drawings while swapped: 2 when drawn twice running
  std::vector<std::uint64_t> swapLengths;
  std::vector<int> swapTrials;  // the trial of each swap length
  std::vector<int> swappedAtAnswer(361, 0);  // the label the flicker had swapped, by trial
  h.onFieldChanged = [&] {
    if (!h.x.display.awaitingResponse || h.x.display.responseGiven) return;
    const int trial = h.x.state.trialNumber;
    if (trial != seenTrial) swappedAt.clear(), drawnSwapped.clear();
    seenTrial = trial;
    int odd = 0;
    swappedAtAnswer[static_cast<std::size_t>(trial)] = 0;
    for (int i = 1; i <= kLabelCount; ++i) {
      const bool differs = h.x.display.field().label(i - 1).foreColor != ColourValue(h.x.display.blockColour);
      odd += differs;
      if (differs) swappedAtAnswer[static_cast<std::size_t>(trial)] = i;
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

  ASSERT_EQ(h.lifecycle.ended, 1);
  EXPECT_EQ(h.x.state.fieldWidth, 7360.0F);  // the screen less its margins
  EXPECT_EQ(h.x.state.fieldHeight, 5520.0F);
  const auto rows = DataRows(h.Results());
  ASSERT_EQ(rows.size(), 360U);
  ASSERT_EQ(h.displayShownAt.size(), 360U);

  const int typeTable[3][9] = {{1, 2, 3, 1, 2, 3, 1, 2, 3}, {2, 3, 1, 2, 3, 1, 2, 3, 1},
                               {3, 1, 2, 3, 1, 2, 3, 1, 2}};
  int lastDelay = 0;
  std::map<int, int> presentPerBlock;
  std::array<std::int32_t, kLabelCount + 1> kept{};  // the reference model's label colours
  kept.fill(ColourValue(LabelColour::kRed));
  std::vector<int> suspended;
  const auto Swap = [](std::int32_t& colour) { colour = colour == ColourValue(LabelColour::kRed) ? ColourValue(LabelColour::kGreen) : ColourValue(LabelColour::kRed); };
  for (int t = 1; t <= 360; ++t) {
    const auto& row = rows[static_cast<std::size_t>(t - 1)];
    SCOPED_TRACE("trial " + std::to_string(t));
    ASSERT_EQ(row.size(), 13U);
    const int block = (t - 1) / 40 + 1;
    EXPECT_EQ(row[0], std::to_string(t));
    EXPECT_EQ(row[1], std::to_string(block));
    const int type = typeTable[condition - 1][block - 1];
    EXPECT_EQ(row[2], std::to_string(type));
    EXPECT_EQ(row[3], std::to_string(condition));
    const bool present = row[4] == "1";
    presentPerBlock[block] += present;
    // FLICKER_DELAY: 200 in type 2, drawn in type 3, the last value (0 at first) in type 1.
    const int delay = std::stoi(row[10]);
    EXPECT_TRUE(type == 2 ? delay == 200 : type == 3 ? delay >= 100 && delay <= 300 : delay == lastDelay)
        << "FLICKER_DELAY " << delay << " in block type " << type << " after " << lastDelay;
    lastDelay = delay;
    // The answer and its time.
    const Response r = ScriptFor(t);
    EXPECT_EQ(row[11], (present == r.correct) ? "1" : "2");
    EXPECT_EQ(row[12], std::to_string(r.rtMs));
    // Target facts against the field shown: the one label with the target digit, its left
    // and top edges; absent trials have none and write zeros.
    const StimulusField& field = fields[static_cast<std::size_t>(t - 1)];
    int holder = 0;
    for (int i = 1; i <= kLabelCount; ++i) {
      if (field.label(i - 1).caption == row[5]) holder = holder == 0 ? i : -1;
    }
    EXPECT_EQ(row[6], std::to_string(holder));
    EXPECT_EQ(std::stof(row[7]), holder > 0 ? field.label(holder - 1).left : 0.0F);
    EXPECT_EQ(std::stof(row[8]), holder > 0 ? field.label(holder - 1).top : 0.0F);
    // Every label inside its own cell of the 6 x 5 grid: offsets are at least 1 twip, and
    // rounding the position may move it by half a twip.
    for (int p = 1; p <= kLabelCount; ++p) {
      const NumberLabel& l = field.label(p - 1);
      const float w = 7360.0F / 6, left = kFieldLeft + static_cast<float>((p - 1) % 6) * w,
                  top = kFieldTop + static_cast<float>((p - 1) / 6) * 1104.0F;
      EXPECT_TRUE(l.left >= left + 0.5F && l.top >= top + 0.5F && l.left + l.width <= left + w + 0.5F &&
                  l.top + l.height <= top + 1104.5F) << "label " << p << " at " << l.left << ", " << l.top;
    }
    // The counter, against the colours the labels kept from the previous trial.
    const bool counted = holder > 0 && kept[static_cast<std::size_t>(holder)] == ColourValue(LabelColour::kGreen);
    EXPECT_EQ(row[9], counted ? "1" : "0");
    // What the labels keep from this trial: the block's colour, except in a flicker block the
    // label swapped when the answer came, whose loop stays suspended (and the next trial runs
    // nested inside its wait) until the block ends; once the rest screen is up every suspended
    // loop, the latest first, swaps its label again.
    kept.fill(ColourValue(colours[static_cast<std::size_t>(t - 1)]));
    if (type != 1) {
      const int k = swappedAtAnswer[static_cast<std::size_t>(t)];
      ASSERT_GT(k, 0);
      Swap(kept[static_cast<std::size_t>(k)]);
      suspended.push_back(k);
    }
    if (t % 40 == 0) {
      for (; !suspended.empty(); suspended.pop_back()) Swap(kept[static_cast<std::size_t>(suspended.back())]);
    }
    // Every earlier row was on disk when this trial started (header + t - 1 rows).
    EXPECT_EQ(linesAtStart[static_cast<std::size_t>(t - 1)], t);
    // A new colour only at the first trial of a block.
    if ((t - 1) % 40 != 0) {
      EXPECT_EQ(colours[static_cast<std::size_t>(t - 1)], colours[static_cast<std::size_t>(t - 2)]);
    }
  }
  for (int b = 1; b <= 9; ++b) EXPECT_EQ(presentPerBlock[b], 20) << "block " << b;

  // Pauses: blank 1000, cross 1000, blank 500; 2000 of blank before and after a rest.
  std::size_t cross = 2;  // the first cross is the launch's
  for (int t = 1; t < 360; ++t) {
    SCOPED_TRACE("after trial " + std::to_string(t));
    const std::uint64_t answer = h.displayShownAt[static_cast<std::size_t>(t - 1)] +
                                 static_cast<std::uint64_t>(ScriptFor(t).rtMs);
    const std::uint64_t next = h.displayShownAt[static_cast<std::size_t>(t)];
    if (t % 40 == 0) {
      const std::uint64_t rest = h.restShownAt[static_cast<std::size_t>(t / 40 - 1)];
      EXPECT_EQ(rest, answer + 2000);
      EXPECT_EQ(next, rest + 4000 + 2000);
    } else {
      ASSERT_LT(cross + 1, h.crossChanges.size());
      EXPECT_EQ(h.crossChanges[cross], std::make_pair(answer + 1000, true));
      EXPECT_EQ(h.crossChanges[cross + 1], std::make_pair(answer + 2000, false));
      EXPECT_EQ(next, answer + 2500);
      cross += 2;
    }
  }
  EXPECT_EQ(h.restShownAt.size(), 8U);  // after 40, 80, ..., 320 and never after 360

  // One cue per trial, 1000 ms after its start, with that trial's digit; feedback at the
  // answer, matching its correctness.
  std::vector<testing::FakeSoundPlayer::PlayRecord> cues, feedback;
  for (const auto& p : h.sound.plays) (p.path.find("Utopia") != std::string::npos ? feedback : cues).push_back(p);
  // The run ends at the last answer: a last answer within the first second has no cue.
  const std::size_t lastCue = ScriptFor(360).rtMs < 1000 ? 359 : 360;
  ASSERT_EQ(cues.size(), lastCue);
  ASSERT_EQ(feedback.size(), 360U);
  for (int t = 1; t <= 360; ++t) {
    const auto i = static_cast<std::size_t>(t - 1);
    if (i < lastCue) {
      // The cue is asked for a little early and starts exactly 1000 ms after the start.
      EXPECT_EQ(*h.sound.OnsetMicros(cues[i].play), (h.displayShownAt[i] + 1000) * 1000) << t;
      EXPECT_LT(cues[i].micros, (h.displayShownAt[i] + 1000) * 1000 - RunHarness::kSoundLatencyMicros);
      EXPECT_EQ(cues[i].path, "/lab/wave/" + rows[i][5] + ".wav") << "trial " << t;
    }
    EXPECT_EQ(feedback[i].micros / 1000, h.displayShownAt[i] + static_cast<std::uint64_t>(ScriptFor(t).rtMs));
    const bool correct = ScriptFor(t).correct;
    EXPECT_EQ(feedback[i].path, correct ? "/lab/wave/Utopia Default.wav" : "/lab/wave/Utopia Error.wav");
  }

  // Flicker: never more than one odd label; every swap lasted the delay its row says (a label
  // drawn twice running stays swapped for two delays).
  EXPECT_LE(maxOdd, 1);
  ASSERT_FALSE(swapLengths.empty());
  for (std::size_t i = 0; i < swapLengths.size(); ++i) {
    EXPECT_EQ(std::to_string(swapLengths[i]), rows[static_cast<std::size_t>(swapTrials[i] - 1)][10]) << "swap " << i;
  }
  EXPECT_GT(debugToggles, 0);
  EXPECT_EQ(debugToggles % 2, 0);

  // The program's own timing record: one line per trial, the cue 1000 ms after the clock's
  // start, the feedback at the answer plus the output's latency.
  const std::string& timingFile = h.files.files["/lab/Res_Data/timing-17.tsv"];
  EXPECT_EQ(timingFile.rfind("trialNumber\t", 0), 0U);  // never "#trialNumber", the results header
  const auto timing = DataRows(timingFile);
  ASSERT_EQ(timing.size(), 360U);
  const std::string latency = "4.500";
  for (int t = 1; t <= 360; ++t) {
    const auto& line = timing[static_cast<std::size_t>(t - 1)];
    ASSERT_EQ(line.size(), 22U);
    EXPECT_EQ(line[15], "toolkit");  // no presenter: the display's onsets are not known
    EXPECT_EQ(line[16], "-");        // nor the keys' arrivals
    EXPECT_EQ(line[9], "-");
    EXPECT_EQ(line[0], std::to_string(t));
    EXPECT_EQ(line[1], std::to_string(h.displayShownAt[static_cast<std::size_t>(t - 1)] * 1000));
    if (static_cast<std::size_t>(t) <= lastCue) {
      EXPECT_EQ(line[6], "1000.000") << t;
    }
    EXPECT_EQ(line[7], latency) << t;
    EXPECT_EQ(line[8], "ok") << t;
  }
  if (lastCue == 359) {
    EXPECT_EQ(timing.back()[3], "-");  // the last cue never played
  }

  // The end: the completion message, and the program ended without the quit question.
  ASSERT_EQ(h.dialogs.shown.size(), 1U);
  EXPECT_EQ(testing::Shown(h.dialogs.shown[0]),
            std::tuple("Well done experiment complete. Please call the experimenter.", "EXPERIMENT COMPLETE",
                       Buttons::kOk, Icon::kNone));
}

INSTANTIATE_TEST_SUITE_P(OrderConditions, WholeRunTest, ::testing::Values(1, 2, 3));

// The random flicker delay takes both ends of 100..300: the first trial of order condition 3
// flickers at random, here with every draw the lowest or the highest.
TEST(FlickerDelayTest, RandomDelayReachesBothEndsOfItsRange) {
  for (const auto& [draw, delay] : {std::pair{0.0F, "100"}, std::pair{0.99999994F, "300"}}) {
    testing::ScriptedGenerator generator({draw});
    RunHarness h(1, 1'000'000, nullptr, &generator);
    h.onShowDisplay = [&h] { h.PressLater(700, h.x.state.trialType1 == 1 ? 'm' : 'n'); };
    h.Launch(5, 3);
    h.time.Advance(2500 + 700);
    const auto rows = DataRows(h.Results());
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0][2], "3");
    EXPECT_EQ(rows[0][10], delay);
  }
}

}  // namespace
}  // namespace cue
