#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace cue {

// A journal: rows that a results file could not take, kept in a second place (engine/journal.h
// says where and when). Its lines, each ended by CR LF: "#" and the results file's full path;
// "#machine <machine id> <host name>" and "#boot <boot id>" of the machine that wrote it; the
// results header; then the kept rows in order, as the results file holds them.

// Where and when a journal was written.
struct MachineIdentity {
  std::string machine;  // "<machine id> <host name>"; the machine id may be empty
  std::string boot;     // the kernel's id of this boot; empty when unknown
};

// The heading lines of a new journal for resultsFile, the results header included.
std::string JournalHeading(const std::string& resultsFile, const MachineIdentity& by);

// A journal read back.
struct ParsedJournal {
  std::string resultsFile;             // from the first line
  std::optional<std::string> machine;  // none: the journal does not say
  std::vector<std::string> rows;  // the kept rows after the results header, each with its CR LF
};
// A journal whose first line names no results file is refused (FileFailure::kMalformed).
Result<ParsedJournal> ParseJournal(std::string_view text);

// "<lab folder's name>-<16 hex digits hashing the lab folder's full path>-R-<ID>.txt", from
// the results file's full path ".../<lab>/Res_Data/R-<ID>.txt": two lab folders of the same
// name never share a journal, and a person looking at the folder can tell which lab it is.
// The name is cut to its first kJournalNameBytes bytes (at a character's start, UTF-8), so the
// journal's name fits every file system whatever the lab folder's name.
inline constexpr std::size_t kJournalNameBytes = 40;
std::string JournalName(const std::string& resultsFile);
// What the names of every journal of labFolder start with.
std::string JournalPrefix(const std::string& labFolder);

}  // namespace cue
