#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cue {

// The program's record of each trial's timing, beside the results: "Res_Data/timing-<ID>.tsv"
// (engine/timing_log.h says what each column holds and when a line is written). The results
// file's text format (a TAB after every field, CR LF) under a header of the column names
// without the results header's "#", so no reader takes one file for the other; "-" marks what
// the program did not know.

// The column names, in column order, as this version writes them.
const std::vector<std::string>& TimingColumns();
// The header line: each column name followed by TAB, CR LF.
std::string TimingHeaderLine();
// One trial's line: each field followed by TAB, CR LF.
std::string TimingLineText(const std::vector<std::string>& fields);

// A trial's line read back, by column name: a column the file lacks is absent. Read by name,
// so columns added later are picked up and files of older versions are read all the same.
using TimingLine = std::map<std::string, std::string>;

// A timing file read back. The first line names the columns (a "#" before it is passed over);
// a later line that starts with "trialNumber" names them anew. CR LF or a lone LF ends a line,
// the last one needs none; blank lines and lines starting with "#" are passed over. A line
// whose trialNumber is no number is not taken; problems names it and says why.
struct ParsedTiming {
  std::vector<std::string> columns;
  std::vector<TimingLine> lines;      // in file order
  std::vector<std::string> problems;  // "line N: ..."
};
ParsedTiming ParseTiming(std::string_view text);

// A number of a timing line; nullopt when the line or the column is absent or not a number
// ("-").
std::optional<double> TimingNumber(const TimingLine* line, const char* column);

}  // namespace cue
