#pragma once

#include <string>

#include "app/experiment_screens.h"
#include "app/session_record.h"
#include "engine/experiment.h"
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
  // programFolder receives the results that cannot be written where they belong; pilot marks
  // the session file of a pilot run.
  Program(const std::string& programFolder, bool pilot);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  void Start();

 private:
  SteadyClock clock_;
  QtScheduler scheduler_;
  QtDialogs dialogs_;
  DiskFileSystem files_;
  PulseSoundPlayer sound_;
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
};

}  // namespace cue
