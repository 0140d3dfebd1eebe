#pragma once

#include <QTimer>
#include <string>
#include <vector>

#include "app/experiment_screens.h"
#include "app/last_chance.h"
#include "app/session_record.h"
#include "check/session_health.h"
#include "engine/experiment.h"
#include "engine/journal.h"
#include "engine/qt/display_form.h"
#include "intake/qt/greet.h"
#include "platform/audio/pulse_sound_player.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/generator.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_lifecycle.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_window_system.h"

namespace cue {

// The whole program: the real platform services, the experiment and every form, wired.
// Start() shows the start-up screen; from there the experimenter's Start launches the run.
class Program {
 public:
  // journalFolder receives the results that cannot be written where they belong (see
  // Journal); it must lie outside the lab folder and survive a restart of the machine. pilot
  // marks the session file of a pilot run.
  Program(const std::string& journalFolder, bool pilot);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Writes back what earlier runs in this lab folder left in the journal, tells the
  // experimenter, then shows the start-up screen.
  void Start();

 private:
  // A session ending under the program (signal 0: the X connection is gone): the kept rows
  // go to disk one last time, without a message box, and the process ends.
  void EndUnasked(int signal);
  // Tells the experimenter, once each time, that the sound output was lost during the run.
  void WatchSound();

  std::string journalFolder_;
  std::vector<RecoveredJournal> recovered_;
  SteadyClock clock_;
  QtScheduler scheduler_;
  QtDialogs dialogs_;
  DiskFileSystem files_;
  PulseSoundPlayer sound_;
  check::SessionHealth health_;  // the experiment's sound player, watched
  Pcg32 generator_;
  QtWindowSystem windows_;
  QtLifecycle lifecycle_;
  // The end of the program, once the session file and the summary are written.
  class Ending final : public Lifecycle {
   public:
    explicit Ending(Program& p) : p_(p) {}
    void EndProgram() override;

   private:
    Program& p_;
  } ending_{*this};
  QtLabelMetrics metrics_;
  Experiment experiment_;
  ExperimentScreens screens_;
  Greet greet_;
  SessionRecord session_;
  LastChance lastChance_;
  QTimer soundWatch_;
  bool soundWorked_ = false;
};

}  // namespace cue
