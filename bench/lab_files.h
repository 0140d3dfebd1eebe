#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

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

// Parses the files' text (TAB after every field, CR LF, "#" header lines skipped). A line
// that cannot be read is skipped and counted in *bad when bad is given.
std::map<int, ResultRow> ParseResults(const std::string& text, int* bad = nullptr);
std::map<int, TimingRow> ParseTiming(const std::string& text, int* bad = nullptr);

// The whole file, or nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path);

}  // namespace cue::bench
