#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "study/study.h"

namespace cue {

// What the one-page summary shows, for one session or a whole study: accuracy and median RT
// per block type and target presence, RT over the trials with the blocks marked, and the
// timing health.
struct SummaryCell {
  std::int32_t blockType = 0;
  bool present = false;
  int answered = 0;
  int correct = 0;
  std::optional<double> medianRt;  // ms, of the correct answers
};

struct Summary {
  std::string title;
  std::vector<std::string> about;  // lines under the title
  std::vector<SummaryCell> cells;  // block types 1..3, each present then absent
  // One series per session: (trial, RT in ms).
  std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> series;
  // Block type of each block 1..9 when every session agrees, else 0.
  std::vector<std::int32_t> blockTypes;
  std::vector<std::string> health;
};

Summary Summarise(const std::vector<const Session*>& sessions, std::string title);

}  // namespace cue
