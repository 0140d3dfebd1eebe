#include "platform/audio/pulse_sound_player.h"

#include <algorithm>
#include <chrono>

namespace cue {

PulseSoundPlayer::PulseSoundPlayer(const audio::PulseOptions& options)
    : options_(options),
      output_(std::make_unique<audio::PulseOutput>(options)),
      mixer_(clock_, output_->Rate(), options.Lead()) {
  output_->Attach(&mixer_);
}

// The output's thread renders from the mixer: it must stop before the mixer goes.
PulseSoundPlayer::~PulseSoundPlayer() {
  output_->Stop();
  if (connecting_.valid()) connecting_.get()->Stop();
}

void PulseSoundPlayer::SetLowLatency(bool on) {
  if (on) Reconnect();
  output_->SetLowLatency(on);
}

// The new stream runs at the mixer's rate whatever the sink's rate now is (the server
// resamples if it came back at another one): the sounds stay as they were decoded.
void PulseSoundPlayer::Reconnect() {
  if (OutputAvailable()) return;
  if (connecting_.valid() &&
      connecting_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    fresh_ = connecting_.get();
  }
  if (fresh_ != nullptr) {
    if (!fresh_->Available() || fresh_->Rate() != mixer_.Rate()) {
      fresh_.reset();
    } else if (fresh_->Running()) {
      output_->Stop();  // the old stream's thread renders no more: the mixer passes to the new one
      output_ = std::move(fresh_);
      mixer_.DropOverdue();  // what the old one never played is not played now
      output_->Attach(&mixer_);
      stalled_.store(false, std::memory_order_release);
      return;
    }
  }
  if (connecting_.valid() || fresh_ != nullptr) return;
  const std::uint64_t now = clock_.Micros();
  if (lastTryMicros_ != 0 && now - lastTryMicros_ < kRetryMicros) return;
  lastTryMicros_ = now;
  audio::PulseOptions options = options_;
  options.rate = static_cast<std::uint32_t>(mixer_.Rate());
  connecting_ = std::async(std::launch::async,
                           [options] { return std::make_unique<audio::PulseOutput>(options); });
}

SoundPlayer::PlayId PulseSoundPlayer::Noted(PlayId play, std::uint64_t dueMicros) {
  if (play == 0) return 0;
  lastDue_.store(std::max(dueMicros, clock_.Micros()), std::memory_order_relaxed);
  lastPlay_.store(play, std::memory_order_release);
  return play;
}

bool PulseSoundPlayer::Stalled() const {
  if (stalled_.load(std::memory_order_acquire)) return true;
  const PlayId play = lastPlay_.load(std::memory_order_acquire);
  if (play == 0 || mixer_.LastTaken() >= play || !output_->Running()) return false;
  if (clock_.Micros() <= lastDue_.load(std::memory_order_relaxed) + audio::kOverdueMicros)
    return false;
  stalled_.store(true, std::memory_order_release);
  return true;
}

std::variant<SoundPlayer::SoundId, SoundError> PulseSoundPlayer::Open(const std::string& path) {
  return mixer_.Open(path);
}

SoundPlayer::PlayId PulseSoundPlayer::Play(SoundId id) {
  return OutputAvailable() ? Noted(mixer_.Play(id), 0) : 0;
}

SoundPlayer::PlayId PulseSoundPlayer::PlayAt(SoundId id, std::uint64_t atMicros) {
  return OutputAvailable() ? Noted(mixer_.PlayAt(id, atMicros), atMicros) : 0;
}

std::optional<std::uint64_t> PulseSoundPlayer::OnsetMicros(PlayId play) const {
  return mixer_.OnsetMicros(play);
}

bool PulseSoundPlayer::OutputAvailable() const { return output_->Available() && !Stalled(); }

std::string PulseSoundPlayer::OutputError() const {
  if (output_->Available() && Stalled()) {
    return "the sound server stopped playing: a sound was not started within " +
           std::to_string(audio::kOverdueMicros / 1000) + " ms of its time";
  }
  return output_->Error();
}

}  // namespace cue
