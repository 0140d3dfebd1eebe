#include "study/summary.h"

#include <algorithm>

namespace cue {

namespace {

std::optional<double> Median(std::vector<std::int32_t> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

std::string Count(int n, const char* what) { return std::to_string(n) + " " + what; }

}  // namespace

Summary Summarise(const std::vector<const Session*>& sessions, std::string title) {
  Summary summary;
  summary.title = std::move(title);
  summary.blockTypes.assign(kTrialsPerSession / kTrialsPerBlock, -1);
  std::vector<std::int32_t> rts[3][2];
  TimingHealth health;
  bool frames = false;
  std::vector<std::string> missing;
  for (const Session* s : sessions) {
    auto& series = summary.series.emplace_back();
    for (const auto& r : s->rows) {
      if (r.blockType < 1 || r.blockType > 3) continue;
      const bool present = r.trialType1 == 1;
      const bool correct = (r.subjectRes == 1) == present;
      auto& cell = rts[r.blockType - 1][present ? 0 : 1];
      if (correct) cell.push_back(r.rt);
      series.emplace_back(r.trialNumber, r.rt);
      if (r.blockNumber >= 1 && r.blockNumber <= static_cast<std::int32_t>(summary.blockTypes.size())) {
        auto& type = summary.blockTypes[static_cast<std::size_t>(r.blockNumber - 1)];
        type = type == -1 || type == r.blockType ? r.blockType : 0;
      }
    }
    health.trials += s->health.trials;
    health.cuesNotPlayed += s->health.cuesNotPlayed;
    health.lateCues += s->health.lateCues;
    if (s->health.missedFrames) {
      frames = true;
      health.missedFrames = health.missedFrames.value_or(0) + *s->health.missedFrames;
    }
    if (s->info) {
      for (const auto& path : s->info->missingSounds) missing.push_back(path);
    }
  }
  for (auto& type : summary.blockTypes) type = std::max(type, 0);
  for (std::int32_t type = 1; type <= 3; ++type) {
    for (const bool present : {true, false}) {
      SummaryCell cell{type, present, 0, 0, Median(rts[type - 1][present ? 0 : 1])};
      for (const Session* s : sessions) {
        for (const auto& r : s->rows) {
          if (r.blockType != type || (r.trialType1 == 1) != present) continue;
          ++cell.answered;
          cell.correct += (r.subjectRes == 1) == present ? 1 : 0;
        }
      }
      summary.cells.push_back(cell);
    }
  }
  summary.health.push_back(Count(health.trials, "trials in the timing record") + ", " +
                           Count(health.cuesNotPlayed, "cues without an onset") + ", " +
                           Count(health.lateCues, "cues more than 2 ms off their 1000 ms"));
  summary.health.push_back(frames ? Count(*health.missedFrames, "missed frames")
                                  : std::string("missed frames: not recorded by this version"));
  std::string sounds = missing.empty() ? "none" : "";
  for (const auto& path : missing) sounds += (sounds.empty() ? "" : ", ") + path;
  summary.health.push_back("missing sounds: " + sounds);
  return summary;
}

}  // namespace cue
