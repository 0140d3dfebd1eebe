#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/scheduler.h"
#include "platform/sound.h"

namespace cue {

// The path of a digit's cue: the current folder as it is now, "wave", the digit, ".wav".
std::string CuePath(const FileSystem& files, std::int16_t digit);

// The experiment screen's cue timer (Timer1) and its tick. Arming at a trial's start starts a
// fresh second, also when the previous arming has not fired yet; each arming gives exactly one
// tick, which plays the cue of the target digit as it stands at that moment and returns at
// once. An answer does not disarm it: the cue of a trial answered within its first second
// still plays during the pause, unless the next trial's start has re-armed the timer first.
class AuditoryCue {
 public:
  // targetNumber is read at the tick.
  AuditoryCue(Scheduler& scheduler, SoundPlayer& sound, const FileSystem& files,
              const std::int16_t& targetNumber);

  // Hears of every cue started: the player's number for the play.
  void SetOnPlayed(std::function<void(SoundPlayer::PlayId)> onPlayed) { onPlayed_ = std::move(onPlayed); }

  void Arm(int intervalMs);
  void Timer1_Timer();
  bool Armed() const { return timer1_.Active(); }

 private:
  Timer timer1_;
  SoundPlayer& sound_;
  const FileSystem& files_;
  const std::int16_t& targetNumber_;
  std::function<void(SoundPlayer::PlayId)> onPlayed_;
};

}  // namespace cue
