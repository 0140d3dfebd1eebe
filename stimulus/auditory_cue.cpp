#include "stimulus/auditory_cue.h"

namespace cue {

std::string CuePath(const FileSystem& files, std::int16_t digit) {
  return JoinPath(JoinPath(files.CurrentDirectory(), "wave"), std::to_string(digit) + ".wav");
}

AuditoryCue::AuditoryCue(const Clock& clock, Scheduler& scheduler, SoundPlayer& sound,
                         const FileSystem& files, const std::int16_t& targetNumber)
    : clock_(clock),
      timer1_(scheduler),
      sound_(sound),
      files_(files),
      targetNumber_(targetNumber) {}

void AuditoryCue::Arm(int intervalMs) {
  dueMicros_ = clock_.Micros() + static_cast<std::uint64_t>(intervalMs) * 1000;
  timer1_.Start(intervalMs - kCuePrepare, [this] {
    if (onPrepare_) onPrepare_();
    timer1_.Start(kCuePrepare - kCueAdvance, [this] { Timer1_Timer(); });
  });
}

void AuditoryCue::Timer1_Timer() {
  timer1_.Stop();
  const SoundPlayer::PlayId play = sound_.PlayFileAt(CuePath(files_, targetNumber_), dueMicros_);
  if (onPlayed_) onPlayed_(play);
}

}  // namespace cue
