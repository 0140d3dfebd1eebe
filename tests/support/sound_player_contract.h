#pragma once

// What every SoundPlayer promises (platform/sound.h), written once and run against the fake
// and the real player so that the fake cannot drift from what the experiment gets.
//
// A test binary instantiates SoundPlayerContract with every backend, and
// PlayingSoundPlayerContract with those that have an output. A backend type B offers:
//   explicit B(const ScratchDir& dir);  // a player; "missing.wav" in dir is unreadable to it
//   SoundPlayer& Player();
//   const Clock& Time();                // the clock the player stamps its requests with
//   void MakeUnreadable(const std::string& path);
//   void Pause();                       // lets a little time pass while polling
// A backend meant to have an output that cannot reach it (no sound server) skips the playing
// tests, saying why.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <optional>
#include <string>
#include <variant>

#include "platform/sound.h"
#include "support/sound_files.h"

namespace cue::testing {

template <typename Backend>
class SoundPlayerContract : public ::testing::Test {
 protected:
  SoundPlayerContract() {
    WriteWav(a, 44100, 1, Tone(44100, 1, 0.05, 440, 0.2F));
    WriteWav(b, 22050, 2, Tone(22050, 2, 0.05, 660, 0.2F));
  }

  SoundPlayer& player() { return backend.Player(); }

  SoundPlayer::SoundId OpenOk(const std::string& path) {
    auto opened = player().Open(path);
    if (const auto* error = std::get_if<SoundError>(&opened)) {
      ADD_FAILURE() << error->path << ": " << error->reason;
      return -1;
    }
    return std::get<SoundPlayer::SoundId>(opened);
  }

  // Polls until the play's onset is known; correctness, not speed: the limit is generous.
  std::optional<std::uint64_t> WaitForOnset(SoundPlayer::PlayId play) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto onset = player().OnsetMicros(play);
    while (!onset && std::chrono::steady_clock::now() < limit) {
      backend.Pause();
      onset = player().OnsetMicros(play);
    }
    return onset;
  }

  ScratchDir dir;
  const std::string a = dir.File("a.wav");
  const std::string b = dir.File("b.wav");
  const std::string missing = dir.File("missing.wav");
  Backend backend{dir};
};

#define CUE_SKIP_WITHOUT_OUTPUT()        \
  if (!this->player().OutputAvailable()) \
  GTEST_SKIP() << "no sound output: " << this->player().OutputError()

TYPED_TEST_SUITE_P(SoundPlayerContract);

TYPED_TEST_P(SoundPlayerContract, OpeningAPathAgainGivesItsIdWithoutReadingItAgain) {
  const auto first = this->OpenOk(this->a);
  const auto other = this->OpenOk(this->b);
  EXPECT_GE(first, 0);
  EXPECT_GE(other, 0);
  EXPECT_NE(first, other);
  this->backend.MakeUnreadable(this->a);
  EXPECT_EQ(this->OpenOk(this->a), first);
}

TYPED_TEST_P(SoundPlayerContract, AMissingFileIsAnErrorThatNamesIt) {
  const auto opened = this->player().Open(this->missing);
  ASSERT_TRUE(std::holds_alternative<SoundError>(opened));
  EXPECT_EQ(std::get<SoundError>(opened).path, this->missing);
  EXPECT_FALSE(std::get<SoundError>(opened).reason.empty());
  EXPECT_EQ(this->player().PlayFile(this->missing), 0U);
}

TYPED_TEST_P(SoundPlayerContract, PlaysHappenExactlyWhenThereIsAnOutputAndAnErrorSaysWhyNot) {
  const bool output = this->player().OutputAvailable();
  EXPECT_EQ(this->player().OutputError().empty(), output) << this->player().OutputError();
  const auto play = this->player().Play(this->OpenOk(this->a));
  EXPECT_EQ(play != 0, output);
  EXPECT_EQ(this->player().PlayFile(this->b) != 0, output);
}

