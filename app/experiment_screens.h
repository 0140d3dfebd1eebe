#pragma once

#include <memory>

#include "engine/experiment.h"
#include "engine/qt/display_form.h"
#include "intake/greet_logic.h"
#include "platform/qt/x11_presenter.h"
#include "screens/qt/blanke_form.h"
#include "screens/qt/frame_window.h"
#include "screens/qt/rest_form.h"
#include "tools/qt/debug_window.h"

namespace cue {

// The experiment's full-screen forms, each attached to its core in the Experiment. Where the
// display server presents frames (X Present), the forms are pages of one experiment window;
// elsewhere each is a window of its own, painted by the toolkit, and the program says so once.
class ExperimentScreens {
 public:
  ExperimentScreens(Experiment& experiment, const QtLabelMetrics& metrics);
  ExperimentScreens(const ExperimentScreens&) = delete;
  ExperimentScreens& operator=(const ExperimentScreens&) = delete;

  // What the start-up screen's launch works with: these forms, Display.Start, and the blank
  // screen's pause and quit question.
  LaunchTargets Targets();

  Experiment& experiment;
  X11Presenter presenter;
  std::unique_ptr<X11KeyArrivals> keys;  // null without frames
  std::unique_ptr<FrameWindow> window;   // null without frames
  BlankeForm blanke;
  DisplayForm display;
  RestForm rest;
  MyDebug myDebug;  // created on the first grave accent
};

}  // namespace cue
