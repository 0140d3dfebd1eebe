#include "labfolder/journal_format.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "labfolder/results_format.h"

namespace cue {

namespace {

constexpr std::string_view kMachineTag = "#machine ", kBootTag = "#boot ";

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

}  // namespace

std::string JournalHeading(const std::string& resultsFile, const MachineIdentity& by) {
  return "#" + resultsFile + LineEnd() + std::string(kMachineTag) + by.machine + LineEnd() +
         std::string(kBootTag) + by.boot + LineEnd() + HeaderLine(ResultsColumns());
}

Result<ParsedJournal> ParseJournal(std::string_view text) {
  const std::vector<std::string> lines = LinesOf(text);
  if (lines.empty() || lines[0].size() < 3 || lines[0][0] != '#') {
    return FileError{FileFailure::kMalformed, 0, "", "line 1 names no results file"};
  }
  ParsedJournal journal;
  journal.resultsFile = lines[0].substr(1, lines[0].size() - 1 - LineEnd().size());
  // The rows follow the results header; a journal without one (cut by hand) keeps every line
  // that is no heading.
  const std::string header = HeaderLine(ResultsColumns());
  std::size_t first = 1;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] == header) first = i + 1;
  }
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line[0] != '#') {
      if (i >= first) journal.rows.push_back(line);
    } else if (!journal.machine && line.starts_with(kMachineTag) && line.ends_with(LineEnd())) {
      journal.machine =
          line.substr(kMachineTag.size(), line.size() - kMachineTag.size() - LineEnd().size());
    }
  }
  return journal;
}

std::string JournalPrefix(const std::string& labFolder) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(labFolder)));
  std::string name = std::filesystem::path(labFolder).filename().string();
  if (name.size() > kJournalNameBytes) {
    std::size_t cut = kJournalNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
      --cut;  // inside a character
    name.resize(cut);
  }
  return name + "-" + hex + "-";
}

std::string JournalName(const std::string& resultsFile) {
  const std::filesystem::path results(resultsFile);
  return JournalPrefix(results.parent_path().parent_path().string()) + results.filename().string();
}

}  // namespace cue
