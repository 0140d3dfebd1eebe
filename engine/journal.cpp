#include "engine/journal.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string_view>
#include <variant>

#include "engine/results_file.h"

namespace cue {

namespace {

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string LabPrefix(const std::string& labFolder) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(labFolder)));
  return std::filesystem::path(labFolder).filename().string() + "-" + hex + "-";
}

// Makes folder and any missing folder above it.
void MakeFolders(FileSystem& files, const std::string& folder) {
  if (files.IsDirectory(folder)) return;
  const std::string parent = std::filesystem::path(folder).parent_path().string();
  if (!parent.empty() && parent != folder) MakeFolders(files, parent);
  (void)files.MakeDirectory(folder);
}

std::optional<FileError> Append(FileSystem& files, const std::string& path, const std::string& text) {
  auto opened = files.OpenForAppend(path);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(text);
  return file->Close();
}

// The lines of text, each with its CR LF.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

std::string Count(int rows) { return std::to_string(rows) + (rows == 1 ? " answer" : " answers"); }

// One journal: its rows into the results file it names.
RecoveredJournal Recover(FileSystem& files, const std::string& journal) {
  RecoveredJournal found;
  found.journal = journal;
  const auto read = files.ReadAll(journal);
  if (const auto* error = std::get_if<FileError>(&read)) {
    found.error = *error;
    return found;
  }
  const std::vector<std::string> lines = Lines(std::get<std::string>(read));
  if (lines.empty() || lines[0].size() < 3 || lines[0][0] != '#') return found;
  found.resultsFile = lines[0].substr(1, lines[0].size() - 1 - LineEnd().size());

  (void)files.MakeDirectory(std::filesystem::path(found.resultsFile).parent_path().string());
  auto lock = files.Lock(RunLockPath(found.resultsFile));
  if (auto* error = std::get_if<FileError>(&lock)) {
    if (error->number != err::kPermissionDenied) found.error = *error;
    return found;  // a running program's journal, or a folder that cannot be reached
  }
  const auto old = files.ReadAll(found.resultsFile);
  const auto* oldText = std::get_if<std::string>(&old);
  if (oldText == nullptr && std::get<FileError>(old).number != err::kFileNotFound) {
    found.error = std::get<FileError>(old);
    return found;
  }
  const std::vector<std::string> present = Lines(oldText != nullptr ? *oldText : "");
  const std::set<std::string> there(present.begin(), present.end());
  std::string rows = present.empty() ? HeaderLine(ResultsColumns()) : "";
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i][0] == '#' || there.contains(lines[i])) continue;
    rows += lines[i];
    ++found.rows;
  }
  if (found.rows > 0) found.error = Append(files, found.resultsFile, rows);
  if (!found.error) (void)files.Remove(journal);
  return found;
}

}  // namespace

std::string JournalName(const std::string& resultsFile) {
  const std::filesystem::path results(resultsFile);
  return LabPrefix(results.parent_path().parent_path().string()) + results.filename().string();
}

std::string RunLockPath(const std::string& resultsFile) { return resultsFile + ".lock"; }

void Journal::SetResultsFile(const std::string& resultsFile) {
  resultsFile_ = resultsFile;
  path_ = JoinPath(folder_, JournalName(resultsFile));
}

std::optional<FileError> Journal::Keep(const std::string& rows) {
  MakeFolders(files_, folder_);
  const std::string heading =
      files_.Exists(path_) ? "" : "#" + resultsFile_ + LineEnd() + HeaderLine(ResultsColumns());
  return Append(files_, path_, heading + rows);
}

void Journal::Clear() {
  if (files_.Exists(path_)) (void)files_.Remove(path_);
}

std::vector<RecoveredJournal> RecoverJournals(FileSystem& files, const std::string& journalFolder,
                                              const std::string& labFolder) {
  std::vector<RecoveredJournal> found;
  const std::string prefix = LabPrefix(labFolder);
  for (const std::string& name : files.List(journalFolder)) {
    if (!name.starts_with(prefix) || !name.ends_with(".txt")) continue;
    RecoveredJournal one = Recover(files, JoinPath(journalFolder, name));
    if (one.rows > 0 || one.error) found.push_back(std::move(one));
  }
  return found;
}

Message RecoveryMessage(const std::vector<RecoveredJournal>& found) {
  std::string text;
  for (const auto& one : found) {
    if (!text.empty()) text += "\r\r";
    if (!one.error) {
      text += Count(one.rows) + " that an earlier run could not write to its results file were "
              "found in\r" + one.journal + "\rand are now written to\r" + one.resultsFile + ".";
    } else {
      text += "Answers kept in\r" + one.journal + "\rstill cannot be written to their results file:\r" +
              Describe(*one.error) + ".\rThey stay there and are tried again at the next start; "
              "the file can also be copied by hand.";
    }
  }
  return Message{text, "RESULTS RECOVERED", Buttons::kOk, Icon::kExclamation};
}

}  // namespace cue
