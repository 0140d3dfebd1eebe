#include "bench/lab_files.h"

#include <variant>

#include "labfolder/layout.h"
#include "labfolder/results_format.h"
#include "labfolder/timing_format.h"
#include "platform/files.h"

namespace cue::bench {

namespace {

// A column that must hold a number.
template <typename T>
bool Required(const TimingLine& line, const char* column, T& value) {
  const auto it = line.find(column);
  return it != line.end() && ReadNumber(it->second, value);
}

// A column that may be absent or "-".
template <typename T>
bool Optional(const TimingLine& line, const char* column, std::optional<T>& value) {
  const auto it = line.find(column);
  if (it == line.end() || it->second == "-") {
    value.reset();
    return true;
  }
  T v{};
  if (!ReadNumber(it->second, v)) return false;
  value = v;
  return true;
}

std::optional<TimingRow> RowOf(const TimingLine& line) {
  TimingRow r;
  std::optional<double> hz;
  const bool ok =
      Required(line, "trialNumber", r.trial) && Required(line, "clockStart", r.clockStart) &&
      Optional(line, "cueTick", r.cueTick) && Optional(line, "cueOnset", r.cueOnset) &&
      Optional(line, "answer", r.answer) && Optional(line, "feedbackOnset", r.feedbackOnset) &&
      Optional(line, "fieldOnset", r.fieldOnset) && Optional(line, "fieldMsc", r.fieldMsc) &&
      Optional(line, "rtFromOnset", r.rtFromOnset) &&
      Optional(line, "missedFrames", r.missedRefreshes) &&
      Optional(line, "keyArrival", r.keyArrival) && Optional(line, "refreshHz", hz) &&
      Optional(line, "leadMs", r.leadMs) && Optional(line, "deadlineMs", r.deadlineMs) &&
      Optional(line, "stepsMs", r.stepsMs);
  if (!ok) return std::nullopt;
  r.refreshHz = hz.value_or(0);
  return r;
}

std::string ReadText(const FileSystem& files, const std::string& path) {
  const auto read = files.ReadAll(path);
  const auto* text = std::get_if<std::string>(&read);
  return text != nullptr ? *text : std::string();
}

}  // namespace

LabRun LabRunOf(std::string_view results, std::string_view timing) {
  LabRun run;
  if (!results.empty()) {
    const ParsedResults parsed = ParseResults(results);
    for (const ResultsRow& row : parsed.rows) {
      run.results[row.trialNumber] =
          ResultRow{row.trialNumber,  row.blockType,  row.trialType1, row.targetNumber,
                    row.flickerDelay, row.subjectRes, row.rt};
    }
    for (const auto& problem : parsed.problems)
      run.unreadable += problem.starts_with("line ") ? 1 : 0;
  }
  const ParsedTiming parsed = ParseTiming(timing);
  run.unreadable += static_cast<int>(parsed.problems.size());
  for (const TimingLine& line : parsed.lines) {
    if (const auto row = RowOf(line)) {
      run.timing[row->trial] = *row;
    } else {
      ++run.unreadable;
    }
  }
  return run;
}

LabRun ReadLabRun(const std::string& lab, std::int16_t subjectId) {
  const DiskFileSystem disk;
  const std::string folder = JoinPath(lab, kResultsFolder);
  return LabRunOf(ReadText(disk, JoinPath(folder, ResultsBaseName(subjectId))),
                  ReadText(disk, JoinPath(folder, TimingBaseName(subjectId))));
}

}  // namespace cue::bench
