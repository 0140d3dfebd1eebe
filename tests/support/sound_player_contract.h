#pragma once

// What every SoundPlayer promises (platform/sound.h), written once and run against the fake
// and the real player so that the fake cannot drift from what the experiment gets.
//
// A test binary instantiates SoundPlayerContract with every backend, and
// PlayingSoundPlayerContract with those that have an output. A backend type B offers:
//   explicit B(const ScratchDir& dir);  // a player for the files in dir
//   SoundPlayer& Player();
//   const Clock& Time();                // the clock the player stamps its requests with
//   void MakeUnreadable(const std::string& path);
//   void Pause();                       // lets a little time pass while polling
//   std::uint64_t FrameMicros();        // how far an onset may follow its frame's time
// A backend meant to have an output that cannot reach it (no sound server) skips the playing
// tests, saying why.
#include <gtest/gtest.h>

#include <algorithm>
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
    const auto opened = player().Open(path);
    if (const auto* id = std::get_if<SoundPlayer::SoundId>(&opened)) return *id;
    ADD_FAILURE() << path << ": " << std::get<SoundError>(opened).reason;
    return -1;
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
  Backend backend{dir};
};

TYPED_TEST_SUITE_P(SoundPlayerContract);

TYPED_TEST_P(SoundPlayerContract, APathOpensOnceAndAMissingFileIsAnErrorThatNamesIt) {
  const auto first = this->OpenOk(this->a);
  const auto other = this->OpenOk(this->b);
  EXPECT_NE(first, other);
  this->backend.MakeUnreadable(this->a);  // only a player that reads it again fails
  EXPECT_EQ(this->OpenOk(this->a), first);
  const std::string missing = this->dir.File("missing.wav");
  this->backend.MakeUnreadable(missing);
  const auto opened = this->player().Open(missing);
  ASSERT_TRUE(std::holds_alternative<SoundError>(opened));
  EXPECT_EQ(std::get<SoundError>(opened).path, missing);
  EXPECT_FALSE(std::get<SoundError>(opened).reason.empty());
}

// Plays are numbered upwards, a restart being a play of its own, exactly when there is an
// output; otherwise an error says why. A sound never opened plays nothing.
TYPED_TEST_P(SoundPlayerContract, PlaysAreNumberedUpwardsExactlyWhenThereIsAnOutput) {
  const bool output = this->player().OutputAvailable();
  EXPECT_EQ(this->player().OutputError().empty(), output) << this->player().OutputError();
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  SoundPlayer::PlayId last = 0;
  for (const auto id : {a, b, a, -1, std::max(a, b) + 1, INT_MAX, a}) {
    const auto play = this->player().Play(id);
    if (output && (id == a || id == b)) {
      EXPECT_GT(play, last) << "sound " << id;
      last = play;
    } else {
      EXPECT_EQ(play, 0U) << "sound " << id;
    }
  }
  EXPECT_EQ(this->player().PlayAt(a, 0) > last, output);
  EXPECT_FALSE(this->player().OnsetMicros(0).has_value());
  EXPECT_FALSE(this->player().OnsetMicros(last + 100).has_value());  // a play never made
}

REGISTER_TYPED_TEST_SUITE_P(SoundPlayerContract, APathOpensOnceAndAMissingFileIsAnErrorThatNamesIt,
                            PlaysAreNumberedUpwardsExactlyWhenThereIsAnOutput);

template <typename Backend>
using PlayingSoundPlayerContract = SoundPlayerContract<Backend>;
TYPED_TEST_SUITE_P(PlayingSoundPlayerContract);

// Every onset becomes known and is never before its request. A play asked for well ahead
// starts at its time (within a frame), whichever buffer the output keeps; one asked for in
// the past starts as soon as it can.
TYPED_TEST_P(PlayingSoundPlayerContract, OnsetsAreNeverBeforeTheRequestAndPlayAtStartsOnTime) {
  if (!this->player().OutputAvailable()) {
    GTEST_SKIP() << "no sound output: " << this->player().OutputError();
  }
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  for (const auto id : {a, b, a, a}) {
    const std::uint64_t requested = this->backend.Time().Micros();
    const auto onset = this->WaitForOnset(this->player().Play(id));
    ASSERT_TRUE(onset.has_value()) << "sound " << id;
    EXPECT_GE(*onset, requested) << "sound " << id;
  }
  for (const bool lowLatency : {true, false, true}) {
    this->player().SetLowLatency(lowLatency);
    const std::uint64_t at = this->backend.Time().Micros() + 200'000;
    const auto onset = this->WaitForOnset(this->player().PlayAt(a, at));
    ASSERT_TRUE(onset.has_value());
    EXPECT_GE(*onset, at) << "low latency " << lowLatency;
    EXPECT_LE(*onset, at + this->backend.FrameMicros()) << "low latency " << lowLatency;
  }
  const std::uint64_t requested = this->backend.Time().Micros();
  const auto late = this->WaitForOnset(this->player().PlayAt(a, requested - 50'000));
  ASSERT_TRUE(late.has_value());
  EXPECT_GE(*late, requested);
}

REGISTER_TYPED_TEST_SUITE_P(PlayingSoundPlayerContract,
                            OnsetsAreNeverBeforeTheRequestAndPlayAtStartsOnTime);

}  // namespace cue::testing
