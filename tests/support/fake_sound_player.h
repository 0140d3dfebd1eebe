#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/clock.h"
#include "platform/sound.h"

namespace cue::testing {

// A sound player that plays nothing and records each play with the clock's time. Files are
// all readable except those in `missing`; with `outputAvailable` false it behaves as the real
// player without a sound server. A play's onset, known at once, is its request time plus
// `onsetDelayMicros`, or PlayAt's time if that is later.
class FakeSoundPlayer final : public SoundPlayer {
 public:
  struct PlayRecord {
    PlayId play = 0;
    std::string path;
    std::uint64_t micros = 0;  // clock time of the Play() call
    std::uint64_t dueMicros = 0;  // PlayAt's time; 0 for Play()
  };

  explicit FakeSoundPlayer(const Clock& clock) : clock_(clock) {}

  std::variant<SoundId, SoundError> Open(const std::string& path) override {
    const auto known = std::find(paths_.begin(), paths_.end(), path);
    if (known != paths_.end()) return static_cast<SoundId>(known - paths_.begin());
    if (missing.count(path) != 0) return SoundError{path, "No such file or directory"};
    paths_.push_back(path);
    return static_cast<SoundId>(paths_.size() - 1);
  }

  PlayId Play(SoundId id) override { return PlayAt(id, 0); }

  PlayId PlayAt(SoundId id, std::uint64_t atMicros) override {
    if (!outputAvailable || id < 0 || static_cast<std::size_t>(id) >= paths_.size()) return 0;
    const PlayId play = plays.size() + 1;
    plays.push_back({play, paths_[static_cast<std::size_t>(id)], clock_.Micros(), atMicros});
    return play;
  }

  void SetLowLatency(bool on) override { lowLatency.emplace_back(clock_.Micros(), on); }

  std::optional<std::uint64_t> OnsetMicros(PlayId play) const override {
    if (play == 0 || play > plays.size()) return std::nullopt;
    const PlayRecord& p = plays[play - 1];
    return std::max(p.micros + onsetDelayMicros, p.dueMicros);
  }

  bool OutputAvailable() const override { return outputAvailable; }
  std::string OutputError() const override { return outputAvailable ? "" : outputError; }

  std::set<std::string> missing;
  bool outputAvailable = true;
  std::string outputError = "no sound server";
  std::uint64_t onsetDelayMicros = 0;
  std::vector<PlayRecord> plays;
  std::vector<std::pair<std::uint64_t, bool>> lowLatency;  // (clock time, on) of each switch

 private:
  const Clock& clock_;
  std::vector<std::string> paths_;  // by id
};

}  // namespace cue::testing
