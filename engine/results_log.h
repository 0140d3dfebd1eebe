#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/journal.h"
#include "labfolder/results_format.h"
#include "platform/dialogs.h"
#include "platform/files.h"

namespace cue {

// The subject's results file, written so that no answer is ever lost (its format:
// labfolder/results_format.h; this class decides when and where each line goes).
//
// Every row is written as the trial cycle says: opened at the answer, three WriteFields calls,
// closed (in one write, flushed to disk) before the next trial can start. When the file cannot
// be opened or written (folder removed, disk full, file locked), the line is kept in memory
// and at once appended to the journal (see Journal), then the experimenter is told, naming the
// file, the system's reason and where the rows are kept; again at every answer while rows are
// waiting. Kept lines go out first, in order, at the next row that can be written, after the
// header if the file had to be made anew. A line is never written twice: once a write has
// succeeded it is forgotten. At the end of the run, on quit, or when the session ends, a last
// try is made; what still cannot be written stays in the journal, which the next start in this
// lab folder writes into the results file.
class ResultsLog {
 public:
  ResultsLog(FileSystem& files, Dialogs& dialogs, std::string journalFolder)
      : files_(files), dialogs_(dialogs), journal_(files, std::move(journalFolder)) {}

  // The header line, when the experiment screen loads. fileName is kept for every row.
  void WriteHeader(const std::string& fileName);

  // One row: Open, three or more WriteFields, Close.
  void Open();
  void WriteFields(const std::vector<FieldValue>& values);
  // Puts the row on disk, after any kept lines. On failure the row is kept and journalled,
  // and the experimenter told.
  void Close();

  // The last try at the end of the run or on quit: shows what LastChance reports.
  void FinalFlush();
  // The last try, without a message box (also for a session that is ending): returns the
  // report for the experimenter when rows are still not in the results file.
  std::optional<Message> LastChance();

  std::size_t KeptLines() const { return kept_.size(); }
  const std::string& fileName() const { return fileName_; }
  const std::string& journalPath() const { return journal_.path(); }

 private:
  // Appends kept lines and `line` in one write; on failure keeps and journals them all.
  std::optional<FileError> Put(const std::string& line);
  void Tell(const FileError& error);

  FileSystem& files_;
  Dialogs& dialogs_;
  Journal journal_;
  std::string fileName_;
  std::vector<std::string> kept_;          // complete lines, in file order
  std::size_t journalled_ = 0;             // kept_[0, journalled_) are in the journal
  std::optional<FileError> journalError_;  // why the journal could not take the last ones
  bool headerOnDisk_ = false;
  std::string row_;  // the row being written
  bool rowOpen_ = false;
};

}  // namespace cue
