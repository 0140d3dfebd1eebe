#pragma once

#include <string>

#include "engine/experiment_state.h"
#include "engine/trial_cycle.h"
#include "platform/modal_gate.h"
#include "platform/services.h"
#include "screens/blanke.h"
#include "screens/layout.h"
#include "screens/rest.h"

namespace cue {

// How the pieces meet.
//
// One Experiment exists per run. It owns the experiment's state and the cores of the screens
// (the blank screen, the experiment screen's trial cycle, the rest screen) and reaches the
// outside only through the platform services it is given: the clock, the scheduler (every
// wait, pause, cue and flicker step), the sound player, message boxes, files, the window
// system and the end of the program. The Qt forms are thin: they attach themselves as views,
// turn key presses and resizes into the cores' handlers and draw what the cores hold. Tests
// run the same cores on a virtual clock and scheduler with recording doubles.
//
// Everything runs on one thread. Screens hand over by calling Start() on the next one when a
// pause ends; a message box holds back the steps that follow a wait until it is answered
// (ModalGate), as the handler that opened it would.
class Experiment {
 public:
  // rescueFolder takes the results that cannot be written where they belong (the program's
  // own folder in the real program).
  Experiment(Services platform, const LabelMetrics& metrics, std::string rescueFolder);
  Experiment(const Experiment&) = delete;
  Experiment& operator=(const Experiment&) = delete;

  // Puts every kept result on disk, then ends the program at once: no handler, wait or trial
  // start runs afterwards.
  void EndProgram();

  // Built in the order declared, each handed only what is declared above it: the trial cycle
  // reaches the rest screen, declared after it, through a callback that runs once both exist.
  Services platform;
  ExperimentState state;
  ScaleMemory scale;  // the one size remembered by ScaleControls
  ModalGate gate;
  GatedDialogs dialogs;   // message boxes hold back the steps that follow a wait
  FrameWaits frameWaits;  // the flicker's and the pauses' frame-aligned waits
  Blanke blanke;
  TrialCycle display;
  Rest rest;
};

}  // namespace cue
