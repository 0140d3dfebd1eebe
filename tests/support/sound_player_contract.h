#pragma once

// What every SoundPlayer promises (platform/sound.h), run against the fake and the real player
// so that the fake cannot drift from what the experiment gets. A backend B offers:
//   explicit B(const ScratchDir& dir); SoundPlayer& Player(); const Clock& Time();
//   void MakeUnreadable(const std::string& path); void Pause();  // a little time passes
//   std::uint64_t FrameMicros();  // how far an onset may follow its frame's time
// A backend without an output skips the playing test, saying why.
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
    EXPECT_TRUE(opened.index() == 0) << path << ": " << std::get<SoundError>(opened).reason;
    return opened.index() == 0 ? std::get<0>(opened) : -1;
  }
  // The play's onset once known; the limit only guards against a hang.
  std::optional<std::uint64_t> WaitForOnset(SoundPlayer::PlayId play) {
    std::optional<std::uint64_t> onset;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(onset = player().OnsetMicros(play)) && std::chrono::steady_clock::now() < limit)
      backend.Pause();
    return onset;
  }

  ScratchDir dir;
  const std::string a = dir.File("a.wav"), b = dir.File("b.wav");
  Backend backend{dir};
};

TYPED_TEST_SUITE_P(SoundPlayerContract);

// A path is read once; a missing file is an error naming it. Plays are numbered upwards, a
// restart being a play of its own, exactly when there is an output (else an error says why);
// a sound never opened plays nothing.
TYPED_TEST_P(SoundPlayerContract, OpensOncePlaysNumberedUpwardsExactlyWithAnOutput) {
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  EXPECT_NE(a, b);
  this->backend.MakeUnreadable(this->a);  // only a player that reads it again fails
  EXPECT_EQ(this->OpenOk(this->a), a);
  const std::string missing = this->dir.File("missing.wav");
  this->backend.MakeUnreadable(missing);
  const auto opened = this->player().Open(missing);
  ASSERT_TRUE(std::holds_alternative<SoundError>(opened));
  EXPECT_EQ(std::get<SoundError>(opened).path, missing);

  const bool output = this->player().OutputAvailable();
  EXPECT_EQ(this->player().OutputError().empty(), output) << this->player().OutputError();
  SoundPlayer::PlayId last = 0;
  for (const auto id : {a, b, a, -1, std::max(a, b) + 1, INT_MAX, a}) {
    const auto play = this->player().Play(id);
    const bool plays = output && (id == a || id == b);
    EXPECT_TRUE(plays ? play > last : play == 0)
        << "sound " << id << " gave play " << play << " after " << last;
    if (plays) last = play;
  }
  EXPECT_EQ(this->player().PlayAt(a, 0) > last, output);
  EXPECT_FALSE(this->player().OnsetMicros(0).has_value());
  EXPECT_FALSE(this->player().OnsetMicros(last + 100).has_value());  // a play never made
}

// No onset is before its request. A play asked for well ahead starts at its time (within a
// frame), whichever buffer the output keeps; one asked for in the past starts when it can.
TYPED_TEST_P(SoundPlayerContract, OnsetsAreNeverBeforeTheRequestAndPlayAtStartsOnTime) {
  if (!this->player().OutputAvailable())
    GTEST_SKIP() << "no sound output: " << this->player().OutputError();
  const auto a = this->OpenOk(this->a);
  const auto b = this->OpenOk(this->b);
  for (const auto id : {a, b, a}) {
    const std::uint64_t requested = this->backend.Time().Micros();
    EXPECT_GE(this->WaitForOnset(this->player().Play(id)).value_or(0), requested) << "sound " << id;
  }
  for (const bool lowLatency : {true, false, true}) {
    this->player().SetLowLatency(lowLatency);
    const std::uint64_t at = this->backend.Time().Micros() + 200'000;
    const auto onset = this->WaitForOnset(this->player().PlayAt(a, at)).value_or(0);
    EXPECT_TRUE(onset >= at && onset <= at + this->backend.FrameMicros()) << onset << " for " << at;
  }
  const std::uint64_t requested = this->backend.Time().Micros();
  EXPECT_GE(this->WaitForOnset(this->player().PlayAt(a, requested - 50'000)).value_or(0),
            requested);
}

REGISTER_TYPED_TEST_SUITE_P(SoundPlayerContract, OpensOncePlaysNumberedUpwardsExactlyWithAnOutput,
                            OnsetsAreNeverBeforeTheRequestAndPlayAtStartsOnTime);

}  // namespace cue::testing
