#include "bench/table.h"

#include <cstdio>
#include <string>

namespace cue::bench {

namespace {

std::string Format(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

void PrintTable(const Report& report, std::ostream& out) {
  out << Format("%-52s %-6s %5s %9s %8s %9s %9s %9s %9s\n", "metric", "unit", "n", "mean", "sd",
                "median", "p95", "max", "min");
  for (const Row& r : report.rows) {
    const Summary& s = r.s;
    if (s.n == 0) {
      out << Format("%-52s %-6s %5d %9s\n", r.name.c_str(), r.unit.c_str(), 0, "-");
      continue;
    }
    out << Format("%-52s %-6s %5zu %9.3f %8.3f %9.3f %9.3f %9.3f %9.3f\n", r.name.c_str(),
                  r.unit.c_str(), s.n, s.mean, s.sd, s.median, s.p95, s.max, s.min);
  }
  for (const std::string& note : report.notes) out << "note: " << note << '\n';
}

void WriteTsv(const Report& report, std::ostream& out) {
  out << "key\tunit\tn\tmean\tsd\tmedian\tp95\tmax\tmin\n";
  for (const Row& r : report.rows) {
    const Summary& s = r.s;
    out << Format("%s\t%s\t%zu\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\n", r.key.c_str(),
                  r.unit.c_str(), s.n, s.mean, s.sd, s.median, s.p95, s.max, s.min);
  }
}

}  // namespace cue::bench
