// The lab machine's check: verdicts from measured facts (the probes are replaced by facts
// written here), the session's health with fake display and sound, the lab folder's choice.
#include <gtest/gtest.h>

#include "check/judge.h"
#include "check/lab_choice.h"
#include "check/session_health.h"
#include "support/fake_sound_player.h"
#include "support/virtual_time.h"

namespace cue::check {
namespace {

using enum Verdict;

Verdict Of(const std::vector<Line>& lines, const std::string& what) {
  for (const Line& l : lines)
    if (l.what == what) return l.verdict;
  ADD_FAILURE() << "no line " << what;
  return kPass;
}

// A 60 Hz X server with X Present, 300 frames each at its refresh, drawn in 2 ms.
DisplayFacts GoodDisplay() {
  DisplayFacts f;
  f.server = "X11 (test) on :1";
  f.prepareMicros = std::vector<double>(300, 2000), f.deadlineMicros = 5000;
  f.noticeLagMicros = std::vector<double>(300, 300), f.width = 1024, f.height = 768;
  for (std::uint64_t i = 0; i < 300; ++i) f.shown.push_back({100 + i, 5'000'000 + i * 16'667});
  return f;
}

// Every 50th refresh stamp from the 10th on (2 % of them), later by us.
void LateStamps(DisplayFacts& f, std::uint64_t us) {
  for (int i = 10; i < 300; i += 50) f.shown[i].micros += us;
}
// The 99th percentile of the frames' preparation (4 of 300 frames) at us.
void Prepare(DisplayFacts& f, double us) { std::fill_n(f.prepareMicros.begin(), 4, us); }

TEST(CheckTest, DisplayVerdictsAtTheirEdges) {
  EXPECT_EQ(Worst(JudgeDisplay(GoodDisplay())), kPass);
  using F = DisplayFacts&;
  const char* const full = "a full field at every refresh";
  const struct {
    const char* name;
    void (*change)(DisplayFacts&);
    const char* what;
    Verdict expected;
  } rows[] = {
      // clang-format off
      {"no X server", [](F f) { f.server.clear(); }, "display server", kFail},
      {"toolkit painting", [](F f) { f.presentMissing = "no Present"; }, "frame timing", kFail},
      {"Xwayland", [](F f) { f.xwayland = true; }, "compositor", kConcern},
      {"compositing WM", [](F f) { f.compositor = "picom"; }, "compositor", kConcern},
      {"few refreshes", [](F f) { f.shown.resize(9); }, "refresh rate", kFail},
      {"one period 30% off", [](F f) { f.shown[150].micros += 5000; }, "refresh rate", kPass},
      {"2% of stamps 9% off", [](F f) { LateStamps(f, 1500); }, "refresh rate", kPass},
      {"2% of stamps 15% off", [](F f) { LateStamps(f, 2500); }, "refresh rate", kConcern},
      {"2% of stamps 30% off", [](F f) { LateStamps(f, 5000); }, "refresh rate", kFail},
      {"30 Hz", [](F f) { for (auto& r : f.shown) r.micros *= 2; }, "refresh rate", kConcern},
      {"3 missed in 300", [](F f) { f.missedRefreshes = 3; }, full, kConcern},
      {"4 missed in 300", [](F f) { f.missedRefreshes = 4; }, full, kFail},
      {"p99 at the allowance", [](F f) { Prepare(f, 2'500); }, "frame preparation", kPass},
      {"p99 into the margin", [](F f) { Prepare(f, 3'500); }, "frame preparation", kConcern},
      {"p99 past the margin", [](F f) { Prepare(f, 3'600); }, "frame preparation", kFail},
      {"stamps on another clock", [](F f) { std::ranges::fill(f.noticeLagMicros, -4e6); },
       "refresh stamps", kFail},
      {"notices 2 refreshes late", [](F f) { std::ranges::fill(f.noticeLagMicros, 33'400.0); },
       "refresh stamps", kFail},
      {"size unknown", [](F f) { f.width = f.height = 0; }, "screen", kConcern},
      // clang-format on
  };
  for (const auto& row : rows) {
    DisplayFacts f = GoodDisplay();
    row.change(f);
    EXPECT_EQ(Of(JudgeDisplay(f), row.what), row.expected) << row.name;
  }
}

TEST(CheckTest, RefreshPeriodCountsSkippedRefreshesAndFiguresAreLocaleFree) {
  const RefreshStats r = Refreshes({{1, 0}, {2, 16'000}, {4, 48'000}, {5, 64'500}});
  EXPECT_DOUBLE_EQ(r.periodUs, 16'100);  // 22'550 if the skipped refresh 3 were not counted
  EXPECT_DOUBLE_EQ(r.worstUs, 225);
  EXPECT_EQ(Percentile({5, 1, 4, 2, 3}, 99), 5);
  EXPECT_EQ(Percentile({5, 1, 4, 2, 3}, 50), 3);
  EXPECT_NE(Text(JudgeDisplay(GoodDisplay()))
                .find("60.00 Hz (period 16.667 ms); 99% of 300 stamps within 0.000 ms"),
            std::string::npos);
}

TEST(CheckTest, SoundKeyboardDiskAndFontVerdicts) {
  SoundFacts s{
      "default", "default", "", 4.5, "/lab/wave", true, {{"1.wav", "", 0.4}, {"2.wav", "", 0}},
      500.0};
  auto lines = JudgeSound(s);
  EXPECT_EQ(Of(lines, "1.wav"), kPass);
  EXPECT_EQ(Of(lines, "2.wav"), kFail);  // empty
  EXPECT_EQ(Of(lines, "cue 1 s ahead"), kPass);
  for (auto [error, expected] : {std::pair{-2000.0, kConcern}, {5001.0, kFail}}) {
    s.cueErrorMicros = error;
    EXPECT_EQ(Of(JudgeSound(s), "cue 1 s ahead"), expected) << error;
  }
  s.cueErrorMicros.reset();
  EXPECT_EQ(Of(JudgeSound(s), "cue 1 s ahead"), kFail);
  s.outputError = "Connection refused";
  s.waveFolderFound = false;
  lines = JudgeSound(s);
  EXPECT_EQ(lines.size(), 2u);  // no latency or cue without an output
  EXPECT_EQ(Of(lines, "output"), kFail);
  EXPECT_EQ(Of(lines, "sound files"), kFail);

  KeyboardFacts k{"", "English (US)", false, {}};
  EXPECT_EQ(Worst(JudgeKeyboard(k)), kPass);
  EXPECT_EQ(KeyboardWarning(k), std::nullopt);
  k.capsLock = true;
  k.layout = "Russian";
  k.missing = {"m", "n"};
  EXPECT_EQ(Of(JudgeKeyboard(k), "Caps Lock"), kFail);
  EXPECT_EQ(Of(JudgeKeyboard(k), "layout"), kFail);
  const std::string warning = KeyboardWarning(k).value_or("");
  EXPECT_NE(warning.find("Caps Lock is on"), std::string::npos);
  EXPECT_NE(warning.find("(Russian) gives no m, n"), std::string::npos);
  EXPECT_EQ(Worst(JudgeKeyboard({"no X server", "", true, {"m"}})),
            kConcern);  // unknown, not guessed
  EXPECT_EQ(KeyboardWarning({"no X server", "", true, {"m"}}), std::nullopt);

  struct DiskRow {
    std::uint64_t sessions;
    double syncMs;
    Verdict room, sync;
  };
  for (const DiskRow& row : {DiskRow{100, 20, kPass, kPass},
                             {99, 20.5, kConcern, kConcern},
                             {10, 100, kConcern, kConcern},
                             {9, 101, kFail, kFail}}) {
    const auto disk = JudgeDisk({"/lab", "", row.sessions * kSessionBytes, row.syncMs, "/j", ""});
    EXPECT_EQ(Of(disk, "free space"), row.room) << row.sessions;
    EXPECT_EQ(Of(disk, "write and sync"), row.sync) << row.syncMs;
  }
  EXPECT_EQ(Worst(JudgeDisk({"/lab", "Read-only file system", 0, 0, "/j", "Permission denied"})),
            kFail);
  EXPECT_EQ(Worst(JudgeFonts({{{"MS Sans Serif", "Liberation Sans"}}})), kPass);
  EXPECT_EQ(Worst(JudgeFonts({{{"MS Sans Serif", "DejaVu Sans"}}})), kConcern);
}

TEST(CheckTest, ReportIsTheWorstLineAndValidJson) {
  const std::vector<Line> lines = {{"disk", kPass, "lab folder", "/a \"b\"", ""},
                                   {"sound", kConcern, "x", "y", "do"}};
  EXPECT_EQ(Worst(lines), kConcern);
  EXPECT_EQ(Worst({}), kPass);
  EXPECT_EQ(Json(lines),
            "{\n  \"verdict\": \"CONCERN\",\n  \"lines\": [\n"
            "    {\"section\": \"disk\", \"verdict\": \"PASS\", \"what\": \"lab folder\", "
            "\"figure\": \"/a \\\"b\\\"\", \"todo\": \"\"},\n"
            "    {\"section\": \"sound\", \"verdict\": \"CONCERN\", \"what\": \"x\", \"figure\": "
            "\"y\", \"todo\": \"do\"}\n  ]\n}\n");
  EXPECT_EQ(Text(lines).substr(Text(lines).rfind("overall")), "overall: CONCERN\n");
}

TEST(SessionHealthTest, MissedRefreshesLostOutputAndSilentCuesAreToldAndCounted) {
  testing::VirtualTime time;
  testing::FakePresenter presenter(time, 16);
  testing::FakeSoundPlayer real(time);
  std::vector<std::string> said;
  SessionHealth health(real, time, [&](const std::string& line) { said.push_back(line); });
  const auto cue = std::get<SoundPlayer::SoundId>(health.Open("wave/1.wav"));
  health.PlayAt(cue, time.Micros() + 1'000'000);  // heard: the fake reports its onset
  health.Poll(presenter, 1);
  EXPECT_TRUE(said.empty());
  presenter.lateBy = kMissedRefreshLimit;
  presenter.Queue(1, presenter.LastRefresh().msc + 1, nullptr);
  time.Advance(200);
  health.Poll(presenter, 2);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], "5 refreshes missed during trial 2 (5 in the session)");
  EXPECT_TRUE(health.Verdict().timingOk);  // at the limit
  presenter.lateBy = 1;
  presenter.Queue(2, presenter.LastRefresh().msc + 1, nullptr);
  time.Advance(200);
  real.outputAvailable = false;
  health.PlayAt(cue, time.Micros() + 1'000'000);  // asked while the output is gone: silent
  health.Poll(presenter, 3);
  health.Poll(presenter, 3);  // the same loss is told once
  const SessionVerdict v = health.Verdict();
  EXPECT_FALSE(v.timingOk);
  EXPECT_FALSE(v.soundOk);
  EXPECT_EQ(v.missedRefreshes, 6u);
  EXPECT_EQ(v.cuesLost, 1);
  EXPECT_EQ(v.reasons,
            (std::vector<std::string>{"6 refreshes missed (more than 5)",
                                      "sound output lost during trial 3: no sound server",
                                      "1 cues did not play"}));
  EXPECT_EQ(said.size(), 4u);
}

TEST(LabChoiceTest, FirstGivenSourceWinsAndTheCurrentFolderOnlyWithItsSounds) {
  const LabCandidates all{"/arg", "/env", "/cwd", true, "/last"};
  EXPECT_EQ(ChooseLab(all).folder, "/arg");
  EXPECT_EQ(ChooseLab({std::nullopt, "/env", "/cwd", true, "/last"}).from, "CUESEARCH_LAB");
  EXPECT_EQ(ChooseLab({std::nullopt, std::nullopt, "/cwd", true, "/last"}).folder, "/cwd");
  EXPECT_EQ(ChooseLab({std::nullopt, std::nullopt, "/cwd", false, "/last"}).folder, "/last");
  EXPECT_EQ(ChooseLab({std::nullopt, std::nullopt, "/home/x", false, std::nullopt}).folder,
            "");  // ask
  EXPECT_NE(
      NoWaveMessage("/home/x", "--lab").find("The folder /home/x (--lab) is not a lab folder"),
      std::string::npos);
}

}  // namespace
}  // namespace cue::check
