#include "engine/experiment.h"

namespace cue {

Experiment::Experiment(Services p, const LabelMetrics& metrics, std::string rescueFolder)
    : platform(p),
      gate(p.scheduler),
      dialogs(p.dialogs, gate),
      frameWaits(p.scheduler, gate),
      blanke(frameWaits, dialogs, p.windows, [this] { EndProgram(); }),
      display(
          state,
          Services{p.clock, p.scheduler, dialogs, p.files, p.sound, p.generator, p.windows,
                   p.lifecycle},
          blanke, frameWaits.flicker(), [this] { rest.Start(); }, metrics, std::move(rescueFolder),
          [this] { EndProgram(); }),
      rest(blanke, display, [this] { display.BeginBlock = true; }) {}

void Experiment::EndProgram() {
  display.FinalFlush();
  gate.Shutdown();
  platform.lifecycle.EndProgram();
}

}  // namespace cue
