#include "platform/audio/pulse_sound_player.h"

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

void PulseSoundPlayer::Reconnect() {
  if (output_->Available()) return;
  if (connecting_.valid()) {
    if (connecting_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    auto fresh = connecting_.get();
    if (!fresh->Available() || fresh->Rate() != mixer_.Rate()) return fresh->Stop();
    output_->Stop();  // the old stream's thread renders no more: the mixer passes to the new one
    output_ = std::move(fresh);
    output_->Attach(&mixer_);
    return;
  }
  const std::uint64_t now = clock_.Micros();
  if (lastTryMicros_ != 0 && now - lastTryMicros_ < kRetryMicros) return;
  lastTryMicros_ = now;
  connecting_ = std::async(std::launch::async, [options = options_] {
    return std::make_unique<audio::PulseOutput>(options);
  });
}

std::variant<SoundPlayer::SoundId, SoundError> PulseSoundPlayer::Open(const std::string& path) {
  return mixer_.Open(path);
}

SoundPlayer::PlayId PulseSoundPlayer::Play(SoundId id) {
  return output_->Available() ? mixer_.Play(id) : 0;
}

SoundPlayer::PlayId PulseSoundPlayer::PlayAt(SoundId id, std::uint64_t atMicros) {
  return output_->Available() ? mixer_.PlayAt(id, atMicros) : 0;
}

std::optional<std::uint64_t> PulseSoundPlayer::OnsetMicros(PlayId play) const {
  return mixer_.OnsetMicros(play);
}

bool PulseSoundPlayer::OutputAvailable() const { return output_->Available(); }

std::string PulseSoundPlayer::OutputError() const { return output_->Error(); }

}  // namespace cue
