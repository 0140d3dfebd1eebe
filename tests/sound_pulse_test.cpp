// The real player against PulseAudio: the shared contract, the behaviour without a server,
// and what really reaches the null sink of scripts/test-env (its monitor, null.monitor).
// Without a reachable server the tests that need one skip themselves and say why.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/monitor_capture.h"
#include "platform/audio/pulse_sound_player.h"
#include "stimulus/auditory_cue.h"
#include "support/memory_files.h"
#include "support/sound_player_contract.h"
#include "support/virtual_time.h"

namespace cue::testing {

using audio::MonitorCapture;
using audio::PulseOptions;
using namespace std::chrono_literals;

PulseOptions Unreachable() {
  PulseOptions options;
  options.server = "unix:/nonexistent/cuesearch-test/native";
  return options;
}

class PulseWithServer {
 public:
  explicit PulseWithServer(const ScratchDir&, const PulseOptions& options = {}) : player(options) {}
  SoundPlayer& Player() { return player; }
  const Clock& Time() { return clock; }
  void MakeUnreadable(const std::string& path) { std::filesystem::remove(path); }
  void Pause() { std::this_thread::sleep_for(2ms); }

  SteadyClock clock;
  PulseSoundPlayer player;
};

class PulseWithoutServer : public PulseWithServer {
 public:
  explicit PulseWithoutServer(const ScratchDir& dir) : PulseWithServer(dir, Unreachable()) {}
};

using Backends = ::testing::Types<PulseWithServer, PulseWithoutServer>;
INSTANTIATE_TYPED_TEST_SUITE_P(Pulse, SoundPlayerContract, Backends);
INSTANTIATE_TYPED_TEST_SUITE_P(Pulse, PlayingSoundPlayerContract, PulseWithServer);

namespace {

TEST(PulseSoundPlayerTest, WithoutAServerOpensFilesButPlaysNothing) {
  ScratchDir dir;
  WriteWav(dir.File("a.wav"), 44100, 1, Tone(44100, 1, 0.05, 440, 0.2F));
  PulseSoundPlayer player(Unreachable());
  EXPECT_FALSE(player.OutputAvailable());
  EXPECT_NE(player.OutputError().find("sound server"), std::string::npos) << player.OutputError();
  const auto opened = player.Open(dir.File("a.wav"));
  ASSERT_TRUE(std::holds_alternative<SoundPlayer::SoundId>(opened));
  EXPECT_EQ(player.Play(std::get<SoundPlayer::SoundId>(opened)), 0U);
}

// A socket that accepts connections into its backlog but never answers them.
class DeafServer {
 public:
  explicit DeafServer(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    listen(fd_, 4);
  }
  ~DeafServer() { close(fd_); }
  DeafServer(const DeafServer&) = delete;
  DeafServer& operator=(const DeafServer&) = delete;

 private:
  int fd_;
};

TEST(PulseSoundPlayerTest, AServerThatNeverAnswersCannotHoldTheConstructor) {
  ScratchDir dir;
  DeafServer deaf(dir.File("native"));
  PulseOptions options;
  options.server = "unix:" + dir.File("native");
  options.connectTimeoutMs = 300;
  PulseSoundPlayer player(options);
  EXPECT_FALSE(player.OutputAvailable());
  EXPECT_NE(player.OutputError().find("did not answer"), std::string::npos) << player.OutputError();
}

// Records the null sink's monitor while a real player plays into it.
class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    player = std::make_unique<PulseSoundPlayer>();
    if (!player->OutputAvailable()) GTEST_SKIP() << "no sound output: " << player->OutputError();
    capture = std::make_unique<MonitorCapture>(MonitorCapture::Options{});
    if (!capture->Ready()) GTEST_SKIP() << "cannot record the null sink: " << capture->Error();
    rate = player->Mixer().Rate();
    WaitForFrames(capture->Frames() + rate / 10);
  }

  SoundPlayer::SoundId Open(const std::string& name, int fileRate, int channels,
                            const std::vector<float>& samples) {
    WriteWav(dir.File(name), fileRate, channels, samples);
    return std::get<SoundPlayer::SoundId>(player->Open(dir.File(name)));
  }

  // Waits until the capture holds `frames` frames; the limit only guards against a hang.
  void WaitForFrames(std::int64_t frames) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (capture->Frames() < frames && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(5ms);
    }
    ASSERT_GE(capture->Frames(), frames) << "the monitor stopped delivering";
  }

  // Records what follows for `seconds` of stream time; returns channel c's samples.
  std::vector<float> Record(double seconds, int channel = 0) {
    const std::int64_t from = capture->Frames();
    WaitForFrames(from + static_cast<std::int64_t>(seconds * rate));
    const auto recording = capture->Take();
    std::vector<float> samples;
    for (std::int64_t f = from; f < recording.Frames(); ++f) {
      samples.push_back(recording.samples[static_cast<std::size_t>(2 * f + channel)]);
    }
    return samples;
  }

  static float Peak(const std::vector<float>& samples) {
    float peak = 0;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
  }

  ScratchDir dir;
  std::unique_ptr<PulseSoundPlayer> player;
  std::unique_ptr<MonitorCapture> capture;
  int rate = 0;
};

