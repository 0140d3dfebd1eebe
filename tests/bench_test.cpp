// The benchmark's arithmetic: what it tells from a frame, a recording and the lab files, and
// how it turns a run's records into the table. The instruments themselves (X, PulseAudio)
// are exercised by the smoke test (bench/smoke-test).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/analysis.h"
#include "bench/lab_files.h"
#include "bench/proc_probe.h"
#include "bench/records.h"
#include "bench/screen_state.h"
#include "bench/stats.h"
#include "bench/tones.h"

namespace cue::bench {
namespace {

TEST(StatsTest, SummaryOfASmallSample) {
  const Summary s = Summarize({4, 1, 3, 2});
  EXPECT_EQ(s.n, 4U);
  EXPECT_DOUBLE_EQ(s.mean, 2.5);
  EXPECT_NEAR(s.sd, std::sqrt(5.0 / 3.0), 1e-12);
  EXPECT_DOUBLE_EQ(s.median, 2.5);
  EXPECT_DOUBLE_EQ(s.p95, 3.85);  // between the 3rd and 4th value, 85 % of the way
  EXPECT_DOUBLE_EQ(s.min, 1);
  EXPECT_DOUBLE_EQ(s.max, 4);
}

TEST(StatsTest, OneValueHasNoSpreadAndNoValuesGiveAnEmptySummary) {
  const Summary one = Summarize({7});
  EXPECT_EQ(one.n, 1U);
  EXPECT_DOUBLE_EQ(one.sd, 0);
  EXPECT_DOUBLE_EQ(one.p95, 7);
  EXPECT_EQ(Summarize({}).n, 0U);
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

  Frame greet;  // text boxes and captions
  greet.Fill(300, 200, 200, 30, 0xFFFFFF);
  greet.Fill(300, 400, 200, 30, 0xFFFFFF);
  EXPECT_EQ(greet.Classify().screen, Screen::kOther);
}

TEST(ScreenStateTest, AFieldKnowsItsColourAndWhereTheOddLabelIs) {
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
}

TEST(ScreenStateTest, AFlickerSwapIsAChangeAndARepaintIsNot) {
  Frame a, again, swapped;
  a.Field(kRed, 3);
  again.Field(kRed, 3);
  swapped.Field(kRed, 4);
  EXPECT_TRUE(a.Classify().SameAs(again.Classify()));
  EXPECT_FALSE(a.Classify().SameAs(swapped.Classify()));
}

// The pointer parked in the corner is not looked at; a few pixels of a digit colour are no field.
TEST(ScreenStateTest, ThePointersCornerAndStrayPixelsAreNoScreen) {
  Frame blank;
  blank.Fill(Frame::kW - 12, Frame::kH - 20, 12, 20, 0x000000);
  EXPECT_EQ(blank.Classify().screen, Screen::kBlank);
  blank.Fill(Frame::kW - 40, Frame::kH - 20, 2, 2, 0x000000);  // just outside the corner
  EXPECT_NE(blank.Classify().screen, Screen::kBlank);
  Frame frame;
  frame.Fill(10, 10, 9, 9, kRed);  // 81 < kMinFieldPixels
  EXPECT_NE(frame.Classify().screen, Screen::kField);
}

TEST(TonesTest, EverySoundHasItsOwnToneStartingAtFullAmplitude) {
  for (int sound = 1; sound <= kError; ++sound) {
    EXPECT_EQ(SoundOfHz(ToneHz(sound)), sound) << sound;
    const auto samples = ToneSamples(sound);
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples.front(), static_cast<std::int16_t>(std::lround(kToneAmplitude * 32767)));
  }
  EXPECT_FALSE(SoundOfHz(7000).has_value());
  EXPECT_FALSE(SoundOfHz(300).has_value());
}

std::vector<float> Floats(const std::vector<std::int16_t>& samples) {
  std::vector<float> out;
  for (const auto s : samples) out.push_back(static_cast<float>(s) / 32768.0F);
  return out;
}

TEST(OnsetDetectorTest, FindsEachBurstAtItsFirstSampleAndTellsWhichItIs) {
  std::vector<float> stream(1323, 0.0F);  // 30 ms of silence
  const auto cue = Floats(ToneSamples(5));
  stream.insert(stream.end(), cue.begin(), cue.end());
  stream.insert(stream.end(), 2205, 0.0F);  // 50 ms
  const std::size_t second = stream.size();
  const auto error = Floats(ToneSamples(kError));
  stream.insert(stream.end(), error.begin(), error.end());
  stream.insert(stream.end(), 2000, 0.0F);

  OnsetDetector detector(OnsetDetector::Options{});
  for (std::size_t at = 0; at < stream.size(); at += 997) {  // blocks of any size
    detector.Feed(stream.data() + at, std::min<std::size_t>(997, stream.size() - at));
  }
  ASSERT_EQ(detector.Onsets().size(), 2U);
  EXPECT_EQ(detector.Onsets()[0].frame, 1323);
  EXPECT_EQ(SoundOfHz(detector.Onsets()[0].hz), 5);
  EXPECT_NEAR(detector.Onsets()[0].hz, ToneHz(5), 0.01 * ToneHz(5));
  EXPECT_EQ(detector.Onsets()[1].frame, static_cast<std::int64_t>(second));
  EXPECT_EQ(SoundOfHz(detector.Onsets()[1].hz), kError);
}

TEST(OnsetDetectorTest, ABurstAfterTooShortASilenceIsNoNewOnset) {
  std::vector<float> stream(1000, 0.0F);
  const auto tone = Floats(ToneSamples(2));
  stream.insert(stream.end(), tone.begin(), tone.end());
  stream.insert(stream.end(), 441, 0.0F);  // 10 ms, under the 20 ms asked for
  stream.insert(stream.end(), tone.begin(), tone.end());
  OnsetDetector detector(OnsetDetector::Options{});
  detector.Feed(stream.data(), stream.size());
  EXPECT_EQ(detector.Onsets().size(), 1U);
}

TEST(OnsetDetectorTest, AGapInsideABurstIsADropoutAndDoesNotBendItsFrequency) {
  std::vector<float> stream(1000, 0.0F);
  auto tone = Floats(ToneSamples(9));
  std::fill(tone.begin() + 300, tone.begin() + 400, 0.0F);  // the output ran dry for 2.3 ms
  stream.insert(stream.end(), tone.begin(), tone.end());
  stream.insert(stream.end(), 1000, 0.0F);
  OnsetDetector detector(OnsetDetector::Options{});
  detector.Feed(stream.data(), stream.size());
  ASSERT_EQ(detector.Onsets().size(), 1U);
  EXPECT_EQ(detector.Onsets()[0].dropouts, 1);
  EXPECT_EQ(SoundOfHz(detector.Onsets()[0].hz), 9);

  OnsetDetector whole(OnsetDetector::Options{});
  const auto clean = Floats(ToneSamples(9));
  std::vector<float> intact(1000, 0.0F);
  intact.insert(intact.end(), clean.begin(), clean.end());
  intact.insert(intact.end(), 1000, 0.0F);
  whole.Feed(intact.data(), intact.size());
  ASSERT_EQ(whole.Onsets().size(), 1U);
  EXPECT_EQ(whole.Onsets()[0].dropouts, 0);  // not the fade at its end
}

TEST(LabFilesTest, ReadsTheResultsRowsAndSkipsHeadersAndBrokenLines) {
  const std::string text =
      "#trialNumber\tBlockNumber\tblockType\t\r\n"
      "41\t2\t2\t1\t1\t7\t12\t4500\t3300\t0\t200\t1\t734\t\r\n"
      "42\t2\t3\t1\t2\t4\t0\t0\t0\t0\t187\t1\t512\t\r\n"
      "43\t2\t3\tbroken\r\n";
  int bad = 0;
  const auto rows = ParseResults(text, &bad);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(bad, 1);
  const ResultRow& r = rows.at(41);
  EXPECT_EQ(r.blockType, 2);
  EXPECT_EQ(r.targetNumber, 7);
  EXPECT_EQ(r.flickerDelay, 200);
  EXPECT_EQ(r.rt, 734);
  EXPECT_TRUE(r.Correct());
  EXPECT_FALSE(rows.at(42).Correct());  // "m" on a target-absent trial
}

TEST(LabFilesTest, ReadsTheTimingLogWithItsUnknowns) {
  const std::string text =
      "trialNumber\tclockStart\tcueTick\tcueOnset\tanswer\tfeedbackOnset\tsound\tfieldOnset\tfieldMsc\t"
      "rtFromOnset\tmissedFrames\trefreshHz\t\r\n"
      "1\t1000\t1001000\t1007000\t500000\t-\tok\t34000\t77\t466000\t2\t59.940\t\r\n";
  const auto rows = ParseTiming(text);
  ASSERT_EQ(rows.count(1), 1U);
  const TimingRow& r = rows.at(1);
  EXPECT_EQ(r.clockStart, 1000);
  EXPECT_EQ(r.cueOnset, 1007000);
  EXPECT_FALSE(r.feedbackOnset.has_value());
  // The display's columns are found by name, wherever they stand.
  EXPECT_EQ(r.fieldOnset, 34000);
  EXPECT_EQ(r.fieldMsc, 77);
  EXPECT_EQ(r.rtFromOnset, 466000);
  EXPECT_EQ(r.missedRefreshes, 2);
  EXPECT_DOUBLE_EQ(r.refreshHz, 59.94);
}

TEST(CaptureClockTest, FramesMapThroughTheReportsAroundThem) {
  // The sink's clock gains 1 µs per 1000 µs against the monotonic clock.
  std::vector<CaptureAnchor> reports;
  for (int i = 1; i <= 5; ++i) {
    const double position = i * 100'000.0;
    reports.push_back(
        CaptureAnchor{static_cast<std::int64_t>(5'000'000 + position * 0.999), position, 1000});
  }
  reports.push_back(CaptureAnchor{9'000'000, 0, 1000});             // before data flowed
  reports.push_back(CaptureAnchor{9'000'000, 700'000, 1'900'000});  // an idle sink
  const auto usable = UsableAnchors(reports);
  ASSERT_EQ(usable.size(), 5U);
  // Frame 11025 at 44100 Hz is position 250 ms: halfway between the 2nd and 3rd report.
  EXPECT_NEAR(FrameMicros(11025, 44100, usable), 5'000'000 + 250'000 * 0.999, 1);
  // Beyond the last report the last offset holds.
  EXPECT_NEAR(FrameMicros(44100, 44100, usable), 5'000'000 + 500'000 * 0.999 + 500'000, 1);
}

TEST(ProcProbeTest, CpuShareInterpolatesBetweenSamples) {
  std::vector<ProcSample> samples;
  for (int i = 0; i <= 10; ++i) {
    ProcSample s;
    s.at = i * 100'000;             // every 100 ms
    s.cpuNanos = i * 10'000'000LL;  // 10 % of a core
    s.mainNanos = i * 1'000'000LL;  // 1 %
    samples.push_back(s);
  }
  EXPECT_NEAR(*CpuShare(samples, 150'000, 850'000), 0.10, 1e-12);
  EXPECT_NEAR(*CpuShare(samples, 150'000, 850'000, true), 0.01, 1e-12);
  EXPECT_NEAR(*PerSecond(samples, 0, 1'000'000, &ProcSample::cpuNanos), 1e8, 1e-3);
  EXPECT_FALSE(CpuShare(samples, -1, 500'000).has_value());
  EXPECT_FALSE(CpuShare(samples, 500'000, 2'000'000).has_value());
}

ScreenState Of(Screen screen, int odd = -1) {
  ScreenState s;
  s.screen = screen;
  s.redField = true;
  if (odd >= 0) s.oddBox = Box{odd, 0, odd + 5, 5};
  return s;
}

TEST(PauseTest, BlankCrossBlankAndBlankRestBlankAreTold) {
  const std::vector<Seen> cross = {{10, 0, Of(Screen::kOther)},
                                   {20, 0, Of(Screen::kBlank)},
                                   {30, 0, Of(Screen::kCross)},
                                   {40, 0, Of(Screen::kBlank)}};
  const Pause p = PauseOf(cross);
  EXPECT_EQ(p.kind, Pause::kCross);
  EXPECT_EQ(p.blank1, 20);
  EXPECT_EQ(p.middle, 30);
  EXPECT_EQ(p.blank2, 40);
  EXPECT_EQ(
      PauseOf({{1, 0, Of(Screen::kBlank)}, {2, 0, Of(Screen::kRest)}, {3, 0, Of(Screen::kBlank)}})
          .kind,
      Pause::kRest);
  EXPECT_EQ(PauseOf({{1, 0, Of(Screen::kBlank)}, {2, 0, Of(Screen::kCross)}}).kind, Pause::kNone);
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
    run.timing[1] = TimingRow{1, 10 * kS - 5'000, 11 * kS - 4'000, 11 * kS + 2'000, 10 * kS + 300'400,
                              10 * kS + 306'000, 10 * kS + 200, 500, 300'200, 0, 50};
    run.timing[2] = TimingRow{2,  13 * kS + 502'000, std::nullopt, std::nullopt, 13 * kS + 807'600, std::nullopt,
                              {}, {}, {},           1,                 50};
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
  const Row& show = Find(report, "show_time");
  EXPECT_NEAR(show.s.min, 5.0, 1e-9);
  EXPECT_NEAR(Find(report, "key_delivery").s.min, 0.4, 1e-9);
  EXPECT_NEAR(Find(report, "rt_rounding").s.min, 305 - 305.4, 1e-9);
  EXPECT_NEAR(Find(report, "rt_rounding").s.max, 306 - 305.6, 1e-9);
  EXPECT_NEAR(Find(report, "onset_logged").s.max, 0.2, 1e-9);
  EXPECT_NEAR(Find(report, "show_logged").s.max, 5.2, 1e-9);
  EXPECT_NEAR(Find(report, "rt_onset_error").s.max, 0.2, 1e-9);
  EXPECT_EQ(Find(report, "rt_onset_error").s.n, 1U);
  EXPECT_NEAR(Find(report, "missed").s.max, 1.0, 1e-9);
}

TEST_F(AnalysisTest, PauseIntervalsAreWhatTheScreenShowedLessWhatWasAsked) {
  const Report report = Analyse(run);
  EXPECT_NEAR(Find(report, "blank1").s.mean, 1.5, 1e-9);
  EXPECT_NEAR(Find(report, "cross").s.max, 0.5, 1e-9);
  EXPECT_NEAR(Find(report, "blank2").s.max, 5.0, 1e-9);
  // The first blank before trial 1 is not timed: the screen went blank before the blank
  // screen was up.
  EXPECT_EQ(Find(report, "blank1").s.n, 1U);
  EXPECT_EQ(Find(report, "cross").s.n, 2U);
  EXPECT_NEAR(Find(report, "cross").s.min, 0.0, 1e-9);
  EXPECT_NEAR(Find(report, "cross_frames").s.min, 50.0, 1e-9);  // 1000 ms at 50 Hz
  EXPECT_NEAR(Find(report, "blank1_frames").s.max, 1001.5 / 20, 1e-9);
}

TEST_F(AnalysisTest, FlickerSwapsCountARepeatedLabelAsTwoDelays) {
  const Report report = Analyse(run);
  const Row& swaps = Find(report, "flicker_200");
  ASSERT_EQ(swaps.s.n, 2U);
  EXPECT_NEAR(swaps.s.min, 0.4, 1e-9);                           // 200.4 ms
  EXPECT_NEAR(swaps.s.max, 0.8, 1e-9);                           // 400.8 ms: two delays
  EXPECT_NEAR(Find(report, "flicker_first").s.min, -1.0, 1e-9);  // 199 ms after the onset
  ASSERT_EQ(report.notes.size(), 1U);
  EXPECT_NE(report.notes[0].find("1 flicker intervals"), std::string::npos);
}

TEST_F(AnalysisTest, SoundsAreMatchedToTheirMomentsAndChecked) {
  Report report = Analyse(run);
  const Row& cue = Find(report, "cue_lag");
  ASSERT_EQ(cue.s.n, 2U);
  EXPECT_NEAR(cue.s.min, 7.0, 1e-9);  // 1007 ms after trial 2's clockStart
  EXPECT_NEAR(cue.s.max, 7.5, 1e-9);
  EXPECT_NEAR(Find(report, "cue_from_field").s.min, 2.0, 1e-9);
  EXPECT_NEAR(Find(report, "cue_from_field").s.max, 2.5, 1e-9);
  EXPECT_NEAR(Find(report, "cue_tick").s.mean, 1.0, 1e-9);
  EXPECT_NEAR(Find(report, "cue_self").s.mean, -0.5, 1e-9);
  EXPECT_NEAR(Find(report, "feedback_lag").s.min, 6.0, 1e-9);
  EXPECT_NEAR(Find(report, "feedback_self").s.mean, -0.5, 1e-9);
  for (const auto& note : report.notes) EXPECT_EQ(note.find("wrong"), std::string::npos) << note;
  // Trial 2's cue digit 9 where the results say 6; its "n" was wrong, but the correct-answer
  // sound played.
  run.sounds[3].sound = 9;
  run.sounds[2].sound = kCorrect;
  report = Analyse(run);
  int flagged = 0;
  for (const auto& note : report.notes) {
    flagged += note == "1 cues of the wrong digit (trial 2)";
    flagged += note == "1 feedback sounds of the wrong kind (trial 2)";
  }
  EXPECT_EQ(flagged, 2);
}

TEST(ResourcesTest, CpuIsCountedOverTheWaitingScreensOnly) {
  RunRecord run;
  constexpr std::int64_t kS = 1'000'000;
  // A blank second, a field second (busy), a cross second, and the end.
  for (const auto& [at, screen] :
       std::vector<std::pair<std::int64_t, Screen>>{{0, Screen::kBlank},
                                                    {kS, Screen::kField},
                                                    {2 * kS, Screen::kCross},
                                                    {3 * kS, Screen::kBlank}}) {
    run.screens.push_back(Seen{at, at, Of(screen)});
  }
  std::int64_t cpu = 0, slices = 0;
  for (std::int64_t t = 0; t <= 3 * kS; t += 10'000) {
    ProcSample s;
    s.at = t;
    s.cpuNanos = cpu;
    s.mainNanos = cpu / 10;
    s.slices = slices;
    s.mainSlices = slices / 10;
    s.rssKb = 40 * 1024;
    run.proc.push_back(s);
    const bool busy = t >= kS && t < 2 * kS;
    cpu += busy ? 5'000'000 : 200'000;  // 50 % of a core while the field is up, 2 % otherwise
    slices += busy ? 50 : 3;
  }
  const Report report = Analyse(run);
  const Row& perScreen = Find(report, "cpu_wait");
  ASSERT_EQ(perScreen.s.n, 2U);  // the blank and the cross, not the field
  EXPECT_NEAR(perScreen.s.max, 2.0, 1e-6);
  EXPECT_NEAR(Find(report, "cpu_wait_all").s.mean, 2.0, 1e-6);
  EXPECT_NEAR(Find(report, "cpu_wait_all_main").s.mean, 0.2, 0.01);
  EXPECT_NEAR(Find(report, "wakes_wait").s.mean, 300, 1e-6);
  EXPECT_NEAR(Find(report, "rss").s.median, 40, 1e-9);
}

}  // namespace
}  // namespace cue::bench
