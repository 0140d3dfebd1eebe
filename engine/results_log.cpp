#include "engine/results_log.h"

#include <algorithm>
#include <cstdio>
#include <variant>

namespace cue {

namespace {

// Collects a row in memory: the file itself is written once, at Close.
class RowBuffer final : public AppendFile {
 public:
  explicit RowBuffer(std::string& row) : row_(row) {}
  void Write(std::string_view text) override { row_.append(text); }
  std::optional<FileError> Close() override { return std::nullopt; }

 private:
  std::string& row_;
};

std::string LineCount(const std::vector<std::string>& lines) {
  return std::to_string(lines.size()) + (lines.size() == 1 ? " line" : " lines");
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line;
  return all;
}

}  // namespace

void ResultsLog::WriteHeader(const std::string& fileName) {
  fileName_ = fileName;
  journal_.SetResultsFile(fileName);
  if (auto error = Put(HeaderLine(ResultsColumns()))) Tell(*error);
}

void ResultsLog::Open() {
  row_.clear();
  rowOpen_ = true;
}

void ResultsLog::WriteFields(const std::vector<FieldValue>& values) {
  RowBuffer buffer(row_);
  cue::WriteFields(buffer, values);
}

void ResultsLog::Close() {
  if (!rowOpen_) return;
  rowOpen_ = false;
  if (auto error = Put(row_)) Tell(*error);
  row_.clear();
}

std::optional<FileError> ResultsLog::Put(const std::string& line) {
  if (!line.empty()) kept_.push_back(line);
  if (kept_.empty()) return std::nullopt;
  std::string text = Joined(kept_);
  // A results file made anew (its folder removed and made again) starts with the header.
  if (headerOnDisk_ && !files_.Exists(fileName_)) text.insert(0, HeaderLine(ResultsColumns()));
  std::optional<FileError> error;
  auto opened = files_.OpenForAppend(fileName_);
  if (auto* failed = std::get_if<FileError>(&opened)) {
    error = *failed;
  } else {
    auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
    file->Write(text);
    error = file->Close();  // on failure the file is as it was; the lines stay kept
  }
  if (!error) {
    kept_.clear();
    if (journalled_ > 0) journal_.Clear();
    journalled_ = 0;
    journalError_.reset();
    headerOnDisk_ = true;
    return std::nullopt;
  }
  // Into the journal at once, so that no end of the program can lose them.
  std::string rows;
  for (std::size_t i = journalled_; i < kept_.size(); ++i) {
    if (kept_[i].front() != '#') rows += kept_[i];
  }
  journalError_ = rows.empty() ? journalError_ : journal_.Keep(rows);
  if (!journalError_) journalled_ = kept_.size();
  return error;
}

void ResultsLog::Tell(const FileError& error) {
  std::string where = journalError_
                          ? " in memory only: the journal " + journal_.path() +
                                " cannot be written either (" + journalError_->description +
                                "). Do not end the program until this is solved."
                          : " in memory and on disk in\r" + journal_.path() + ".";
  Message message{"The results file cannot be written:\r" + error.path + "\r" + error.description +
                      " (error " + std::to_string(ErrorNumber(error.cause)) +
                      ").\r\rNo answer is lost: " + LineCount(kept_) + " kept" + where +
                      "\rThey go into the results file as soon as it can be written again. Please "
                      "check the folder and the disk, then press Enter or click OK.",
                  "RESULTS NOT SAVED YET", Buttons::kOk, Icon::kExclamation};
  message.keyProof = true;
  dialogs_.Show(message);
}

void ResultsLog::FinalFlush() {
  if (auto report = LastChance()) dialogs_.Show(*report);
}

std::optional<Message> ResultsLog::LastChance() {
  if (rowOpen_) {
    rowOpen_ = false;
    (void)Put(row_);
  } else {
    (void)Put("");
  }
  const auto rows = std::count_if(kept_.begin(), kept_.end(),
                                  [](const std::string& l) { return l.front() != '#'; });
  if (rows == 0) return std::nullopt;  // a header alone holds no answer
  if (journalled_ == kept_.size()) {
    return Message{"The results file " + fileName_ + " could not be written.\r" + LineCount(kept_) +
                       " of it are saved instead in\r" + journal_.path() +
                       "\rStart the program again in the same folder to write them into the "
                       "results file.",
                   "RESULTS RESCUED", Buttons::kOk, Icon::kExclamation};
  }
  // Nowhere to write: the lines go to the error stream, the last place left to keep them.
  std::fputs(("Unsaved lines of " + fileName_ + ":\n").c_str(), stderr);
  for (const auto& kept : kept_) std::fputs(kept.c_str(), stderr);
  return Message{"The results file " + fileName_ + " could not be written, nor the journal " +
                     journal_.path() +
                     ". The unsaved lines were printed to the program's error output.",
                 "RESULTS NOT SAVED", Buttons::kOk, Icon::kExclamation};
}

}  // namespace cue
