#pragma once

#include <optional>
#include <string>
#include <vector>

#include "labfolder/journal_format.h"
#include "labfolder/layout.h"
#include "platform/dialogs.h"
#include "platform/files.h"

namespace cue {

// Rows that the results file could not take, on disk in a second place (the format:
// labfolder/journal_format.h).
//
// The journal folder lies outside the lab folder (the user's own data folder), so a lab
// folder that is removed, full or read-only does not take the rows with it. There is one
// journal per results file, named after the lab folder and the subject (JournalName). Its
// lines: "#" and the results file's full path; "#machine <machine id> <host name>" and
// "#boot <boot id>" of the machine that wrote it; the results header; then the kept rows in
// order, each appended and flushed to disk the moment it could not be written where it
// belongs. Once every row has reached the results file, the journal goes.
//
// A home folder may be shared by several machines (a network home), each with its own lab
// folder at the same path: a journal is therefore written back only on the machine that
// wrote it, and only into the results file it names.

// This machine now: /etc/machine-id (or D-Bus's copy), the host name, the boot id.
const MachineIdentity& ThisMachine();

// The journal folder: <XDG_DATA_HOME or HOME/.local/share>/cuesearch/journal, each taken only
// when it is an absolute path other than "/"; else the account's home folder from the
// password database (passwdHome), else /var/tmp/cuesearch-<uid>/journal, which also survives
// a restart.
std::string JournalFolder(const char* xdgDataHome, const char* home, const std::string& passwdHome,
                          unsigned uid);

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

// What the start of a run found in the journals of its lab folder.
struct RecoveredJournal {
  std::string journal;
  std::string resultsFile;
  int rows = 0;                    // rows the results file did not hold yet (or the journal holds)
  std::optional<FileError> error;  // they could not be written: they stay in the journal
  std::string kept;  // not this machine's, or not this lab folder's: why it was left alone
};

// Writes the rows of every journal of labFolder into its results file (after the header when
// the file is missing), skipping rows the file already holds (a run may have ended between
// writing them and removing the journal), and removes each journal that is done. A journal
// whose subject's run lock is held belongs to a running program and is left alone. One
// written on another machine than here, or naming a results file that is not
// labFolder/Res_Data/R-<ID>.txt under its own name, is kept and reported (kept).
std::vector<RecoveredJournal> RecoverJournals(FileSystem& files, const std::string& journalFolder,
                                              const std::string& labFolder,
                                              const MachineIdentity& here = ThisMachine());

// The experimenter's report of what was recovered, and of what could not be yet.
Message RecoveryMessage(const std::vector<RecoveredJournal>& found);

}  // namespace cue
