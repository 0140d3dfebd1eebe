#pragma once

#include <ostream>

#include "bench/analysis.h"

namespace cue::bench {

// The table for people: one line per metric, then the notes.
void PrintTable(const Report& report, std::ostream& out);
// The same rows tab-separated, for scripts: key, unit, n, mean, sd, median, p95, max, min.
void WriteTsv(const Report& report, std::ostream& out);

}  // namespace cue::bench
