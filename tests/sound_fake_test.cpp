// The contract run against the fake that the engine's tests use. What those tests read from
// its records (each play's path, time and onset) is checked by them: a fault there fails the
// whole-run timeline.
#include <gtest/gtest.h>

#include <string>

#include "support/fake_sound_player.h"
#include "support/sound_player_contract.h"
#include "support/virtual_time.h"

namespace cue::testing {

class FakeWithOutput {
 public:
  explicit FakeWithOutput(const ScratchDir&) {}
  SoundPlayer& Player() { return fake; }
  const Clock& Time() { return time; }
  void MakeUnreadable(const std::string& path) { fake.missing.insert(path); }
  void Pause() { time.Advance(1); }
  std::uint64_t FrameMicros() { return 0; }  // the fake starts a PlayAt on its microsecond

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

}  // namespace cue::testing
