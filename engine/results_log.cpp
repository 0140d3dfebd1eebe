#include "engine/results_log.h"

#include <cstdio>
#include <filesystem>
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
  kept_.push_back(line);
  auto opened = OpenForAppend(files_, fileName_);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(Joined(kept_));
  if (auto error = file->Close()) return error;  // the file is as it was; the lines stay kept
  kept_.clear();
  toldNumber_.reset();
  return std::nullopt;
}

void ResultsLog::Tell(const FileError& error) {
  if (toldNumber_ == error.number) return;  // already told of this spell of failures
  toldNumber_ = error.number;
  dialogs_.Show(Message{
      "The results file cannot be written:\r" + error.path + "\r" + error.description +
          " (error " + std::to_string(error.number) + ").\r\rNo answer is lost: " +
          LineCount(kept_) + " kept in memory will be written as soon as the file can be "
          "written again. Please check the folder and the disk.",
      "RESULTS NOT SAVED YET", Buttons::kOk, Icon::kExclamation});
}

std::string ResultsLog::RescueName() const {
  return std::filesystem::path(fileName_).stem().string() + "-RESCUED.txt";
}

void ResultsLog::FinalFlush() {
  if (rowOpen_) Close();
  if (kept_.empty()) return;
  const std::string all = Joined(kept_);
  // Once more into the results file itself.
  auto opened = OpenForAppend(files_, fileName_);
  if (auto* file = std::get_if<std::unique_ptr<AppendFile>>(&opened)) {
    (*file)->Write(all);
    if (!(*file)->Close()) {
      kept_.clear();
      return;
    }
  }
  for (const std::string& folder : {rescueFolder_, std::filesystem::temp_directory_path().string()}) {
    const std::string rescue = JoinPath(folder, RescueName());
    auto target = files_.OpenForAppend(rescue);
    if (auto* file = std::get_if<std::unique_ptr<AppendFile>>(&target)) {
      (*file)->Write(all);
      if (!(*file)->Close()) {
        dialogs_.Show(Message{"The results file " + fileName_ + " could not be written.\r" +
                                  LineCount(kept_) + " of it were saved instead in\r" + rescue,
                              "RESULTS RESCUED", Buttons::kOk, Icon::kExclamation});
        kept_.clear();
        return;
      }
    }
  }
  // Nowhere to write: the lines go to the error stream, the last place left to keep them.
  std::fputs(("Unsaved lines of " + fileName_ + ":\n").c_str(), stderr);
  for (const auto& kept : kept_) std::fputs(kept.c_str(), stderr);
  dialogs_.Show(Message{"The results file " + fileName_ + " could not be written, nor a rescue "
                        "file. The unsaved lines were printed to the program's error output.",
                        "RESULTS NOT SAVED", Buttons::kOk, Icon::kExclamation});
}

}  // namespace cue
