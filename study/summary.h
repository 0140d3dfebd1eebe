#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "study/study.h"

namespace cue {

// What the one-page summary shows, for one session or a whole study: the timing and sound
// verdicts, accuracy, errors, answers before the cue and the median RT of the correct answers
// per block type and target presence, every trial's RT with the blocks marked, and the timing
// health. RTs are the results file's (rt_ms).
struct SummaryCell {
  std::int32_t blockType = 0;
  bool present = false;
  int answered = 0;
  int correct = 0;
  int beforeCue = 0;               // answers before the cue's onset
  std::optional<double> medianRt;  // ms, of the correct answers given after the cue
};

struct SummaryPoint {
  std::int32_t trial = 0;
  std::int32_t rt = 0;  // ms
  bool correct = false;
  bool beforeCue = false;
};

// ok: nullopt when nothing was recorded to judge by.
struct Verdict {
  std::optional<bool> ok;
  std::string text;
};

struct Summary {
  std::string title;
  std::vector<std::string> about;  // lines under the title
  Verdict timing, sound;
  std::vector<SummaryCell> cells;                 // block types 1..3, each present then absent
  std::vector<std::vector<SummaryPoint>> series;  // one per session, in trial order
  // Block type of each block 1..9 when every session agrees, else 0.
  std::vector<std::int32_t> blockTypes;
  std::vector<std::string> health;
};

// The verdicts are the run's own where the session file holds them, else judged from the
// timing record: timing ok when every field's onset is known, no refresh was missed and every
// cue started within kLateCueMs of its 1000 ms; sound ok when no trial lost the sound output,
// every cue due played and no sound file was missing.
Summary Summarise(const std::vector<const Session*>& sessions, std::string title);

}  // namespace cue
