#include "platform/audio/pulse_sound_player.h"

namespace cue {

PulseSoundPlayer::PulseSoundPlayer(const audio::PulseOptions& options)
    : output_(options), mixer_(clock_, output_.Rate(), options.Lead()) {
  output_.Attach(&mixer_);
}

// The output's thread renders from the mixer: it must stop before the mixer goes.
PulseSoundPlayer::~PulseSoundPlayer() { output_.Stop(); }

std::variant<SoundPlayer::SoundId, SoundError> PulseSoundPlayer::Open(const std::string& path) {
  return mixer_.Open(path);
}

SoundPlayer::PlayId PulseSoundPlayer::Play(SoundId id) {
  return output_.Available() ? mixer_.Play(id) : 0;
}

SoundPlayer::PlayId PulseSoundPlayer::PlayAt(SoundId id, std::uint64_t atMicros) {
  return output_.Available() ? mixer_.PlayAt(id, atMicros) : 0;
}

std::optional<std::uint64_t> PulseSoundPlayer::OnsetMicros(PlayId play) const {
  return mixer_.OnsetMicros(play);
}

bool PulseSoundPlayer::OutputAvailable() const { return output_.Available(); }

std::string PulseSoundPlayer::OutputError() const { return output_.Error(); }

}  // namespace cue
