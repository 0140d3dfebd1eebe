#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/scheduler.h"
#include "platform/sound.h"

namespace cue {

// The path of a digit's cue: the current folder as it is now, "wave", the digit, ".wav".
std::string CuePath(const FileSystem& files, std::int16_t digit);

// How long before the cue is due its timer ticks and asks for it: more than the sound
// output's short lead (4.5 ms) and the timer's lateness.
inline constexpr int kCueAdvance = 50;  // ms
// How long before the cue is due the output is told to get ready: more than its long buffer
// (150 ms) takes to drain, so its short lead holds by the tick.
inline constexpr int kCuePrepare = 300;  // ms

// The experiment screen's cue timer (Timer1) and its tick. Arming at a trial's start starts a
// fresh count, also when the previous arming has not fired yet; each arming gives exactly one
// tick, which asks for the cue of the target digit as it stands at that moment and returns at
// once. An answer does not disarm it: the cue of a trial answered within its first second
// still plays during the pause, unless the next trial's start has re-armed the timer first.
//
// The cue's sound starts exactly the interval after the arming. A timer tick comes a little
// late and a sound starts a little after it is asked for, so the timer ticks kCueAdvance ms
// early and asks the output to start the sound at its due time: neither the timer's lateness
// nor the output's lead shifts the cue. The output places a sound exactly only on its short
// buffer (on the long one its timeline is off by up to a block of the sink), so kCuePrepare ms
// before the cue is due the timer first tells whoever drives the output (onPrepare).
class AuditoryCue {
 public:
  // targetNumber is read at the tick.
  AuditoryCue(const Clock& clock, Scheduler& scheduler, SoundPlayer& sound, const FileSystem& files,
              const std::int16_t& targetNumber);

  // Hears kCuePrepare ms before each cue is due.
  void SetOnPrepare(std::function<void()> onPrepare) { onPrepare_ = std::move(onPrepare); }
  // Hears of every cue started: the player's number for the play.
  void SetOnPlayed(std::function<void(SoundPlayer::PlayId)> onPlayed) {
    onPlayed_ = std::move(onPlayed);
  }

  // REQUIRES: intervalMs > kCuePrepare (the system arms 1000 ms).
  void Arm(int intervalMs);
  void Timer1_Timer();
  bool Armed() const { return timer1_.Active(); }

 private:
  const Clock& clock_;
  Timer timer1_;
  std::uint64_t dueMicros_ = 0;  // when the armed cue's sound is to start
  SoundPlayer& sound_;
  const FileSystem& files_;
  const std::int16_t& targetNumber_;
  std::function<void()> onPrepare_;
  std::function<void(SoundPlayer::PlayId)> onPlayed_;
};

}  // namespace cue
