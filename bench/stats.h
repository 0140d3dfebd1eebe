#pragma once

#include <cstddef>
#include <vector>

namespace cue::bench {

// Summary of a sample of measurements, all in the sample's unit (the benchmark uses ms).
struct Summary {
  std::size_t n = 0;
  double mean = 0;
  double sd = 0;  // sample standard deviation (n - 1); 0 for n < 2
  double median = 0;
  double p95 = 0;
  double min = 0;
  double max = 0;
};

// Percentiles by linear interpolation between the closest ranks (the "type 7" rule of most
// statistics packages): p in [0, 1] over the sorted values. REQUIRES: !sorted.empty().
double Percentile(const std::vector<double>& sorted, double p);

// Summary of values; all zero for an empty sample.
Summary Summarize(std::vector<double> values);

}  // namespace cue::bench
