#include "bench/stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace cue::bench {

double Percentile(const std::vector<double>& sorted, double p) {
  const double rank = p * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(rank));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  const double fraction = rank - static_cast<double>(below);
  return sorted[below] + fraction * (sorted[above] - sorted[below]);
}

Summary Summarize(std::vector<double> values) {
  Summary s;
  s.n = values.size();
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const double count = static_cast<double>(values.size());
  s.mean = std::accumulate(values.begin(), values.end(), 0.0) / count;
  if (values.size() > 1) {
    double squares = 0;
    for (const double v : values) squares += (v - s.mean) * (v - s.mean);
    s.sd = std::sqrt(squares / (count - 1));
  }
  s.median = Percentile(values, 0.5);
  s.p95 = Percentile(values, 0.95);
  s.min = values.front();
  s.max = values.back();
  return s;
}

}  // namespace cue::bench
