// Catches: a benchmark table that misreads a frame or the lab's files, or computes a statistic
// or a delay wrongly. The instruments themselves are run by bench/smoke-test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/analysis.h"
#include "bench/lab_files.h"
#include "bench/records.h"
#include "bench/screen_state.h"
#include "bench/stats.h"
#include "bench/tones.h"

namespace cue::bench {
namespace {

// The run's files as the program writes them, read by name through the lab folder's readers:
// "-" is unknown, a line that is not the program's is counted, never guessed.
TEST(LabFilesTest, RowsByTrialAndUnreadableLinesCounted) {
  const std::string results =
      "#trialNumber\tBlockNumber\tblockType\torderCondition\ttrialType1\ttargetNumber\t"
      "targetPosition\ttargetPositionX\ttargetPositionY\ttargetNumberCounter\tFLICKER_DELAY\t"
      "subject_res\tRT\t\r\n"
      "3\t1\t2\t1\t2\t7\t0\t0\t0\t0\t200\t2\t612\t\r\n3\t1\t2\r\n";
  const std::string timing =
      "trialNumber\tclockStart\tcueTick\tcueOnset\tanswer\tfeedbackOnset\tmissedFrames\t"
      "refreshHz\tleadMs\t\r\n"
      "3\t1000\t-\t2000\t3000\t-\t0\t59.950\t12.5\t\r\n4\tx\t-\t-\t-\t-\t-\t-\t-\t\r\n";
  const LabRun run = LabRunOf(results, timing);
  ASSERT_EQ(run.results.count(3), 1U);
  EXPECT_TRUE(run.results.at(3).Correct());  // target absent, answered "n"
  EXPECT_EQ(run.results.at(3).rt, 612);
  ASSERT_EQ(run.timing.count(3), 1U);
  const TimingRow& t = run.timing.at(3);
  EXPECT_EQ(t.cueTick, std::nullopt);
  EXPECT_EQ(t.cueOnset, 2000);
  EXPECT_EQ(t.missedRefreshes, 0);
  EXPECT_DOUBLE_EQ(t.refreshHz, 59.95);
  EXPECT_EQ(t.leadMs, 12.5);
  EXPECT_EQ(t.keyArrival, std::nullopt);  // a column of later versions
  EXPECT_EQ(run.unreadable, 2);           // the results row cut short, the timing row of trial 4
}

TEST(StatsTest, SummaryOfASmallSample) {
  const Summary s = Summarize({4, 1, 3, 2});
  EXPECT_EQ(s.n, 4U);
  EXPECT_DOUBLE_EQ(s.mean, 2.5);
  EXPECT_NEAR(s.sd, std::sqrt(5.0 / 3.0), 1e-12);
  EXPECT_DOUBLE_EQ(s.median, 2.5);
  EXPECT_DOUBLE_EQ(s.p95, 3.85);  // between the 3rd and 4th value, 85 % of the way
  EXPECT_DOUBLE_EQ(s.min, 1);
  EXPECT_DOUBLE_EQ(s.max, 4);
  EXPECT_DOUBLE_EQ(Summarize({7}).sd, 0);
}

// A frame of the 1024 x 768 screen in the default grey, with helper verbs to draw on it.
class Frame {
 public:
  static constexpr int kW = 1024, kH = 768;
  static constexpr std::uint32_t kGrey = 0xFFEFEFEF;  // the top byte is not colour

  Frame() : pixels_(static_cast<std::size_t>(kW) * kH, kGrey) {}
  void Fill(int x, int y, int w, int h, std::uint32_t colour) {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) pixels_[static_cast<std::size_t>(j) * kW + i] = colour;
    }
  }
  // Thirty "digits" (solid blocks) in the colour, one of them, odd, in the other colour.
  void Field(std::uint32_t colour, int odd) {
    for (int k = 0; k < 30; ++k) {
      const std::uint32_t c = k == odd ? (colour == kRed ? kGreen : kRed) : colour;
      Fill(280 + (k % 6) * 80, 250 + (k / 6) * 60, 10, 14, c);
      Fill(280 + (k % 6) * 80 + 10, 250 + (k / 6) * 60, 1, 14, 0x7F7F7F);  // an anti-aliased edge
    }
  }
  ScreenState Classify() const { return bench::Classify(pixels_.data(), kW, kH, kW); }

