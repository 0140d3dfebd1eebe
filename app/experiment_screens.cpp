#include "app/experiment_screens.h"

#include <cstdio>

namespace cue {

ExperimentScreens::ExperimentScreens(Experiment& x, const QtLabelMetrics& metrics)
    : experiment(x),
      presenter(std::string(), &x.platform.scheduler),
      blanke(x.blanke),
      display(x.display, metrics),
      rest(x.rest),
      myDebug(x.scale, x.platform.windows) {
  x.blanke.SetView(&blanke);
  x.rest.SetForm(&rest);
  x.display.SetDebugToggle([this] { myDebug.Toggle(); });
  x.display.SetPresenter(&presenter);
  x.frameWaits.SetPresenter(&presenter, &x.platform.clock);
  if (!presenter.FrameAccurate()) {
    std::fprintf(stderr,
                 "cuesearch: frames are painted by the toolkit (%s): the screens' onsets are not "
                 "known, and the timing file says \"toolkit\".\n",
                 presenter.Unavailable().c_str());
    return;
  }
  keys = std::make_unique<X11KeyArrivals>();
  x.display.SetKeyArrivals(keys.get());
  window = std::make_unique<FrameWindow>(presenter, *keys);
  for (ExperimentScreen* page :
       {static_cast<ExperimentScreen*>(&blanke), static_cast<ExperimentScreen*>(&display),
        static_cast<ExperimentScreen*>(&rest)}) {
    page->UseFrames(window.get());
  }
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
