#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"

namespace cue {

// Rows that the results file could not take, on disk in a second place.
//
// The journal folder lies outside the lab folder (the user's own data folder), so a lab
// folder that is removed, full or read-only does not take the rows with it. There is one
// journal per results file, named after the lab folder and the subject (JournalName). Its
// first line is "#" and the results file's full path, the second the results header, then
// the kept rows in order, each appended and flushed to disk the moment it could not be
// written where it belongs. Once every row has reached the results file, the journal goes.
class Journal {
 public:
  Journal(FileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}

  void SetResultsFile(const std::string& resultsFile);
  // Appends complete rows, after the two heading lines when the journal is new.
  std::optional<FileError> Keep(const std::string& rows);
  // Every row kept is in the results file now: removes the journal.
  void Clear();
  const std::string& path() const { return path_; }

 private:
  FileSystem& files_;
  std::string folder_;
  std::string resultsFile_;
  std::string path_;
};

// "<lab folder's name>-<16 hex digits hashing the lab folder's full path>-R-<ID>.txt", from
// the results file's full path ".../<lab>/Res_Data/R-<ID>.txt": two lab folders of the same
// name never share a journal, and a person looking at the folder can tell which lab it is.
std::string JournalName(const std::string& resultsFile);

// The lock a run holds on its subject's results file for as long as it runs: the results
// file's path with ".lock" added.
std::string RunLockPath(const std::string& resultsFile);

// What the start of a run found in the journals of its lab folder.
struct RecoveredJournal {
  std::string journal;
  std::string resultsFile;
  int rows = 0;                    // rows the results file did not hold yet
  std::optional<FileError> error;  // they could not be written: they stay in the journal
};

// Writes the rows of every journal of labFolder into its results file (after the header when
// the file is missing), skipping rows the file already holds (a run may have ended between
// writing them and removing the journal), and removes each journal that is done. A journal
// whose subject's run lock is held belongs to a running program and is left alone.
std::vector<RecoveredJournal> RecoverJournals(FileSystem& files, const std::string& journalFolder,
                                              const std::string& labFolder);

// The experimenter's report of what was recovered, and of what could not be yet.
Message RecoveryMessage(const std::vector<RecoveredJournal>& found);

}  // namespace cue
