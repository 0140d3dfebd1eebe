#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "labfolder/layout.h"
#include "labfolder/registry_format.h"
#include "platform/dialogs.h"
#include "platform/files.h"

namespace cue {

// Reads the registry of the current folder and scans it. A missing registry (kNotFound) means
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

// Creates the folder at path. A folder already there is no error (FileFailure::kExists is
// absorbed only when path really is a folder); any other failure, a file of that name
// included, is returned.
std::optional<FileError> MakeFolder(FileSystem& files, const std::string& path);

}  // namespace cue
