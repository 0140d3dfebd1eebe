#include "labfolder/timing_format.h"

#include <algorithm>

#include "labfolder/results_format.h"

namespace cue {

namespace {

// The fields of a line without its line end, the trailing TAB's empty one left out.
std::vector<std::string> Fields(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\t') line.remove_suffix(1);
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t tab = std::min(line.find('\t', start), line.size());
    fields.emplace_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return fields;
}

std::optional<double> Number(const std::string& cell) {
  double value = 0;
  if (!ReadNumber(cell, value)) return std::nullopt;
  return value;
}

}  // namespace

const std::vector<std::string>& TimingColumns() {
  static const std::vector<std::string> kColumns = {
      "trialNumber",   "clockStart",      "cueTick",
      "cueOnset",      "answer",          "feedbackOnset",
      "cueDelayMs",    "feedbackDelayMs", "soundOutput",
      "fieldOnset",    "fieldMsc",        "rtFromOnset",
      "missedFrames",  "refreshHz",       "screen",
      "presenter",     "keyArrival",      "leadMs",
      "deadlineMs",    "stepsMs",         "flickerShownRefreshes",
      "flickerShownMs"};
  return kColumns;
}

std::string TimingHeaderLine() { return TimingLineText(TimingColumns()); }

std::string TimingLineText(const std::vector<std::string>& fields) {
  std::string line;
  for (const auto& field : fields) line += field + '\t';
  return line + LineEnd();
}

ParsedTiming ParseTiming(std::string_view text) {
  ParsedTiming parsed;
  int number = 0;
  bool header = true;
  for (std::size_t start = 0; start < text.size();) {
    ++number;
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (header && line.starts_with('#')) line.remove_prefix(1);
    std::vector<std::string> fields = Fields(line);
    if (header || (!fields.empty() && fields[0] == "trialNumber")) {
      parsed.columns = std::move(fields);
      header = false;
      continue;
    }
    if (fields.empty() || line.starts_with('#')) continue;
    TimingLine row;
    for (std::size_t c = 0; c < std::min(parsed.columns.size(), fields.size()); ++c) {
      row[parsed.columns[c]] = fields[c];
    }
    if (!TimingNumber(&row, "trialNumber")) {
      parsed.problems.push_back("line " + std::to_string(number) +
                                ": trialNumber is not a number: \"" + fields[0] + "\"");
      continue;
    }
    parsed.lines.push_back(std::move(row));
  }
  return parsed;
}

std::optional<double> TimingNumber(const TimingLine* line, const char* column) {
  if (line == nullptr) return std::nullopt;
  const auto it = line->find(column);
  return it == line->end() ? std::nullopt : Number(it->second);
}

}  // namespace cue
