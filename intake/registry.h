#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
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

inline constexpr const char* kRegistryFile = "CurrentSubjects.txt";
inline constexpr const char* kResultsFolder = "Res_Data";

// Paths built from the current folder of the process.
std::string RegistryPath(const FileSystem& files);
std::string ResultsFolderPath(const FileSystem& files);
// The lock taken while a subject is checked and registered: "CurrentSubjects.txt.lock".
std::string RegistryLockPath(const FileSystem& files);

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
// Line length and count are unbounded; the scan is linear in the text.
SubjectCheck ScanRegistry(std::string_view text, std::int16_t subjectId);

// A registry line read back: what RegistryLine wrote.
struct RegistryEntry {
  std::int16_t subjectId = 0;
  std::string initials;
  std::optional<std::int16_t> orderCondition;
};
struct RegistryRead {
  std::vector<RegistryEntry> entries;  // in file order; blank lines skipped
  std::vector<std::string> problems;   // "line N ...": lines whose first field is no ID
};
// Reads every line the way ScanRegistry reads its first field; the initials are the first
// field of letters after the ID, the order condition the last number.
RegistryRead ReadRegistry(std::string_view text);

// Reads the registry of the current folder and scans it. A missing registry (error 53) means
// every ID is new; any other error reading it gives kUnreadable, never kNew.
SubjectCheck IsNewSubject(const FileSystem& files, std::int16_t subjectId);

// The messages with which the ID box refuses when the registry cannot be checked.
Message UnreadableRegistry(const FileError& error);
// The text of a message about a file that failed: what failed, the system's error number and
// reason, what follows from it; three lines.
std::string FileErrorText(const std::string& what, const FileError& error,
                          const std::string& consequence);
Message MalformedRegistry(const SubjectCheck& check, const std::string& path);

// Appends one line to the registry at path, creating the file when missing. If the file does
// not end with a line end (a hand-edited last line), CR LF is written first, so the new line
// never joins the old one; the bytes already there are never changed. Returns the error that
// kept the line from being written; the file is then as it was.
std::optional<FileError> AppendRegistryLine(FileSystem& files, const std::string& path,
                                            std::string_view line);

// Creates the folder at path. A folder already there is no error (the platform reports it as
// error 75, which is absorbed only when path really is a folder); any other failure, a file of
// that name included, is returned.
std::optional<FileError> MakeFolder(FileSystem& files, const std::string& path);

}  // namespace cue
