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

LaunchTargets ExperimentScreens::Targets() {
  LaunchTargets targets;
  targets.display = &display;
  targets.rest = &rest;
  targets.blanke = &blanke;
  targets.displayStart = &experiment.display;
  targets.showBlankeCross = [this](std::int16_t hide1, std::int16_t show, std::int16_t hide2,
                                   Startable& form) {
    experiment.blanke.ShowBlankeCross(hide1, show, hide2, form);
  };
  targets.unloadBlanke = [this] { experiment.blanke.RequestUnload(); };
  return targets;
}

}  // namespace cue