 private:
  std::vector<std::uint32_t> pixels_;
};

TEST(ScreenStateTest, TellsTheExperimentsScreensApart) {
  Frame blank;
  EXPECT_EQ(blank.Classify().screen, Screen::kBlank);

  Frame cross;
  cross.Fill(500, 372, 24, 4, 0x000000);
  cross.Fill(510, 362, 4, 24, 0x000000);
  EXPECT_EQ(cross.Classify().screen, Screen::kCross);

  Frame rest;
  rest.Fill(300, 372, 420, 22, 0x000000);
  EXPECT_EQ(rest.Classify().screen, Screen::kRest);

  // A field knows its colour and where the odd label is.
  Frame red;
  red.Field(kRed, 7);
  const ScreenState s = red.Classify();
  ASSERT_EQ(s.screen, Screen::kField);
  EXPECT_TRUE(s.redField);
  EXPECT_EQ(s.oddBox, (Box{280 + 80, 250 + 60, 280 + 80 + 9, 250 + 60 + 13}));

  Frame green;
  green.Field(kGreen, 0);
  EXPECT_FALSE(green.Classify().redField);
  EXPECT_EQ(green.Classify().oddBox.left, 280);
  // A flicker swap is a change, a repaint is not.
  Frame again, swapped;
  again.Field(kRed, 7);
  swapped.Field(kRed, 8);
  EXPECT_TRUE(s.SameAs(again.Classify()));
  EXPECT_FALSE(s.SameAs(swapped.Classify()));
}

ScreenState Of(Screen screen, int odd = -1) {
  ScreenState s;
  s.screen = screen;
  s.redField = true;
  if (odd >= 0) s.oddBox = Box{odd, 0, odd + 5, 5};
  return s;
}

const Row& Find(const Report& report, const std::string& key) {
  for (const Row& row : report.rows) {
    if (row.key == key) return row;
  }
  throw std::runtime_error("no row " + key);
}

// Two trials of a flicker block, as the instruments would have recorded them, with known
// answers: the table must come out of them exactly.
class AnalysisTest : public ::testing::Test {
 protected:
  static constexpr std::int64_t kS = 1'000'000;  // µs per s

