#include "engine/journal.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string_view>
#include <variant>

#include "labfolder/results_format.h"

namespace cue {

namespace {

// The first line of a small system file, without its line end; empty when it cannot be read.
std::string FirstLine(const std::string& path) {
  DiskFileSystem disk;
  if (CheckReadable(path, 4096)) return {};
  const auto read = disk.ReadAll(path);
  const auto* text = std::get_if<std::string>(&read);
  return text == nullptr ? std::string() : text->substr(0, text->find('\n'));
}

std::optional<FileError> Append(FileSystem& files, const std::string& path,
                                const std::string& text) {
  auto opened = files.OpenForAppend(path);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(text);
  return file->Close();
}

std::string Count(int rows) { return std::to_string(rows) + (rows == 1 ? " answer" : " answers"); }

// Why the journal must be left alone here, or empty: it must have been written on this
// machine, for the results file that its name and this lab folder give.
std::string Foreign(const RecoveredJournal& found, const ParsedJournal& journal,
                    const std::string& labFolder, const MachineIdentity& here) {
  const std::filesystem::path results(found.resultsFile);
  const std::string name = results.filename().string();
  if (results.parent_path() != std::filesystem::path(labFolder) / kResultsFolder ||
      !ResultsFileId(name) ||
      std::filesystem::path(found.journal).filename() != JournalName(found.resultsFile)) {
    return "it names a results file (" + found.resultsFile +
           ") that is not this lab folder's, under its name";
  }
  const auto& machine = journal.machine;
  if (!machine) return "it does not say which machine wrote it";
  if (*machine != here.machine) {
    return "it was written on another machine (" + *machine + "; this one is " + here.machine +
           "). That machine writes them back when the program next starts there";
  }
  return {};
}

// One journal: its rows into the results file it names.
RecoveredJournal Recover(FileSystem& files, const std::string& journal,
                         const std::string& labFolder, const MachineIdentity& here) {
  RecoveredJournal found;
  found.journal = journal;
  const auto read = files.ReadAll(journal);
  if (const auto* error = std::get_if<FileError>(&read)) {
    found.error = *error;
    return found;
  }
  const auto text = ParseJournal(std::get<std::string>(read));
  const auto* parsed = std::get_if<ParsedJournal>(&text);
  if (parsed == nullptr) return found;  // not a journal of this program's
  found.resultsFile = parsed->resultsFile;
  found.kept = Foreign(found, *parsed, labFolder, here);
  if (!found.kept.empty()) {
    found.rows = static_cast<int>(parsed->rows.size());
    return found;
  }

  (void)files.MakeDirectory(std::filesystem::path(found.resultsFile).parent_path().string());
  auto lock = files.Lock(RunLockPath(found.resultsFile));
  if (auto* error = std::get_if<FileError>(&lock)) {
    if (error->cause != FileFailure::kInUse) found.error = *error;
    return found;  // a running program's journal, or a folder that cannot be reached
  }
  const auto old = files.ReadAll(found.resultsFile);
  const auto* oldText = std::get_if<std::string>(&old);
  if (oldText == nullptr && std::get<FileError>(old).cause != FileFailure::kNotFound) {
    found.error = std::get<FileError>(old);
    return found;
  }
  const std::vector<std::string> present = LinesOf(oldText != nullptr ? *oldText : "");
  const std::set<std::string> there(present.begin(), present.end());
  std::string rows = present.empty() ? HeaderLine(ResultsColumns()) : "";
  for (const std::string& row : parsed->rows) {
    if (there.contains(row)) continue;
    rows += row;
    ++found.rows;
  }
  if (found.rows > 0) found.error = Append(files, found.resultsFile, rows);
  if (!found.error) (void)files.Remove(journal);
  return found;
}

}  // namespace

const MachineIdentity& ThisMachine() {
  static const MachineIdentity here = [] {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string id = FirstLine("/etc/machine-id");
    if (id.empty()) id = FirstLine("/var/lib/dbus/machine-id");
    return MachineIdentity{id + " " + host, FirstLine("/proc/sys/kernel/random/boot_id")};
  }();
  return here;
}

std::string JournalFolder(const char* xdgDataHome, const char* home, const std::string& passwdHome,
                          unsigned uid) {
  const auto usable = [](std::string_view path) { return path.size() > 1 && path[0] == '/'; };
  std::string data;
  if (xdgDataHome != nullptr && usable(xdgDataHome)) {
    data = xdgDataHome;
  } else if (home != nullptr && usable(home)) {
    data = std::string(home) + "/.local/share";
  } else if (usable(passwdHome)) {
    data = passwdHome + "/.local/share";
  } else {
    return "/var/tmp/cuesearch-" + std::to_string(uid) + "/journal";
  }
  return data + "/cuesearch/journal";
}

void Journal::SetResultsFile(const std::string& resultsFile) {
  resultsFile_ = resultsFile;
  path_ = JoinPath(folder_, JournalName(resultsFile));
}

std::optional<FileError> Journal::Keep(const std::string& rows) {
  (void)MakeFolders(files_, folder_);
  const MachineIdentity& here = ThisMachine();
  const std::string heading = files_.Exists(path_) ? "" : JournalHeading(resultsFile_, here);
  return Append(files_, path_, heading + rows);
}

void Journal::Clear() {
  if (files_.Exists(path_)) (void)files_.Remove(path_);
}

std::vector<RecoveredJournal> RecoverJournals(FileSystem& files, const std::string& journalFolder,
                                              const std::string& labFolder,
                                              const MachineIdentity& here) {
  std::vector<RecoveredJournal> found;
  const std::string prefix = JournalPrefix(labFolder);
  const auto listed = files.List(journalFolder);
  const auto* names = std::get_if<std::vector<std::string>>(&listed);
  if (names == nullptr) return found;  // no journal folder: nothing was ever kept
  for (const std::string& name : *names) {
    if (!name.starts_with(prefix) || !name.ends_with(".txt")) continue;
    RecoveredJournal one = Recover(files, JoinPath(journalFolder, name), labFolder, here);
    if (one.rows > 0 || one.error || !one.kept.empty()) found.push_back(std::move(one));
  }
  return found;
}

Message RecoveryMessage(const std::vector<RecoveredJournal>& found) {
  std::string text;
  bool recovered = false;
  for (const auto& one : found) {
    if (!text.empty()) text += "\r\r";
    if (!one.kept.empty()) {
      text += Count(one.rows) + " kept in\r" + one.journal + (one.rows == 1 ? "\ris" : "\rare") +
              " left there, not written anywhere: " + one.kept + ".";
    } else if (!one.error) {
      recovered = true;
      text += Count(one.rows) +
              " that an earlier run could not write to its results file were "
              "found in\r" +
              one.journal + "\rand are now written to\r" + one.resultsFile + ".";
    } else {
      text += "Answers kept in\r" + one.journal +
              "\rstill cannot be written to their results file:\r" + Describe(*one.error) +
              ".\rThey stay there and are tried again at the next start; "
              "the file can also be copied by hand.";
    }
  }
  return Message{text, recovered ? "RESULTS RECOVERED" : "RESULTS KEPT IN THE JOURNAL",
                 Buttons::kOk, Icon::kExclamation};
}

}  // namespace cue
