#include "app/experiment_screens.h"

namespace cue {

ExperimentScreens::ExperimentScreens(Experiment& x, const QtLabelMetrics& metrics)
    : experiment(x),
      blanke(x.blanke),
      display(x.display, metrics),
      rest(x.rest),
      myDebug(x.scale, x.platform.windows) {
  x.blanke.SetView(&blanke);
  x.rest.SetForm(&rest);
  x.display.SetDebugToggle([this] { myDebug.Toggle(); });
}

void ExperimentScreens::LoadAndShow() {
  Form* const forms[] = {&display, &rest, &blanke};
  LoadAndShowForms(forms);
}

void ExperimentScreens::StartFirstPause() {
  experiment.blanke.ShowBlankeCross(PAUSE_BLANK_1, PAUSE_CROSS, PAUSE_BLANK_2, experiment.display);
}

}  // namespace cue
