#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/results_file.h"
#include "platform/dialogs.h"
#include "platform/files.h"

namespace cue {

// The subject's results file, written so that no answer is ever lost.
//
// Every row is written as the trial cycle says: opened at the answer, three WriteFields calls,
// closed (in one write, flushed to disk) before the next trial can start. When the file cannot
// be opened or written (folder removed, disk full, file locked), the line is kept in memory and
// the experimenter is told at once, naming the file and the system's reason. Kept lines go out
// first, in order, at the next row that can be written. At the end of the run, or on quit, a
// last try is made; failing that, the kept lines go to a rescue file in the program's folder
// (or, failing that too, the system's temporary folder), and the experimenter is told where.
class ResultsLog {
 public:
  ResultsLog(FileSystem& files, Dialogs& dialogs, std::string rescueFolder)
      : files_(files), dialogs_(dialogs), rescueFolder_(std::move(rescueFolder)) {}

  // The header line, when the experiment screen loads. fileName is kept for every row.
  void WriteHeader(const std::string& fileName);

  // One row: Open, three or more WriteFields, Close.
  void Open();
  void WriteFields(const std::vector<FieldValue>& values);
  // Puts the row on disk, after any kept lines. On failure the row is kept and the
  // experimenter told (once per spell of failures, again if the reason changes).
  void Close();

  // The last try at the end of the run or on quit. Never fails silently.
  void FinalFlush();

  std::size_t KeptLines() const { return kept_.size(); }
  const std::string& fileName() const { return fileName_; }

 private:
  // Appends kept lines and `line` in one write; on failure keeps them all.
  std::optional<FileError> Put(const std::string& line);
  void Tell(const FileError& error);
  std::string RescueName() const;

  FileSystem& files_;
  Dialogs& dialogs_;
  std::string rescueFolder_;
  std::string fileName_;
  std::vector<std::string> kept_;   // complete lines, in file order
  std::string row_;                 // the row being written
  std::optional<int> toldNumber_;   // the error the experimenter was last told of
  bool rowOpen_ = false;
};

}  // namespace cue
