#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/presenter.h"
#include "platform/sound.h"

namespace cue::check {

// More missed refreshes than this in one session make its timing not OK: a missed refresh
// shows a screen a whole refresh late, which the results file's reaction time then holds.
inline constexpr std::uint64_t kMissedRefreshLimit = 5;
// A cue whose onset the output has not reported this long after it was due did not play.
inline constexpr std::uint64_t kCueLostAfterMicros = 500'000;

// What went wrong in a session, for its session file.
struct SessionVerdict {
  bool timingOk = true;
  bool soundOk = true;
  std::vector<std::string> reasons;
  std::uint64_t missedRefreshes = 0;
  std::int32_t cuesLost = 0;
};

// Watches a running session for what spoils its data without stopping it: missed refreshes,
// the sound output lost, cues that did not play. It stands between the experiment and the
// real sound player (every call is passed on; a play with a due time is the trial's cue) and
// is polled by a timer of the event loop. Each new problem is told at once through say (one
// line, for standard error), never on the subject's screen.
class SessionHealth final : public SoundPlayer {
 public:
  using Say = std::function<void(const std::string&)>;
  SessionHealth(SoundPlayer& sound, const Clock& clock, Say say)
      : sound_(sound), clock_(clock), say_(std::move(say)) {}

  // Looks at the display and the sound now; trial: the trial under way (0 before the first).
  void Poll(const Presenter& presenter, std::int32_t trial);
  // The verdict so far (call Poll first for the latest).
  SessionVerdict Verdict() const;

  std::variant<SoundId, SoundError> Open(const std::string& path) override {
    return sound_.Open(path);
  }
  PlayId Play(SoundId id) override { return sound_.Play(id); }
  PlayId PlayAt(SoundId id, std::uint64_t atMicros) override;
  void SetLowLatency(bool on) override { sound_.SetLowLatency(on); }
  std::optional<std::uint64_t> OnsetMicros(PlayId play) const override {
    return sound_.OnsetMicros(play);
  }
  bool OutputAvailable() const override { return sound_.OutputAvailable(); }
  std::string OutputError() const override { return sound_.OutputError(); }

 private:
  struct Cue {
    PlayId play = 0;
    std::uint64_t due = 0;
    std::int32_t trial = 0;
  };
  void Problem(std::string reason, bool timing);

  SoundPlayer& sound_;
  const Clock& clock_;
  Say say_;
  std::int32_t trial_ = 0;
  std::vector<Cue> waiting_;  // cues not yet heard of
  std::uint64_t missed_ = 0;
  std::int32_t cuesLost_ = 0;
  bool frameAccurate_ = true;
  bool outputLost_ = false;
  bool polled_ = false;
  std::vector<std::string> timingReasons_, soundReasons_;
};

}  // namespace cue::check
