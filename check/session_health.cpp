#include "check/session_health.h"

namespace cue::check {

SoundPlayer::PlayId SessionHealth::PlayAt(SoundId id, std::uint64_t atMicros) {
  const PlayId play = sound_.PlayAt(id, atMicros);
  waiting_.push_back({play, atMicros, trial_});
  return play;
}

void SessionHealth::Problem(std::string reason, bool timing) {
  say_(reason);
  (timing ? timingReasons_ : soundReasons_).push_back(std::move(reason));
}

void SessionHealth::Poll(const Presenter& presenter, std::int32_t trial) {
  const std::string during =
      trial > 0 ? " during trial " + std::to_string(trial) : " before the first trial";
  trial_ = trial;
  if (!polled_) {
    polled_ = true;
    frameAccurate_ = presenter.FrameAccurate();
    if (!frameAccurate_)
      Problem("frames painted by the toolkit: the screens' onsets are not known", true);
  }
  const std::uint64_t missed = presenter.MissedRefreshes();
  if (missed > missed_) {
    say_(std::to_string(missed - missed_) + " refreshes missed" + during + " (" +
         std::to_string(missed) + " in the session)");
    missed_ = missed;
  }
  const bool works = sound_.OutputAvailable();
  if (!works && !outputLost_)
    Problem("sound output lost" + during + ": " + sound_.OutputError(), false);
  outputLost_ = !works;
  const std::uint64_t now = clock_.Micros();
  std::erase_if(waiting_, [&](const Cue& cue) {
    if (cue.play != 0 && sound_.OnsetMicros(cue.play)) return true;
    if (cue.play != 0 && now < cue.due + kCueLostAfterMicros) return false;
    ++cuesLost_;
    say_("the cue of trial " + std::to_string(cue.trial) + " did not play");
    return true;
  });
}

SessionVerdict SessionHealth::Verdict() const {
  SessionVerdict v;
  v.missedRefreshes = missed_;
  v.cuesLost = cuesLost_;
  v.reasons = timingReasons_;
  if (missed_ > kMissedRefreshLimit) {
    v.reasons.push_back(std::to_string(missed_) + " refreshes missed (more than " +
                        std::to_string(kMissedRefreshLimit) + ")");
  }
  v.timingOk = v.reasons.empty();
  v.reasons.insert(v.reasons.end(), soundReasons_.begin(), soundReasons_.end());
  if (cuesLost_ > 0) v.reasons.push_back(std::to_string(cuesLost_) + " cues did not play");
  v.soundOk = soundReasons_.empty() && cuesLost_ == 0;
  return v;
}

}  // namespace cue::check