  AnalysisTest() {
    run.trials = 2;
    // Trial 1: its field at 10 s (clock started 5 ms before), swaps every 200.4 ms, the same
    // label drawn twice once (a 400.8 ms gap); answered by a key sent 300 ms after the onset.
    // The pause before trial 1 exactly as asked: cross 1000 ms, blank 500 ms.
    Screens({{7 * kS, Of(Screen::kOther)},
             {7 * kS + 500'000, Of(Screen::kBlank)},
             {8 * kS + 500'000, Of(Screen::kCross)},
             {9 * kS + 500'000, Of(Screen::kBlank)},
             {10 * kS, Of(Screen::kField, 1)},
             {10 * kS + 199'000, Of(Screen::kField, 2)},
             {10 * kS + 399'400, Of(Screen::kField, 3)},
             {10 * kS + 800'200, Of(Screen::kField, 4)},
             // Pause: blank 1001.5, cross 1000.5, blank 505 ms to the next field.
             {11 * kS, Of(Screen::kBlank)},
             {12 * kS + 1'500, Of(Screen::kCross)},
             {13 * kS + 2'000, Of(Screen::kBlank)},
             {13 * kS + 507'000, Of(Screen::kField, 5)},
             {13 * kS + 900'000, Of(Screen::kBlank)}});
    run.keys = {KeySent{1, 'm', 0, 10 * kS + 300'000, 0}, KeySent{2, 'n', 0, 13 * kS + 807'000, 0}};
    run.results[1] = ResultRow{1, 2, 1, 4, 200, 1, 305};  // rt 305: 5 ms more than the delay
    run.results[2] = ResultRow{2, 2, 1, 6, 200, 2, 306};
    // The display (50 Hz) logged trial 1's onset 0.2 ms after the photodiode saw it.
    // Fields: trial, clockStart, cueTick, cueOnset, answer, feedbackOnset, fieldOnset,
    // fieldMsc, rtFromOnset, missedFrames, refreshHz, keyArrival (50 µs after the key left),
    // lead, deadline and the steps' time (trial 1 only).
    // clang-format off
    run.timing[1] = TimingRow{1, 10 * kS - 5'000, 11 * kS - 4'000, 11 * kS + 2'000,
                              10 * kS + 300'400, 10 * kS + 306'000, 10 * kS + 200, 500, 300'200,
                              0, 50, 10 * kS + 300'050, 5.0, 3.0, 1.2};
    // clang-format on
    run.timing[2] = TimingRow{
        2, 13 * kS + 502'000, {}, {}, 13 * kS + 807'600, {}, {}, {}, {}, 1, 50, {}, {}, {}, {}};
    run.sounds = {Heard{10 * kS + 306'500, kCorrect}, Heard{11 * kS + 2'500, 4},
                  Heard{13 * kS + 813'000, kError}, Heard{14 * kS + 509'000, 6}};
  }

  void Screens(std::vector<std::pair<std::int64_t, ScreenState>> states) {
    for (auto& [at, state] : states) run.screens.push_back(Seen{at, at, state});
  }

  RunRecord run;
};

TEST_F(AnalysisTest, ReactionTimeErrorIsTheRecordedRtLessTheRobotsTrueDelay) {
  const Report report = Analyse(run);
  const Row& error = Find(report, "rt_error");
  ASSERT_EQ(error.s.n, 2U);
  EXPECT_NEAR(error.s.min, 305 - 300.0, 1e-9);
  EXPECT_NEAR(error.s.max, 306 - 300.0, 1e-9);
  EXPECT_NEAR(Find(report, "key_delivery").s.min, 0.4, 1e-9);
  EXPECT_NEAR(Find(report, "key_arrival").s.max, 0.05, 1e-9);
  EXPECT_NEAR(Find(report, "rt_rounding").s.min, 305 - 305.4, 1e-9);
  EXPECT_NEAR(Find(report, "onset_logged").s.max, 0.2, 1e-9);
  EXPECT_NEAR(Find(report, "rt_onset_error").s.max, 0.2, 1e-9);
  EXPECT_NEAR(Find(report, "missed").s.max, 1.0, 1e-9);
  EXPECT_NEAR(Find(report, "rt_error_first").s.max, 5.0, 1e-9);
  EXPECT_EQ(Find(report, "rt_error_first").s.n, 1U);
  EXPECT_NEAR(Find(report, "lead").s.max, 5.0, 1e-9);
  EXPECT_EQ(Find(report, "steps").s.n, 1U);
  EXPECT_NEAR(Find(report, "steps_p99").s.max, 1.2, 1e-9);
  // The pauses: what the screen showed less what was asked, the first blank included.
  EXPECT_NEAR(Find(report, "blank1").s.mean, (0 + 1.5) / 2, 1e-9);
  EXPECT_NEAR(Find(report, "cross").s.max, 0.5, 1e-9);
  EXPECT_NEAR(Find(report, "blank2").s.max, 5.0, 1e-9);
  EXPECT_EQ(Find(report, "blank1").s.n, 2U);
  EXPECT_EQ(Find(report, "cross").s.n, 2U);
  EXPECT_NEAR(Find(report, "cross_frames").s.min, 50.0, 1e-9);  // 1000 ms at 50 Hz
  // A repeated label counts as two flicker delays.
  const Row& swaps = Find(report, "flicker_200");
  ASSERT_EQ(swaps.s.n, 2U);
  EXPECT_NEAR(swaps.s.min, 0.4, 1e-9);  // 200.4 ms
  EXPECT_NEAR(swaps.s.max, 0.8, 1e-9);  // 400.8 ms: two delays
  ASSERT_EQ(report.notes.size(), 1U);
  EXPECT_NE(report.notes[0].find("1 flicker intervals"), std::string::npos);
}

}  // namespace
}  // namespace cue::bench
