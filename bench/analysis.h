#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/lab_files.h"
#include "bench/proc_probe.h"
#include "bench/records.h"
#include "bench/stats.h"

namespace cue::bench {

// A sound found in the capture, on CLOCK_MONOTONIC.
struct Heard {
  double at = 0;     // µs
  int sound = 0;     // 1..9 a cue digit, kCorrect, kError; 0 not recognised
  int dropouts = 0;  // silent stretches inside it
};

// Everything one run recorded, from outside and from the program's own files.
struct RunRecord {
  std::vector<Seen> screens;  // in time order
  std::vector<KeySent> keys;  // tag = trial for answers, 0 for the rest screen's space
  std::map<int, ResultRow> results;
  std::map<int, TimingRow> timing;
  std::vector<Heard> sounds;  // in time order
  std::vector<ProcSample> proc;
  int trials = 0;  // answered by the robot: trials 1..trials are measured
  // The method's own delays and scatter (µs).
  std::vector<double> damageDelay;
  std::vector<double> keyDelay;
  std::vector<double> grabTime;
  std::vector<CaptureAnchor> anchors;
  std::int64_t captureLost = 0;  // frames the recording lost
};

// One line of the table: a metric over a sample (the unit is the Summary's).
struct Row {
  std::string key;   // short and stable, for scripts
  std::string name;  // for people
  std::string unit;
  Summary s;
};

struct Report {
  std::vector<Row> rows;
  std::vector<std::string> notes;  // what did not go as expected, counted
};

Report Analyse(const RunRecord& run);

// The pause before a field, told from the screens seen since the last field.
struct Pause {
  enum Kind { kNone, kCross, kRest } kind = kNone;
  std::int64_t blank1 = 0;  // first blank appeared
  std::int64_t middle = 0;  // cross or rest text appeared
  std::int64_t blank2 = 0;  // second blank appeared (cross gone, or rest gone)
};
// Looks at the tail of the screens (oldest first) seen between two fields: blank, cross,
// blank or blank, rest, blank.
Pause PauseOf(const std::vector<Seen>& between);

}  // namespace cue::bench
