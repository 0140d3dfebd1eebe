#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_sound_player.h"
#include "support/sound_player_contract.h"
#include "support/virtual_time.h"

namespace cue::testing {

class FakeWithOutput {
 public:
  explicit FakeWithOutput(const ScratchDir& dir) { fake.missing.insert(dir.File("missing.wav")); }
  SoundPlayer& Player() { return fake; }
  const Clock& Time() { return time; }
  void MakeUnreadable(const std::string& path) { fake.missing.insert(path); }
  void Pause() { time.Advance(1); }

  VirtualTime time;
  FakeSoundPlayer fake{time};
};

class FakeWithoutOutput : public FakeWithOutput {
 public:
  explicit FakeWithoutOutput(const ScratchDir& dir) : FakeWithOutput(dir) {
    fake.outputAvailable = false;
  }
};

using Backends = ::testing::Types<FakeWithOutput, FakeWithoutOutput>;
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SoundPlayerContract, Backends);
INSTANTIATE_TYPED_TEST_SUITE_P(Fake, PlayingSoundPlayerContract, FakeWithOutput);

namespace {

TEST(FakeSoundPlayerTest, RecordsEachReadOnceAndEachPlayWithItsTime) {
  VirtualTime time(5'000'000);
  FakeSoundPlayer player(time);
  player.onsetDelayMicros = 6000;
  const auto cue = std::get<SoundPlayer::SoundId>(player.Open("wave/7.wav"));
  time.Advance(1000);
  const auto play = player.Play(cue);
  player.PlayFile("wave/7.wav");
  EXPECT_EQ(player.reads, std::vector<std::string>{"wave/7.wav"});
  EXPECT_EQ(player.PlayedPaths(), (std::vector<std::string>{"wave/7.wav", "wave/7.wav"}));
  EXPECT_EQ(player.plays[0].micros, 6'000'000U);
  EXPECT_EQ(player.OnsetMicros(play), 6'006'000U);
}

TEST(FakeSoundPlayerTest, WithoutOutputRecordsNoPlay) {
  VirtualTime time;
  FakeSoundPlayer player(time);
  player.outputAvailable = false;
  EXPECT_EQ(player.PlayFile("wave/1.wav"), 0U);
  EXPECT_TRUE(player.plays.empty());
  EXPECT_EQ(player.reads, std::vector<std::string>{"wave/1.wav"});
}

}  // namespace
}  // namespace cue::testing
