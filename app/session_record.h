#pragma once

#include <string>

#include "check/session_health.h"
#include "engine/experiment.h"
#include "engine/journal.h"
#include "labfolder/session_format.h"
#include "platform/presenter.h"
#include "platform/sound.h"

namespace cue {

// The session file and the summary of one run. Launched() writes the session file as the run
// starts (subject, order condition, build, machine, screen, font, sound output); Ended()
// rewrites it with how the session ended and writes the summary page beside the results,
// for the experimenter after the subject has left. Neither shows anything on the screen, and
// a failure to write them never stops the run: they describe it, they hold no answer.
class SessionRecord {
 public:
  SessionRecord(Experiment& x, SoundPlayer& sound, const Presenter& presenter, bool pilot)
      : x_(x), sound_(sound), presenter_(presenter), pilot_(pilot) {}

  // The run's health, whose verdict the session file and the summary get at the end.
  void Watch(check::SessionHealth* health) { health_ = health; }
  void Launched();
  void Ended();
  // The sessions whose answers an earlier run left in the journal and this start wrote back
  // to their results files: their session files now say "recovered".
  static void MarkRecovered(FileSystem& files, const std::vector<RecoveredJournal>& found);

 private:
  void Write();
  void WriteSummary();

  Experiment& x_;
  SoundPlayer& sound_;  // Open() only gives the verdict of the run's own earlier Open
  const Presenter& presenter_;
  bool pilot_;
  check::SessionHealth* health_ = nullptr;
  bool launched_ = false;
  SessionInfo info_;
};

}  // namespace cue
