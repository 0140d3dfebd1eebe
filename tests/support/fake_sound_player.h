#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/clock.h"
#include "platform/sound.h"

namespace cue::testing {

// A sound player that plays nothing and records each play with the clock's time. Files are
// all readable except those in `missing`; with `outputAvailable` false it behaves as the real
// player without a sound server. A play's onset, known at once, is its request time plus
// `onsetDelayMicros`, or PlayAt's time if that is later; once `stalled`, plays not started
// by then never start (the real player drops them).
class FakeSoundPlayer final : public SoundPlayer {
 public:
  struct PlayRecord {
    PlayId play;
    std::string path;
    std::uint64_t micros;     // clock time of the Play() call
    std::uint64_t dueMicros;  // PlayAt's time; 0 for Play()
  };

  explicit FakeSoundPlayer(const Clock& clock) : clock_(clock) {}

  std::variant<SoundId, SoundError> Open(const std::string& path) override {
    const auto known = std::ranges::find(paths_, path);
    if (known == paths_.end() && missing.contains(path))
      return SoundError{path, "No such file or directory"};
    if (known == paths_.end()) paths_.push_back(path);
    return static_cast<SoundId>(std::ranges::find(paths_, path) - paths_.begin());
  }
  PlayId Play(SoundId id) override { return PlayAt(id, 0); }
  PlayId PlayAt(SoundId id, std::uint64_t atMicros) override {
    if (!outputAvailable || id < 0 || static_cast<std::size_t>(id) >= paths_.size()) return 0;
    plays.push_back(
        {plays.size() + 1, paths_[static_cast<std::size_t>(id)], clock_.Micros(), atMicros});
    return plays.size();
  }
  void SetLowLatency(bool) override {}
  std::optional<std::uint64_t> OnsetMicros(PlayId play) const override {
    if (play == 0 || play > plays.size()) return std::nullopt;
    const std::uint64_t onset =
        std::max(plays[play - 1].micros + onsetDelayMicros, plays[play - 1].dueMicros);
    if (stalled && onset > clock_.Micros()) return std::nullopt;
    return onset;
  }
  bool OutputAvailable() const override { return outputAvailable; }
  std::string OutputError() const override { return outputAvailable ? "" : "no sound server"; }

  std::set<std::string> missing;
  bool outputAvailable = true;
  bool stalled = false;
  std::uint64_t onsetDelayMicros = 0;
  std::vector<PlayRecord> plays;

 private:
  const Clock& clock_;
  std::vector<std::string> paths_;  // by id
};

}  // namespace cue::testing
