#include "stimulus/auditory_cue.h"

namespace cue {

std::string CuePath(const FileSystem& files, std::int16_t digit) {
  return JoinPath(JoinPath(files.CurrentDirectory(), "wave"), std::to_string(digit) + ".wav");
}

AuditoryCue::AuditoryCue(Scheduler& scheduler, SoundPlayer& sound, const FileSystem& files,
                         const std::int16_t& targetNumber)
    : timer1_(scheduler), sound_(sound), files_(files), targetNumber_(targetNumber) {}

void AuditoryCue::Arm(int intervalMs) {
  timer1_.Start(intervalMs, [this] { Timer1_Timer(); });
}

void AuditoryCue::Timer1_Timer() {
  timer1_.Stop();
  const SoundPlayer::PlayId play = sound_.PlayFile(CuePath(files_, targetNumber_));
  if (onPlayed_) onPlayed_(play);
}

}  // namespace cue
