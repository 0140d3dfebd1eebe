#include "bench/lab_files.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace cue::bench {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() != '#') lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  if (start < line.size()) fields.push_back(line.substr(start));
  return fields;
}

template <typename T>
bool Number(const std::string& text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool Optional(const std::string& text, std::optional<std::int64_t>& value) {
  if (text == "-") {
    value.reset();
    return true;
  }
  std::int64_t v = 0;
  if (!Number(text, v)) return false;
  value = v;
  return true;
}

}  // namespace

std::map<int, ResultRow> ParseResults(const std::string& text, int* bad) {
  std::map<int, ResultRow> rows;
  for (const auto& line : Lines(text)) {
    const auto f = Fields(line);
    ResultRow r;
    const bool ok = f.size() == 13 && Number(f[0], r.trial) && Number(f[2], r.blockType) &&
                    Number(f[4], r.trialType1) && Number(f[5], r.targetNumber) &&
                    Number(f[10], r.flickerDelay) && Number(f[11], r.subjectRes) &&
                    Number(f[12], r.rt);
    if (ok) {
      rows[r.trial] = r;
    } else if (bad != nullptr) {
      ++*bad;
    }
  }
  return rows;
}

std::map<int, TimingRow> ParseTiming(const std::string& text, int* bad) {
  std::map<int, TimingRow> rows;
  // The display's columns, by name from the (last) header line, "#" before it or not: whole
  // numbers first, then decimals.
  const char* const names[] = {"fieldOnset", "fieldMsc", "rtFromOnset", "missedFrames", "keyArrival",
                               "refreshHz",  "leadMs",   "deadlineMs",  "stepsMs"};
  constexpr std::size_t kWhole = 5, kNames = std::size(names);
  std::size_t at[kNames] = {};
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '#') line.erase(0, 1);
    if (line.rfind("trialNumber\t", 0) != 0) continue;
    const auto header = Fields(line);
    for (std::size_t i = 0; i < header.size(); ++i) {
      for (std::size_t n = 0; n < kNames; ++n) {
        if (header[i] == names[n]) at[n] = i;
      }
    }
  }
  for (const auto& line : Lines(text)) {
    if (line.rfind("trialNumber\t", 0) == 0) continue;  // the header
    const auto f = Fields(line);
    TimingRow r;
    bool ok = f.size() >= 6 && Number(f[0], r.trial) && Number(f[1], r.clockStart) &&
              Optional(f[2], r.cueTick) && Optional(f[3], r.cueOnset) && Optional(f[4], r.answer) &&
              Optional(f[5], r.feedbackOnset);
    std::optional<std::int64_t>* whole[kWhole] = {&r.fieldOnset, &r.fieldMsc, &r.rtFromOnset, &r.missedRefreshes,
                                                  &r.keyArrival};
    for (std::size_t n = 0; n < kWhole && ok; ++n) {
      if (at[n] != 0 && at[n] < f.size()) ok = Optional(f[at[n]], *whole[n]);
    }
    std::optional<double> hz;
    std::optional<double>* decimals[] = {&hz, &r.leadMs, &r.deadlineMs, &r.stepsMs};
    for (std::size_t n = kWhole; n < kNames && ok; ++n) {
      if (at[n] == 0 || at[n] >= f.size() || f[at[n]] == "-") continue;
      double value = 0;
      ok = Number(f[at[n]], value);
      *decimals[n - kWhole] = value;
    }
    r.refreshHz = hz.value_or(0);
    if (ok) {
      rows[r.trial] = r;
    } else if (bad != nullptr) {
      ++*bad;
    }
  }
  return rows;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace cue::bench
