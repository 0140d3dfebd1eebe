#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "study/study.h"

namespace cue {

// The study as one tidy table: one row per answered trial with every variable of the results
// file, of the trial's line in the timing record and of the session file, and the flags a lab
// filters on. The same table is written as CSV and, per subject, as a BIDS behavioural file;
// the column list below is its data dictionary (docs/data-dictionary.md is generated from it
// and a test keeps the two equal).

// Personal data leaves the machine only when asked for.
struct ExportOptions {
  bool withInitials = false;  // the registry's initials ("initials")
  bool withHost = false;      // the machine's host name from the session file ("host")
};

struct ColumnInfo {
  std::string name;
  std::string type;   // "integer", "number", "text", "boolean" (written 1/0)
  std::string units;  // empty when none
  std::string description;
  std::vector<std::pair<std::string, std::string>> levels;  // value -> meaning, for categories
};

// The columns in their order; "initials" and "host" only when options ask for them.
std::vector<ColumnInfo> ExportColumns(const ExportOptions& options);
// Every column, the personal ones included.
std::vector<ColumnInfo> AllColumns();

// The table's rows in ExportColumns order, one per answered trial of sessions; a cell is
// empty where the value is not known. Text cells are spreadsheet-safe (SpreadsheetSafe).
std::vector<std::vector<std::string>> TrialTable(const std::vector<const Session*>& sessions,
                                                 const ExportOptions& options);

// RFC 4180: CR LF, fields quoted where needed, UTF-8, one header row, no comment lines.
std::string StudyCsv(const Study& study, const ExportOptions& options = {});

// A text that a spreadsheet would take for a formula (it begins with = + - @, TAB or CR)
// with a ' before it, as the common guidance for CSV export says; other texts as they are.
std::string SpreadsheetSafe(std::string_view text);

// The data dictionary as a Markdown table (docs/data-dictionary.md holds this text).
std::string DictionaryMarkdown();

// The study as a BIDS dataset: relative path -> file text. dataset_description.json, README
// (with the study check), participants.tsv and .json, and per session
// "sub-<label>/beh/sub-<label>_task-cuesearch_beh.tsv" with its ".json" describing every
// column. The label is the subject ID ("pilot" before it for a pilot run); a second session
// under one label (an ID seen in two lab folders) gets "dup2", "dup3", ... after it.
std::map<std::string, std::string> BidsDataset(const Study& study, const ExportOptions& options,
                                               const std::string& programVersion);

}  // namespace cue