TYPED_TEST_P(SoundPlayerContract, NoOnsetForAPlayThatDidNotHappen) {
  EXPECT_FALSE(this->player().OnsetMicros(0).has_value());
  EXPECT_FALSE(this->player().OnsetMicros(123456).has_value());
}

REGISTER_TYPED_TEST_SUITE_P(SoundPlayerContract, OpeningAPathAgainGivesItsIdWithoutReadingItAgain,
                            AMissingFileIsAnErrorThatNamesIt,
                            PlaysHappenExactlyWhenThereIsAnOutputAndAnErrorSaysWhyNot,
                            NoOnsetForAPlayThatDidNotHappen);

template <typename Backend>
class PlayingSoundPlayerContract : public SoundPlayerContract<Backend> {
 protected:
  void SetUp() override {
    if (!this->player().OutputAvailable()) {
      GTEST_SKIP() << "no sound output: " << this->player().OutputError();
    }
  }
};

TYPED_TEST_SUITE_P(PlayingSoundPlayerContract);

TYPED_TEST_P(PlayingSoundPlayerContract, PlaysAreNumberedUpwardsFromOne) {
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  const auto first = this->player().Play(a);
  const auto second = this->player().Play(b);
  const auto again = this->player().Play(a);  // a restart is a play of its own
  EXPECT_GT(first, 0U);
  EXPECT_GT(second, first);
  EXPECT_GT(again, second);
  const auto byPath = this->player().PlayFile(this->b);
  EXPECT_GT(byPath, again);
  EXPECT_EQ(this->OpenOk(this->b), b);
}

TYPED_TEST_P(PlayingSoundPlayerContract, PlayingASoundThatWasNeverOpenedPlaysNothing) {
  const auto a = this->OpenOk(this->a);
  EXPECT_EQ(this->player().Play(-1), 0U);
  EXPECT_EQ(this->player().Play(a + 1), 0U);
  EXPECT_EQ(this->player().Play(INT_MAX), 0U);
  EXPECT_GT(this->player().Play(a), 0U);
}

TYPED_TEST_P(PlayingSoundPlayerContract, EveryOnsetBecomesKnownAndIsNotBeforeItsRequest) {
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  for (const auto id : {a, b, a, a}) {
    const std::uint64_t requested = this->backend.Time().Micros();
    const auto play = this->player().Play(id);
    ASSERT_GT(play, 0U);
    const auto onset = this->WaitForOnset(play);
    ASSERT_TRUE(onset.has_value()) << "play " << play;
    EXPECT_GE(*onset, requested) << "play " << play;
  }
}

// A play asked for well ahead starts at its time (to within one frame), whichever buffer the
// output keeps; one asked for in the past starts as soon as it can, never before its request.
TYPED_TEST_P(PlayingSoundPlayerContract, PlaysAtAGivenTimeStartThen) {
  const auto a = this->OpenOk(this->a);
  // A null sink idles in long blocks: wait until it consumes the new stream.
  ASSERT_TRUE(this->WaitForOnset(this->player().Play(a)).has_value());
  for (const bool lowLatency : {true, false, true}) {
    this->player().SetLowLatency(lowLatency);
    const std::uint64_t at = this->backend.Time().Micros() + 200'000;
    const auto onset = this->WaitForOnset(this->player().PlayAt(a, at));
    ASSERT_TRUE(onset.has_value());
    EXPECT_GE(*onset, at) << "low latency " << lowLatency;
    EXPECT_LT(*onset, at + 100) << "low latency " << lowLatency;
  }
  const std::uint64_t requested = this->backend.Time().Micros();
  const auto late = this->WaitForOnset(this->player().PlayAt(a, requested - 50'000));
  ASSERT_TRUE(late.has_value());
  EXPECT_GE(*late, requested);
}

REGISTER_TYPED_TEST_SUITE_P(PlayingSoundPlayerContract, PlaysAreNumberedUpwardsFromOne,
                            PlayingASoundThatWasNeverOpenedPlaysNothing,
                            EveryOnsetBecomesKnownAndIsNotBeforeItsRequest,
                            PlaysAtAGivenTimeStartThen);

}  // namespace cue::testing
