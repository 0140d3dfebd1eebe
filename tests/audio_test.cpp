// The sound player's parts that need no device: decoding and conversion, the voices and
// their mix, the stream timeline, the lock-free hand-overs, and the placement of plays.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <thread>
#include <vector>

#include "platform/audio/onset_board.h"
#include "platform/audio/sound_mixer.h"
#include "platform/audio/spsc_queue.h"
#include "platform/audio/stream_timeline.h"
#include "platform/audio/voices.h"
#include "platform/audio/wav_decoder.h"
#include "support/sound_files.h"
#include "support/virtual_time.h"

namespace cue::audio {
namespace {

using cue::testing::Level;
using cue::testing::ScratchDir;
using cue::testing::Tone;
using cue::testing::VirtualTime;
using cue::testing::WriteWav;

// --- Decoding and conversion ---

TEST(ConversionTest, MonoGoesToBothChannelsAndExtraChannelsAreDropped) {
  EXPECT_EQ(ToStereo({0.1F, 0.2F}, 1), (std::vector<float>{0.1F, 0.1F, 0.2F, 0.2F}));
  EXPECT_EQ(ToStereo({0.1F, 0.2F, 0.3F, 0.4F}, 2), (std::vector<float>{0.1F, 0.2F, 0.3F, 0.4F}));
  EXPECT_EQ(ToStereo({1, 2, 3, 4, 5, 6, 7, 8}, 4), (std::vector<float>{1, 2, 5, 6}));
}

TEST(ConversionTest, UpsamplingInterpolatesBetweenFramesAndEndsOnTheLastOne) {
  const std::vector<float> in{0, 0, 1, -1, 0, 0};  // three stereo frames
  EXPECT_EQ(ResampleStereo(in, 1000, 2000),
            (std::vector<float>{0, 0, 0.5F, -0.5F, 1, -1, 0.5F, -0.5F, 0, 0}));
  EXPECT_EQ(ResampleStereo(in, 1000, 1000), in);
  EXPECT_TRUE(ResampleStereo({}, 1000, 2000).empty());
  EXPECT_EQ(ResampleStereo({0.5F, 0.25F}, 22050, 44100), (std::vector<float>{0.5F, 0.25F}));
}

TEST(ConversionTest, ResamplingKeepsDurationAndPitch) {
  const auto in = Tone(48000, 2, 1.0, 440, 0.5F);
  const auto out = ResampleStereo(in, 48000, 44100);
  EXPECT_NEAR(static_cast<double>(out.size() / 2), 44100, 1);
  for (std::size_t f = 0; f < out.size() / 2; f += 997) {
    const double expected =
        0.5 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(f) / 44100);
    ASSERT_NEAR(out[2 * f], expected, 2e-3) << "frame " << f;
  }
}

TEST(DecodeTest, A16BitMonoFileAtAnotherRateComesOutAsStereoAtTheStreamRate) {
  ScratchDir dir;
  WriteWav(dir.File("a.wav"), 22050, 1, Level(22050, 1, 0.1, 0.5F), SF_FORMAT_PCM_16);
  const auto decoded = DecodeSoundFile(dir.File("a.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<StereoSamples>(decoded));
  const auto& sound = std::get<StereoSamples>(decoded);
  EXPECT_EQ(sound.rate, 44100);
  EXPECT_EQ(sound.Frames(), (2205U - 1) * 2 + 1);
  EXPECT_NEAR(sound.data.front(), 0.5F, 1e-4F);
  EXPECT_NEAR(sound.data.back(), 0.5F, 1e-4F);
}

TEST(DecodeTest, FilesThatCannotBePlayedSayWhyInPlainWords) {
  ScratchDir dir;
  const auto missing = DecodeSoundFile(dir.File("7.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<SoundError>(missing));
  EXPECT_EQ(std::get<SoundError>(missing).path, dir.File("7.wav"));
  EXPECT_EQ(std::get<SoundError>(missing).reason, "No such file or directory");

  std::filesystem::create_directory(dir.File("folder.wav"));
  const auto folder = DecodeSoundFile(dir.File("folder.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<SoundError>(folder));
  EXPECT_EQ(std::get<SoundError>(folder).reason, "Is a directory");

  std::FILE* text = std::fopen(dir.File("text.wav").c_str(), "w");
  std::fputs("not a sound at all, just some words in a file", text);
  std::fclose(text);
  const auto garbage = DecodeSoundFile(dir.File("text.wav"), 44100);
  ASSERT_TRUE(std::holds_alternative<SoundError>(garbage));
  EXPECT_FALSE(std::get<SoundError>(garbage).reason.empty());
}

// --- Voices ---

class VoicesTest : public ::testing::Test {
 protected:
  // A sound whose frame i holds the value (i + 1) / 100 on both channels.
  static StereoSamples Ramp(std::size_t frames) {
    StereoSamples s{1000, {}};
    for (std::size_t i = 0; i < frames; ++i) {
      s.data.push_back(static_cast<float>(i + 1) / 100);
      s.data.push_back(static_cast<float>(i + 1) / 100);
    }
    return s;
  }
  // The left channel of frames [first, first + frames).
  std::vector<float> Left(std::int64_t first, std::size_t frames) {
    std::vector<float> out(2 * frames);
    voices.Render(out.data(), first, frames);
    std::vector<float> left;
    for (std::size_t i = 0; i < frames; ++i) left.push_back(out[2 * i]);
    return left;
  }
  static std::vector<float> Hundredths(std::vector<int> values) {
    std::vector<float> out;
    for (int v : values) out.push_back(static_cast<float>(v) / 100);
    return out;
  }

  Voices voices;
  StereoSamples ramp = Ramp(4);
  StereoSamples other = Ramp(2);
};

TEST_F(VoicesTest, AVoiceStartsOnItsFrameAndGoesOnAcrossBlocks) {
  voices.Start(&ramp, 102);
  EXPECT_EQ(Left(100, 4), Hundredths({0, 0, 1, 2}));
  EXPECT_EQ(Left(104, 4), Hundredths({3, 4, 0, 0}));
  EXPECT_EQ(voices.Count(), 0U);
}

TEST_F(VoicesTest, ARestartCutsTheSoundAndBeginsItAgain) {
  voices.Start(&ramp, 0);
  voices.Start(&ramp, 2);
  EXPECT_EQ(Left(0, 7), Hundredths({1, 2, 1, 2, 3, 4, 0}));
}

TEST_F(VoicesTest, ARestartBeforeTheSoundBeganReplacesIt) {
  voices.Start(&ramp, 5);
  voices.Start(&ramp, 5);
  voices.Start(&ramp, 3);
  EXPECT_EQ(Left(0, 8), Hundredths({0, 0, 0, 1, 2, 3, 4, 0}));
}

TEST_F(VoicesTest, DifferentSoundsAddUpAndARestartLeavesTheOthersAlone) {
  voices.Start(&ramp, 0);
  voices.Start(&other, 1);
  voices.Start(&ramp, 2);
  EXPECT_EQ(Left(0, 6), Hundredths({1, 2 + 1, 1 + 2, 2, 3, 4}));
}

TEST_F(VoicesTest, TheMixSaturatesInsteadOfWrapping) {
  StereoSamples loud{1000, {0.8F, -0.8F, 0.8F, -0.8F}};
  StereoSamples louder{1000, {0.7F, -0.7F}};
  voices.Start(&loud, 0);
  voices.Start(&louder, 0);
  std::vector<float> out(4);
  voices.Render(out.data(), 0, 2);
  EXPECT_EQ(out, (std::vector<float>{1.0F, -1.0F, 0.8F, -0.8F}));
}

TEST_F(VoicesTest, WhenAllVoicesAreBusyTheOneEndingFirstGivesWay) {
  std::vector<StereoSamples> sounds;  // 10, 11, ... frames of 0.001 each
  for (std::size_t i = 0; i <= Voices::kCapacity; ++i) {
    sounds.push_back(StereoSamples{1000, std::vector<float>(2 * (10 + i), 0.001F)});
  }
  for (auto& s : sounds) voices.Start(&s, 0);
  EXPECT_EQ(voices.Count(), Voices::kCapacity);
  const auto sum = Left(0, 12);
  EXPECT_NEAR(sum[0], 0.032F, 1e-6F);   // one of 33 gave way
  EXPECT_NEAR(sum[10], 0.032F, 1e-6F);  // it was the 10-frame sound
  EXPECT_NEAR(sum[11], 0.031F, 1e-6F);
}

// --- Stream timeline ---

TEST(StreamTimelineTest, FirstFrameAtIsTheEarliestFrameNotBeforeTheTime) {
  for (const int rate : {44100, 48000, 22050}) {
    const StreamTimeline timeline{1'000'003, 2'000'000, rate};
    for (std::int64_t t = 1'000'003; t < 1'010'003; t += 7) {
      const std::int64_t frame = timeline.FirstFrameAt(t);
      ASSERT_GE(timeline.MicrosOf(frame), t) << rate << " Hz, " << t;
      ASSERT_LT(timeline.MicrosOf(frame - 1), t) << rate << " Hz, " << t;
    }
  }
}

TEST(StreamTimelineTest, TimesBeforeTheFirstFrameMapToIt) {
  const StreamTimeline timeline{5'000'000, 5'000'000, 44100};
  EXPECT_EQ(timeline.FirstFrameAt(4'000'000), 0);
  EXPECT_EQ(timeline.FirstFrameAt(5'000'000), 0);
  EXPECT_EQ(timeline.MicrosOf(44100), 6'000'000);
  EXPECT_EQ(timeline.FrameNow(), 0);
}

// --- Hand-overs between threads ---

TEST(SpscQueueTest, KeepsOrderRefusesWhenFullAndWrapsAround) {
  SpscQueue<int, 4> queue;
  int value = 0;
  EXPECT_FALSE(queue.Pop(value));
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(queue.Push(round * 10 + i));
    EXPECT_FALSE(queue.Push(99));
    for (int i = 0; i < 4; ++i) {
      ASSERT_TRUE(queue.Pop(value));
      EXPECT_EQ(value, round * 10 + i);
    }
    EXPECT_FALSE(queue.Pop(value));
  }
}

TEST(SpscQueueTest, AConsumerThreadSeesEveryItemOnceInOrder) {
  SpscQueue<std::uint64_t, 64> queue;
  constexpr std::uint64_t kItems = 200'000;
  std::thread consumer([&] {
    std::uint64_t expected = 1, item = 0;
    while (expected <= kItems) {
      if (!queue.Pop(item)) continue;
      ASSERT_EQ(item, expected);
      ++expected;
    }
  });
  for (std::uint64_t i = 1; i <= kItems;) {
    if (queue.Push(i)) ++i;
  }
  consumer.join();
}

TEST(OnsetBoardTest, KeepsTheLatestPlaysAndForgetsOlderOnes) {
  OnsetBoard<8> board;
  EXPECT_FALSE(board.Find(0).has_value());
  EXPECT_FALSE(board.Find(3).has_value());
  board.Publish(3, 3000);
  EXPECT_EQ(board.Find(3), 3000U);
  board.Publish(11, 11000);  // same slot as 3
  EXPECT_FALSE(board.Find(3).has_value());
  EXPECT_EQ(board.Find(11), 11000U);
}

TEST(OnsetBoardTest, AReaderNeverSeesAnotherPlaysOnset) {
  OnsetBoard<4> board;
  constexpr std::uint64_t kPlays = 200'000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (std::uint64_t p = 1; p <= kPlays; ++p) board.Publish(p, p * 10);
    done = true;
  });
  std::uint64_t seen = 0;
  while (!done) {
    for (std::uint64_t p = 1; p <= kPlays; p += 997) {
      if (const auto onset = board.Find(p)) {
        ASSERT_EQ(*onset, p * 10);
        ++seen;
      }
    }
  }
  writer.join();
  EXPECT_EQ(board.Find(kPlays), kPlays * 10);
}

// --- Placement of plays on the stream ---

class SoundMixerTest : public ::testing::Test {
 protected:
  static constexpr int kRate = 48000;
  static constexpr std::uint64_t kLead = 6000;

  SoundMixerTest() {
    WriteWav(dir.File("click.wav"), kRate, 1, Level(kRate, 1, 0.001, 0.5F));
    click = std::get<SoundPlayer::SoundId>(mixer.Open(dir.File("click.wav")));
  }

  // The stream's frame 0 was at the output at 1 s; the output reads it at time now.
  StreamTimeline At(std::int64_t now) const { return {1'000'000, now, kRate}; }

  // Renders frames [first, first + frames) and returns the first frame that sounds, or -1.
  std::int64_t FirstSound(std::int64_t first, std::size_t frames,
                          const std::optional<StreamTimeline>& timeline) {
    std::vector<float> out(2 * frames);
    mixer.Render(out.data(), first, frames, timeline);
    for (std::size_t i = 0; i < frames; ++i) {
      if (out[2 * i] != 0) return first + static_cast<std::int64_t>(i);
    }
    return -1;
  }

  ScratchDir dir;
  VirtualTime time{2'000'000};
  SoundMixer mixer{time, kRate, kLead};
  SoundPlayer::SoundId click = -1;
};

TEST_F(SoundMixerTest, APlayStartsOnTheFrameThatIsAtTheOutputOneLeadAfterTheRequest) {
  const auto play = mixer.Play(click);
  time.AdvanceMicros(1500);  // the output's next request comes a little later
  const std::int64_t due = 48000 + 6000 * kRate / 1'000'000;  // 2.006 s on the stream
  EXPECT_EQ(FirstSound(due - 100, 200, At(2'001'500)), due);
  EXPECT_EQ(mixer.OnsetMicros(play), 2'006'000U);
  EXPECT_EQ(mixer.LatePlays(), 0U);
}

TEST_F(SoundMixerTest, APlayWhoseFrameIsAlreadyWrittenStartsAtTheFirstUnwrittenOne) {
  const auto play = mixer.Play(click);
  const std::int64_t first = 48000 + 400;  // written up to 2.00833 s
  EXPECT_EQ(FirstSound(first, 100, At(2'001'000)), first);
  EXPECT_EQ(mixer.OnsetMicros(play), 2'008'333U);
  EXPECT_EQ(mixer.LatePlays(), 1U);
}

TEST_F(SoundMixerTest, AfterAnUnderrunAPlayIsNeverPlacedInThePast) {
  const auto play = mixer.Play(click);
  // The output fell behind: it writes frame 2.0 s although 2.05 s is already playing.
  const std::int64_t nowFrame = 48000 + 50 * 48;
  EXPECT_EQ(FirstSound(48000, 4000, At(2'050'000)), nowFrame);
  EXPECT_GE(*mixer.OnsetMicros(play), 2'050'000U);
}

TEST_F(SoundMixerTest, WithoutATimelineAPlayStartsAtOnceWithItsOnsetUnknown) {
  const auto play = mixer.Play(click);
  EXPECT_EQ(FirstSound(777, 10, std::nullopt), 777);
  EXPECT_FALSE(mixer.OnsetMicros(play).has_value());
}

TEST_F(SoundMixerTest, PlaysBeyondTheQueueAreRefusedUntilTheOutputTakesThem) {
  for (std::size_t i = 0; i < SoundMixer::kQueuedPlays; ++i) ASSERT_GT(mixer.Play(click), 0U);
  EXPECT_EQ(mixer.Play(click), 0U);
  FirstSound(0, 10, At(2'000'000));
  EXPECT_EQ(mixer.Play(click), SoundMixer::kQueuedPlays + 1);
}

}  // namespace
}  // namespace cue::audio
