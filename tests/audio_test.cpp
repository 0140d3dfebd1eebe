// Catches: a sound decoded to the wrong side, pitch or length, or refused, mixed or placed wrongly.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/onset_board.h"
#include "platform/audio/sound_mixer.h"
#include "platform/audio/spsc_queue.h"
#include "platform/audio/stream_timeline.h"
#include "platform/audio/voices.h"
#include "platform/audio/wav_decoder.h"
#include "support/fake_sound_player.h"
#include "support/sound_files.h"
#include "support/sound_player_contract.h"
#include "support/virtual_time.h"

namespace cue::audio {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

TEST(DecodeTest, EveryChannelIsHeardOnItsSideOrOnBoth) {
  EXPECT_EQ(ToStereo({1, 2}, 1), (std::vector<float>{1, 1, 2, 2}));
  EXPECT_EQ(ToStereo({1, 2, 3, 4}, 2), (std::vector<float>{1, 2, 3, 4}));
  // Left, right, centre, back: each side is the mean of its own and the shared channels.
  EXPECT_EQ(ToStereo({1, 2, 3, 6, 4, 5, 0, 0}, 4),
            (std::vector<float>{10.0F / 3, 11.0F / 3, 4.0F / 3, 5.0F / 3}));
}

// A second of a 440 Hz tone in 16 bits at 22050 Hz comes out as a second at 44100 Hz, the
// same on both channels, its pitch kept. A 30 kHz tone recorded at 192 kHz is above what
// 44100 Hz can carry: it must vanish, not fold back into a 14.1 kHz whistle.
TEST(DecodeTest, ResamplingKeepsThePitchAndLeavesNoAlias) {
  ScratchDir dir;
  WriteWav(dir.File("a.wav"), 22050, 1, Tone(22050, 1, 1.0, 440, 0.5F), SF_FORMAT_PCM_16);
  WriteWav(dir.File("high.wav"), 192000, 1, Tone(192000, 1, 0.5, 30000, 0.5F));  // highest rate
  const auto decoded = DecodeSoundFile(dir.File("a.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<StereoSamples>(decoded));
  const auto& sound = std::get<StereoSamples>(decoded);
  ASSERT_EQ(sound.Frames(), 44100U);
  for (std::size_t f = 441; f < 44100 - 441; f += 997) {
    const double t = static_cast<double>(f) / 44100;
    ASSERT_NEAR(sound.data[2 * f], 0.5 * std::sin(2 * std::numbers::pi * 440 * t), 5e-3) << f;
    ASSERT_EQ(sound.data[2 * f + 1], sound.data[2 * f]) << f;
  }
  const auto decodedHigh = DecodeSoundFile(dir.File("high.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<StereoSamples>(decodedHigh)) << "192 kHz refused";
  const auto& high = std::get<StereoSamples>(decodedHigh);
  double energy = 0;
  for (std::size_t f = 441; f + 441 < high.Frames(); ++f)
    energy += high.data[2 * f] * high.data[2 * f];
  EXPECT_LT(std::sqrt(energy / static_cast<double>(high.Frames())), 0.01);
}

// A 16-bit WAV header declaring rate, channels and dataBytes of samples, then `bytes` zeros.
void RawWav(const std::string& path, std::uint32_t rate, std::uint32_t channels,
            std::uint32_t dataBytes, std::size_t bytes) {
  const std::uint32_t words[] = {
      36 + dataBytes, 16, 1 | channels << 16, rate, rate * channels * 2, channels * 2 | 16 << 16};
  const auto text = [&words](int from, int n) {
    return std::string(reinterpret_cast<const char*>(words + from), 4 * n);
  };
  std::ofstream(path, std::ios::binary)
      << "RIFF" << text(0, 1) << "WAVEfmt " << text(1, 5) << "data"
      << std::string(reinterpret_cast<const char*>(&dataBytes), 4) << std::string(bytes, '\0');
}

// Each is refused at once with its reason, nothing allocated for what a header claims; the
// mixer remembers the refusal instead of reading the file again at every cue.
TEST(DecodeTest, FilesThatCannotBePlayedAreRefusedAtOnceSayingWhy) {
  ScratchDir dir;
  std::ofstream(dir.File("text.wav")) << "not a sound at all, just some words in a file";
  ASSERT_EQ(::mkfifo(dir.File("fifo.wav").c_str(), 0644), 0);
  RawWav(dir.File("1hz.wav"), 1, 1, 29000, 29000);
  RawWav(dir.File("400khz.wav"), 400000, 1, 800, 800);
  RawWav(dir.File("9ch.wav"), 44100, 9, 1800, 1800);
  RawWav(dir.File("long.wav"), 8000, 1, 40'000'000, 0);
  WriteWav(dir.File("empty.wav"), 44100, 1, {});
  std::filesystem::resize_file(dir.File("long.wav"),
                               40'000'044);  // 40 MB of 8 kHz: 882 MB at 44.1 kHz
  const std::pair<std::string, std::string> rows[] = {
      {dir.File("7.wav"), "No such file or directory"},
      {dir.File("text.wav"), "ormat"},
      {dir.File("fifo.wav"), "Not a regular file"},
      {dir.File("1hz.wav"), "sample rate of 1 Hz is outside 8000 to 192000 Hz"},
      {dir.File("400khz.wav"), "sample rate of 400000 Hz"},
      {dir.File("9ch.wav"), "9 channels, not 1 to 8"},
      {dir.File("long.wav"), "more than 64 MB once decoded"},
      {dir.File("empty.wav"), "it holds no samples"}};
  VirtualTime clock;
  SoundMixer mixer(clock, 44100, 0);
  for (const auto& [path, reason] : rows) {
    const auto decoded = mixer.Open(path);
    ASSERT_TRUE(std::holds_alternative<SoundError>(decoded)) << path;
    const SoundError& said = std::get<SoundError>(decoded);
    EXPECT_EQ(said.path, path);
    EXPECT_NE(said.reason.find(reason), std::string::npos) << path << ": " << said.reason;
  }
  WriteWav(dir.File("7.wav"), 44100, 1, Tone(44100, 1, 0.1, 440, 0.5F));
  EXPECT_TRUE(std::holds_alternative<SoundError>(mixer.Open(dir.File("7.wav"))));
}

// Each row starts sounds at the frames given and reads the mix back in hundredths, rendered in
// blocks of 3 frames. A sound is given in hundredths on the left; the right is its negative.
TEST(VoicesTest, ASoundStartsOnItsFrameARestartReplacesItOtherSoundsAddAndTheSumSaturates) {
  std::map<char, StereoSamples> sounds;
  for (const auto& [name, values] : std::map<char, std::vector<int>>{
           {'r', {1, 2, 3, 4}}, {'o', {1, 2}}, {'l', {80, 80}}, {'L', {70}}})
    for (const int v : values)
      sounds[name].data.insert(sounds[name].data.end(), {v / 100.0F, -v / 100.0F});
  const struct {
    const char* what;
    std::vector<std::pair<char, std::int64_t>> starts;
    std::vector<long> left;
  } cases[] = {
      {"a restart cuts it", {{'r', 0}, {'r', 2}}, {1, 2, 1, 2, 3, 4, 0}},
      {"restarts before it began", {{'r', 5}, {'r', 5}, {'r', 3}}, {0, 0, 0, 1, 2, 3, 4, 0}},
      {"another sound adds", {{'r', 0}, {'o', 1}, {'r', 2}}, {1, 2 + 1, 1 + 2, 2, 3, 4}},
      {"the sum saturates", {{'l', 0}, {'L', 0}}, {100, 80}},
  };
  for (const auto& c : cases) {
    Voices voices;
    for (const auto& [name, frame] : c.starts) voices.Start(&sounds[name], frame);
    std::vector<float> out(2 * c.left.size());
    for (std::size_t f = 0; f < c.left.size(); f += 3)
      voices.Render(&out[2 * f], static_cast<std::int64_t>(f),
                    std::min<std::size_t>(3, c.left.size() - f));
    std::vector<long> expected, read;
    for (std::size_t i = 0; i < out.size(); ++i) {
      read.push_back(std::lround(out[i] * 100));
      expected.push_back(i % 2 ? -c.left[i / 2] : c.left[i / 2]);
    }
    EXPECT_EQ(read, expected) << c.what;
    EXPECT_EQ(voices.Count(), 0U) << c.what;  // every voice ended within the frames read
  }
}

TEST(StreamTimelineTest, FirstFrameAtIsTheEarliestFrameNotBeforeTheTimeNorBeforeFrameZero) {
  for (const int rate : {44100, 48000, 22050}) {
    const StreamTimeline timeline{1'000'003, 2'000'000, rate};
    for (std::int64_t t = 1'000'003; t < 1'010'003; t += 7) {
      const std::int64_t frame = timeline.FirstFrameAt(t);
      ASSERT_GE(timeline.MicrosOf(frame), t) << rate << " Hz, " << t;
      ASSERT_LT(timeline.MicrosOf(frame - 1), t) << rate << " Hz, " << t;
    }
    EXPECT_EQ(timeline.FirstFrameAt(3), 0) << rate << " Hz";
  }
}

// As the mixer uses them: this thread queues 200,000 plays through 64 slots (full, empty and
// wrapped many times over); the other takes them and publishes each one's onset in a board of
// 4 slots, which this thread reads back while they are being rewritten. The other thread stops
// at the first play out of order, and once all are queued, at an empty queue: a broken queue
// fails the test instead of hanging it.
TEST(QueueAndOnsetBoardTest, PlaysCrossInOrderAndAReaderSeesOnlyThePlaysOwnOnset) {
  SpscQueue<std::uint64_t, 64> queue;
  OnsetBoard<4> board;
  constexpr std::uint64_t kPlays = 200'000;
  std::atomic<bool> queued{false}, stopped{false};
  std::uint64_t taken = 0, wrong = 0;
  std::thread audio([&] {
    for (std::uint64_t play = 0; taken < kPlays;) {
      const bool last = queued;  // read before the queue: if set, every play was in it
      const bool popped = queue.Pop(play);
      if ((!popped && last) || (popped && play != taken + 1)) break;
      if (popped) board.Publish(taken = play, play * 10);
    }
    stopped = true;
  });
  for (std::uint64_t p = 1; p <= kPlays && !stopped;) {
    if (queue.Push(p)) ++p;
    for (std::uint64_t q = p > 64 ? p - 64 : 1; q < p; q += 9)
      if (const auto onset = board.Find(q)) wrong += *onset != q * 10;
  }
  queued = true;
  audio.join();
  EXPECT_EQ(taken, kPlays);
  EXPECT_EQ(wrong, 0U);
  EXPECT_FALSE(board.Find(kPlays - 4).has_value());  // its slot now holds kPlays
}

// The stream's frame 0 was at the output at 1 s. A play asked for at 2 s with a lead of 6 ms
// is due at 2.006 s, frame 48288; the output renders a block from `first` with its timeline
// read at `now`, 1.5 ms or more after the request.
TEST(SoundMixerTest, APlayStartsOnItsDueFrameOrTheFirstThatIsNeitherWrittenNorPast) {
  constexpr int kRate = 48000;
  ScratchDir dir;
  WriteWav(dir.File("click.wav"), kRate, 1, std::vector<float>(48, 0.5F));
  VirtualTime time{2'000'000};
  // The first frame rendered, the timeline's time (none: the output has none), the first frame
  // that sounds, the onset told, the count of late plays, how long after its request the
  // output took it, and whether the output had stalled (or was new) meanwhile.
  const struct {
    const char* what;
    std::int64_t first;
    std::optional<std::int64_t> now;
    std::int64_t sounds;
    std::optional<std::uint64_t> onset;
    std::uint64_t late;
    std::uint64_t taken = 0;
    bool stalled = false;
  } cases[] = {
      {"on time", 48188, 2'001'500, 48288, 2'006'000, 0},
      {"its frame already written", 48400, 2'001'500, 48400, 2'008'333, 1},
      {"after an underrun", 48000, 2'050'000, 50400, 2'050'000, 1},
      {"without a timeline", 777, std::nullopt, 777, std::nullopt, 0},
      {"over 200 ms overdue after a stall", 48188, 2'001'500, 52188, std::nullopt, 0, 206'001,
       true},  // silent
      {"200 ms overdue after a stall", 777, std::nullopt, 777, std::nullopt, 0, 206'000, true},
      {"over 200 ms overdue, no stall (a waking sink)", 777, std::nullopt, 777, std::nullopt, 0,
       206'001},
  };
  for (const auto& c : cases) {
    SoundMixer mixer{time, kRate, 6000};
    const auto play = mixer.Play(std::get<SoundPlayer::SoundId>(mixer.Open(dir.File("click.wav"))));
    time.AdvanceMicros(c.taken);
    if (c.stalled) mixer.DropOverdue();
    const auto timeline =
        c.now ? std::optional(StreamTimeline{1'000'000, *c.now, kRate}) : std::nullopt;
    std::vector<float> out(2 * 4000);
    mixer.Render(out.data(), c.first, 4000, timeline);
    const auto sounding = std::find_if(out.begin(), out.end(), [](float s) { return s != 0; });
    EXPECT_EQ(c.first + (sounding - out.begin()) / 2, c.sounds) << c.what;
    EXPECT_EQ(mixer.OnsetMicros(play), c.onset) << c.what;
    EXPECT_EQ(mixer.LatePlays(), c.late) << c.what;
    EXPECT_EQ(mixer.LastTaken(), play) << c.what;
  }
}

}  // namespace
}  // namespace cue::audio

namespace cue::testing {

// The fake that the engine's tests use meets the same contract as the real player.
template <bool kOutput>
struct FakeBackend {
  explicit FakeBackend(const ScratchDir&) { fake.outputAvailable = kOutput; }
  SoundPlayer& Player() { return fake; }
  const Clock& Time() { return time; }
  void MakeUnreadable(const std::string& path) { fake.missing.insert(path); }
  void Pause() { time.Advance(1); }
  std::uint64_t FrameMicros() { return 0; }  // the fake starts a PlayAt on its microsecond
  VirtualTime time;
  FakeSoundPlayer fake{time};
};
using FakeBackends = ::testing::Types<FakeBackend<true>, FakeBackend<false>>;
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SoundPlayerContract, FakeBackends);

}  // namespace cue::testing