TEST_F(MonitorTest, TheSinkStaysSilentWhileNothingPlays) { EXPECT_EQ(Peak(Record(0.3)), 0.0F); }

TEST_F(MonitorTest, AMonoFileReachesTheSinkOnBothChannels) {
  const auto tone = Open("tone.wav", rate, 1, Tone(rate, 1, 0.3, 1000, 0.5F));
  const std::int64_t from = capture->Frames();
  ASSERT_GT(player->Play(tone), 0U);
  WaitForFrames(from + rate / 2);
  const auto recording = capture->Take();
  float left = 0, right = 0;
  for (std::int64_t f = from; f < recording.Frames(); ++f) {
    left = std::max(left, std::fabs(recording.samples[static_cast<std::size_t>(2 * f)]));
    right = std::max(right, std::fabs(recording.samples[static_cast<std::size_t>(2 * f + 1)]));
  }
  EXPECT_NEAR(left, 0.5F, 0.01F);
  EXPECT_NEAR(right, 0.5F, 0.01F);
}

// The tone's period, as the median distance between rising zero crossings (robust against a
// dropout on a busy machine): a file at another sample rate must be converted, not played at
// the stream's rate.
TEST_F(MonitorTest, AFileAtAnotherRateKeepsItsPitch) {
  const int fileRate = rate == 22050 ? 48000 : 22050;
  const auto tone = Open("low.wav", fileRate, 1, Tone(fileRate, 1, 0.5, 1000, 0.5F));
  ASSERT_GT(player->Play(tone), 0U);
  const auto samples = Record(1.0);
  std::vector<double> periods;
  std::size_t last = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] >= 0 || samples[i] < 0) continue;
    if (last > 0) periods.push_back(static_cast<double>(i - last));
    last = i;
  }
  ASSERT_GT(periods.size(), 100U) << "the tone did not play";
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  EXPECT_NEAR(rate / periods[periods.size() / 2], 1000, 25);
}

// Two constant levels make the mix readable: a restart replaces the sound (0.3 stays 0.3),
// a different sound adds to it (0.3 + 0.25). Both last 3 s, so a slow machine still overlaps
// them.
TEST_F(MonitorTest, ARestartReplacesTheSoundWhileAnotherSoundAdds) {
  const auto first = Open("first.wav", rate, 1, Level(rate, 1, 3.0, 0.3F));
  const auto second = Open("second.wav", rate, 1, Level(rate, 1, 3.0, 0.25F));
  ASSERT_GT(player->Play(first), 0U);
  std::this_thread::sleep_for(100ms);
  ASSERT_GT(player->Play(first), 0U);
  EXPECT_NEAR(Peak(Record(0.4)), 0.3F, 0.01F);
  ASSERT_GT(player->Play(second), 0U);
  EXPECT_NEAR(Peak(Record(0.4)), 0.55F, 0.01F);
}

// The experiment's cue on the real output: the timer's tick asks for the digit's file in the
// current folder's "wave", and the sink really plays it, from the moment the cue was due.
TEST_F(MonitorTest, TheCueTimersTickReachesTheSink) {
  std::filesystem::create_directories(dir.File("wave"));
  WriteWav(dir.File("wave/7.wav"), rate, 1, Tone(rate, 1, 0.2, 1000, 0.5F));
  MemoryFileSystem folder(nullptr, dir.Path());  // only its current folder is used
  VirtualTime timers;  // only the tick is virtual; the cue's due time is on the real clock
  SteadyClock clock;
  const std::int16_t targetNumber = 7;
  std::uint64_t played = 0;
  AuditoryCue cue(clock, timers, *player, folder, targetNumber);
  cue.SetOnPlayed([&](SoundPlayer::PlayId play) { played = play; });

  const std::uint64_t due = clock.Micros() + 300'000;
  cue.Arm(300);
  timers.Advance(300 - CUE_ADVANCE);
  ASSERT_GT(played, 0U) << "the tick asked for nothing";
  EXPECT_GT(Peak(Record(0.8)), 0.4F);
  const auto onset = player->OnsetMicros(played);
  ASSERT_TRUE(onset.has_value());
  EXPECT_GE(*onset + 1000, due);  // armed a moment after `due` was read
  EXPECT_LT(*onset, due + 1000);
}

}  // namespace
}  // namespace cue::testing
