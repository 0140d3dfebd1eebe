#pragma once

#include "engine/experiment.h"
#include "engine/qt/display_form.h"
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

  // The launch: the experiment screen, the rest screen and the blank screen are loaded and
  // shown in this order (the blank screen in front), then the first pause leads to trial 1.
  void LoadAndShow();
  void StartFirstPause();

  Experiment& experiment;
  BlankeForm blanke;
  DisplayForm display;
  RestForm rest;
  MyDebug myDebug;  // created on the first grave accent
};

}  // namespace cue
