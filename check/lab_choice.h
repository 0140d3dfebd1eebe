#pragma once

#include <optional>
#include <string>

namespace cue::check {

// The lab folder holds CurrentSubjects.txt, Res_Data and the sounds in wave/. Which one a
// start uses is chosen, in this order: the folder named with --lab DIR; the environment
// variable CUESEARCH_LAB; the current folder when it holds wave/ (a start from inside the
// lab folder, as the source tree's make run and the tests do); the last folder a session
// used, which the program remembers (a desktop launcher starts in the home folder); else the
// experimenter is asked. A folder given, remembered or picked without wave/ is refused.
struct LabChoice {
  std::string folder;  // empty: ask the experimenter
  std::string from;    // "--lab", "CUESEARCH_LAB", "the current folder", "the last folder used"
};

struct LabCandidates {
  std::optional<std::string> argument;     // --lab DIR
  std::optional<std::string> environment;  // CUESEARCH_LAB, when set and not empty
  std::string current;                     // the current folder
  bool currentHasWave = false;
  std::optional<std::string> remembered;  // the last folder used
};

LabChoice ChooseLab(const LabCandidates& candidates);

// The refusal of a folder without the sounds, naming it.
std::string NoWaveMessage(const std::string& folder, const std::string& from);

}  // namespace cue::check
