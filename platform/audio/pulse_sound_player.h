#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/audio/pulse_output.h"
#include "platform/audio/sound_mixer.h"
#include "platform/clock.h"
#include "platform/sound.h"

namespace cue {

// The sound player of the experiment: sounds decoded up front, mixed into one PulseAudio
// stream that stays open for the whole run. Play() returns within microseconds; each play
// starts a fixed lead (PulseOptions::Lead(), 4.5 ms by default) after its request and its
// onset is reported on the monotonic clock (see audio::SoundMixer and audio::PulseOutput).
// Without a reachable sound server the player still opens files, but plays nothing.
//
// Threads: construct, Open() and Play() on one thread (the GUI thread); the rest on any.
class PulseSoundPlayer final : public SoundPlayer {
 public:
  explicit PulseSoundPlayer(const audio::PulseOptions& options = {});
  ~PulseSoundPlayer() override;
  PulseSoundPlayer(const PulseSoundPlayer&) = delete;
  PulseSoundPlayer& operator=(const PulseSoundPlayer&) = delete;

  std::variant<SoundId, SoundError> Open(const std::string& path) override;
  // Decodes these files on worker threads ahead of their Open (see SoundMixer::Preload).
  void Preload(const std::vector<std::string>& paths) { mixer_.Preload(paths); }
  PlayId Play(SoundId id) override;
  PlayId PlayAt(SoundId id, std::uint64_t atMicros) override;
  // Switching on comes at every trial's start: while the output is lost, it also tries to
  // reconnect (see Reconnect).
  void SetLowLatency(bool on) override;
  std::optional<std::uint64_t> OnsetMicros(PlayId play) const override;
  // False also once the running output has stalled: a play not taken by it within
  // kOverdueMicros of when it was due (a sound server stopped without closing its
  // connection). The next trial's start then connects anew.
  bool OutputAvailable() const override;
  std::string OutputError() const override;

  const audio::SoundMixer& Mixer() const { return mixer_; }
  const audio::PulseOutput& Output() const { return *output_; }

 private:
  // A lost output is replaced by a new stream, connected on a worker thread (connecting may
  // take up to the connection timeout) at most every kRetryMicros, at the mixer's rate, and
  // taken on by a later call on this thread once it runs (PulseOutput::Running). Until then
  // plays are silent.
  void Reconnect();
  bool Stalled() const;
  PlayId Noted(PlayId play, std::uint64_t dueMicros);
  static constexpr std::uint64_t kRetryMicros = 2'000'000;

  SteadyClock clock_;
  audio::PulseOptions options_;
  std::unique_ptr<audio::PulseOutput> output_;
  audio::SoundMixer mixer_;
  std::future<std::unique_ptr<audio::PulseOutput>> connecting_;
  std::unique_ptr<audio::PulseOutput> fresh_;  // connected, not yet running
  std::uint64_t lastTryMicros_ = 0;
  // The latest play and when it was due (or asked for, if later): written on this thread,
  // read by any. stalled_ stays until the output is replaced.
  std::atomic<PlayId> lastPlay_{0};
  std::atomic<std::uint64_t> lastDue_{0};
  mutable std::atomic<bool> stalled_{false};
};

}  // namespace cue
