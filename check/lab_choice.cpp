#include "check/lab_choice.h"

namespace cue::check {

LabChoice ChooseLab(const LabCandidates& c) {
  if (c.argument) return {*c.argument, "--lab"};
  if (c.environment) return {*c.environment, "CUESEARCH_LAB"};
  if (c.currentHasWave) return {c.current, "the current folder"};
  if (c.remembered) return {*c.remembered, "the last folder used"};
  return {};
}

std::string NoWaveMessage(const std::string& folder, const std::string& from) {
  return "The folder " + folder + " (" + from +
         ") is not a lab folder: it has no \"wave\" folder with the sounds.\r"
         "Start the program with --lab and the lab folder (the one holding wave, Res_Data and "
         "CurrentSubjects.txt), or make the sounds there first with cuesearch-make-sounds " +
         folder + ".";
}

}  // namespace cue::check
