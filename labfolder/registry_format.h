#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace cue {

// The subject registry: "CurrentSubjects.txt" in the current folder, one line per launch,
// appended and never rewritten. A line holds the subject ID, the initials and the order
// condition in print zones of 14 characters, ended by CR LF:
//
//   columns  1-14  " 12 " and blanks   the ID in numeric print form (sign place, digits, blank)
//   columns 15-28  "AB" and blanks     the initials as typed, 0 to 3 letters
//   columns 29-    " 1 "               the order condition in numeric print form
//
// The file is edited by hand in labs, so reading it is deliberately forgiving where that is
// safe and strict where a guess could let a registered ID through (see ScanRegistry).

// One registry line, CR LF included. Each field after the first starts at the next print
// zone (column 15, 29, ...) after the field before; a field that fills its zone to the last
// column pushes the next one a zone further, so fields never touch. Numbers are in print
// form: a blank or "-" for the sign, the digits without leading zeros, a blank.
std::string RegistryLine(std::int16_t subjectId, std::string_view initials,
                         std::int16_t orderCondition);

// The answer to "is this subject ID new?".
struct SubjectCheck {
  enum class Result {
    kNew,         // no line names the ID (or there is no registry yet)
    kRegistered,  // a line names it
    kUnreadable,  // the file exists but cannot be read: error holds why
    kMalformed,   // the ID is named by no line, but some line cannot be read: see below
  };
  Result result = Result::kNew;
  FileError error;     // kUnreadable
  int line = 0;        // kMalformed: the 1-based number of the first line that cannot be read
  std::string text;    // kMalformed: the start of that line, printable, for the message
  std::string reason;  // kMalformed: what is wrong with it

  bool IsNew() const { return result == Result::kNew; }
};

// Reads registry text and looks for subjectId as the first field of a line.
//
// The system writes one subject per line, and its field-by-field reading (a number, then
// the rest of the line as one text field) takes exactly the first field of every such line.
// This reader takes the first field line by line, which gives the same answer on every line
// the system writes, and decides hand-edited text as follows:
//   - CR LF, a lone LF and a lone CR all end a line; the last line needs no line end;
//   - a UTF-8 byte-order mark at the start of the file is skipped;
//   - lines holding nothing but blanks and tabs are skipped: they name no subject;
//   - the first field runs from the first character that is not a blank or tab to the next
//     blank, tab or comma (so "12,AB,1" and "12<TAB>AB<TAB>1" name subject 12);
//   - it must be a whole number, optionally signed, leading zeros allowed ("007" is 7), that
//     fits 16 bits; the rest of the line is not read;
//   - any other first field (letters, "12AB", "1.5", an empty field before a comma, a number
//     beyond 16 bits, bytes of another encoding) makes the line unreadable. It might be a
//     registered subject written in a way this reader does not understand, so the answer is
//     never "new" while such a line exists: kMalformed names the first one. A line that does
//     name the ID still answers kRegistered, which is certain.
// Line length and count are unbounded; the scan is linear in the text. It asks ReadRegistry,
// the registry's one reader.
SubjectCheck ScanRegistry(std::string_view text, std::int16_t subjectId);

// A registry line read back: what RegistryLine wrote.
struct RegistryEntry {
  std::int16_t subjectId = 0;
  std::string initials;
  std::optional<std::int16_t> orderCondition;
  int line = 0;  // 1-based
};
// A line whose first field is no subject ID.
struct UnreadableRegistryLine {
  int line = 0;        // 1-based
  std::string text;    // the start of the line, printable, for a message
  std::string reason;  // what is wrong with it
};
struct RegistryRead {
  std::vector<RegistryEntry> entries;  // in file order; blank lines skipped
  std::vector<UnreadableRegistryLine> unreadable;
};
// Reads every line as described at ScanRegistry; the initials are the first field of letters
// after the ID, the order condition the last number.
RegistryRead ReadRegistry(std::string_view text);
// "line N <reason>: "<text>"".
std::string Describe(const UnreadableRegistryLine& bad);

}  // namespace cue
