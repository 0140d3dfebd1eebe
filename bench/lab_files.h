#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace cue::bench {

// One row of the results file (docs/results-format.md): the columns the benchmark uses.
struct ResultRow {
  int trial = 0;
  int blockType = 0;
  int trialType1 = 0;  // 1 target present, 2 absent
  int targetNumber = 0;
  int flickerDelay = 0;  // ms
  int subjectRes = 0;    // 1 "m", 2 "n"
  int rt = 0;            // ms
  bool Correct() const { return (subjectRes == 1) == (trialType1 == 1); }
};

// One row of the program's timing log (Res_Data/timing-<ID>.tsv): µs of CLOCK_MONOTONIC;
// absent where the log has "-".
struct TimingRow {
  int trial = 0;
  std::int64_t clockStart = 0;
  std::optional<std::int64_t> cueTick;
  std::optional<std::int64_t> cueOnset;
  std::optional<std::int64_t> answer;
  std::optional<std::int64_t> feedbackOnset;
  // What the display reported (columns found by their header names): the field's onset and
  // refresh count, the RT from it, missed refreshes, the key's arrival on the program's input
  // thread, the measured rate (Hz; 0 unknown).
  std::optional<std::int64_t> fieldOnset;
  std::optional<std::int64_t> fieldMsc;
  std::optional<std::int64_t> rtFromOnset;
  std::optional<std::int64_t> missedRefreshes;
  double refreshHz = 0;
  std::optional<std::int64_t> keyArrival;
  // When the trial's steps ran (ms): the lead they were started with before the field's
  // refresh, the display's deadline as the program measured it, and the steps' own time.
  std::optional<double> leadMs;
  std::optional<double> deadlineMs;
  std::optional<double> stepsMs;
};

// A run's results and timing files read back through the lab folder's own readers
// (labfolder/results_format.h, labfolder/timing_format.h), keyed by trial number.
struct LabRun {
  std::map<int, ResultRow> results;
  std::map<int, TimingRow> timing;
  int unreadable = 0;  // lines of either file that could not be read
};
// From the files' texts.
LabRun LabRunOf(std::string_view results, std::string_view timing);
// From the subject's files in the lab folder lab; a file that cannot be read gives no rows.
LabRun ReadLabRun(const std::string& lab, std::int16_t subjectId);

}  // namespace cue::bench
