#pragma once

#include "engine/experiment.h"
#include "engine/qt/display_form.h"
#include "intake/greet_logic.h"
#include "screens/qt/blanke_form.h"
#include "screens/qt/rest_form.h"
#include "tools/qt/debug_window.h"

namespace cue {

// The experiment's full-screen forms, each attached to its core in the Experiment.
class ExperimentScreens {
 public:
  ExperimentScreens(Experiment& experiment, const QtLabelMetrics& metrics);
  ExperimentScreens(const ExperimentScreens&) = delete;
  ExperimentScreens& operator=(const ExperimentScreens&) = delete;

  // What the start-up screen's launch works with: these forms, Display.Start, and the blank
  // screen's pause and quit question.
  LaunchTargets Targets();

  Experiment& experiment;
  BlankeForm blanke;
  DisplayForm display;
  RestForm rest;
  MyDebug myDebug;  // created on the first grave accent
};

}  // namespace cue
