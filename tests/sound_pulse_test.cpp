// Catches: a real player unlike the fake, hung by a deaf server, or playing the cue late or wrong.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "bench/monitor_capture.h"
#include "platform/audio/pulse_sound_player.h"
#include "stimulus/auditory_cue.h"
#include "support/memory_files.h"
#include "support/sound_player_contract.h"
#include "support/virtual_time.h"

namespace cue::testing {

using audio::MonitorCapture;
using audio::PulseOptions;
using namespace std::chrono_literals;

template <bool kServer>
struct PulseBackend {
  explicit PulseBackend(const ScratchDir&) {}
  SoundPlayer& Player() { return player; }
  const Clock& Time() { return clock; }
  void MakeUnreadable(const std::string& path) { std::filesystem::remove(path); }
  void Pause() { std::this_thread::sleep_for(2ms); }
  std::uint64_t FrameMicros() { return 1'000'000 / player.Output().Rate(); }
  SteadyClock clock;
  PulseSoundPlayer player{
      kServer ? PulseOptions{} : PulseOptions{.server = "unix:/nonexistent/cuesearch-test/native"}};
};
using Backends = ::testing::Types<PulseBackend<true>, PulseBackend<false>>;
INSTANTIATE_TYPED_TEST_SUITE_P(Pulse, SoundPlayerContract, Backends);

namespace {

// A socket that takes connections into its backlog but never answers them.
TEST(PulseSoundPlayerTest, AServerThatNeverAnswersCannotHoldTheConstructor) {
  ScratchDir dir;
  const int deaf = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{AF_UNIX, {}};
  dir.File("native").copy(address.sun_path, sizeof(address.sun_path) - 1);
  ASSERT_EQ(bind(deaf, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(deaf, 4), 0);
  const PulseSoundPlayer player({.server = "unix:" + dir.File("native"), .connectTimeoutMs = 300});
  EXPECT_FALSE(player.OutputAvailable());
  EXPECT_NE(player.OutputError().find("did not answer"), std::string::npos) << player.OutputError();
  close(deaf);
}

// A server that came back at another rate: the new stream runs at the rate the sounds were
// decoded at, resampled by the server, instead of being refused for ever.
TEST(PulseSoundPlayerTest, AStreamOpensAtAnotherRateThanTheSinks) {
  PulseOptions options;
  if (const audio::PulseOutput sink{options}; sink.Available())
    options.rate = sink.Rate() == 48000 ? 44100 : 48000;
  if (options.rate == 0) GTEST_SKIP() << "no sound output";
  const audio::PulseOutput output{options};
  EXPECT_EQ(output.Rate(), output.Available() ? static_cast<int>(options.rate) : -1)
      << output.Error();
}

// The experiment's cue on the real output: the timer's tick asks for the digit's file in the
// current folder's "wave", a mono file at another rate than the sink's, and the sink (the null
// sink of scripts/test-env, recorded through its monitor; without a server the test skips) plays it
// on both channels at its pitch, from the moment the cue was due. The pitch is read as the median
// distance between rising zero crossings, robust against a dropout on a busy machine.
TEST(MonitorTest, TheCueTimersTickReachesTheSink) {
  ScratchDir dir;
  PulseSoundPlayer player;
  MonitorCapture capture{MonitorCapture::Options{}};
  if (!player.OutputAvailable()) GTEST_SKIP() << "no sound output: " << player.OutputError();
  if (!capture.Ready()) GTEST_SKIP() << "cannot record the null sink: " << capture.Error();
  const int rate = capture.Take().rate;  // the sink's, as its monitor records it
  // What the sink plays from now on for `seconds` of stream time, interleaved stereo. The
  // limit only guards against a hang.
  const auto Record = [&capture, rate](double seconds) {
    const std::int64_t from = capture.Frames();
    const auto until = from + static_cast<std::int64_t>(seconds * rate);
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (capture.Frames() < until && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(5ms);
    const auto recording = capture.Take();
    EXPECT_GE(recording.Frames(), until) << "the monitor stopped delivering";
    return std::vector<float>(recording.samples.begin() + 2 * from, recording.samples.end());
  };
  const auto Peak = [](const std::vector<float>& s) {
    return std::fabs(std::ranges::max(s, {}, [](float v) { return std::fabs(v); }));
  };
  Record(0.1);  // the monitor runs
  const int fileRate = rate == 22050 ? 48000 : 22050;
  std::filesystem::create_directories(dir.File("wave"));
  WriteWav(dir.File("wave/7.wav"), fileRate, 1, Tone(fileRate, 1, 0.2, 1000, 0.5F));
  MemoryFileSystem folder(nullptr, dir.Path());  // only its current folder is used
  VirtualTime timers;  // only the tick is virtual; the cue's due time is on the real clock
  SteadyClock clock;
  const std::int16_t targetNumber = 7;
  std::uint64_t played = 0;
  AuditoryCue cue(clock, timers, player, folder, targetNumber);
  cue.SetOnPlayed([&](SoundPlayer::PlayId play) { played = play; });

  EXPECT_EQ(Peak(Record(0.2)), 0.0F) << "the sink sounds while nothing plays";
  const std::uint64_t due = clock.Micros() + 400'000;
  cue.Arm(400);
  timers.Advance(400 - kCueAdvance);
  ASSERT_GT(played, 0U) << "the tick asked for nothing";
  const auto samples = Record(0.8);
  EXPECT_NEAR(Peak(samples), 0.5F, 0.01F);
  std::vector<double> periods;
  std::size_t oneSided = 0;  // frames whose channels differ
  for (std::size_t i = 2, last = 0; i < samples.size(); i += 2) {
    oneSided += samples[i] != samples[i + 1];
    if (samples[i - 2] >= 0 || samples[i] < 0) continue;
    if (last > 0) periods.push_back(static_cast<double>(i - last) / 2);
    last = i;
  }
  ASSERT_GT(periods.size(), 100U) << "the tone did not play";
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  EXPECT_NEAR(rate / periods[periods.size() / 2], 1000, 25);
  EXPECT_EQ(oneSided, 0U);
  // Armed a moment after `due` was read; no onset known reads as 0.
  const std::uint64_t onset = player.OnsetMicros(played).value_or(0);
  EXPECT_TRUE(onset + 1000 >= due && onset < due + 1000) << "onset " << onset << " for " << due;
}

}  // namespace
}  // namespace cue::testing
