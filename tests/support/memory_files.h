#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace cue::testing {

// Files and folders in memory, with faults to inject: errors per path, folders that are
// missing or read-only, locks held by another run. It keeps the promises that the disk's keeps
// (support/files_contract.h): a file is there from its opening, a failed append leaves it as it
// was. Paths use "/"; the current folder is "/lab" unless given.
class MemoryFileSystem final : public FileSystem {
 public:
  // log, if given, hears of every folder made and every append done.
  explicit MemoryFileSystem(std::vector<std::string>* log = nullptr, std::string cwd = "/lab")
      : cwd_(std::move(cwd)), log_(log) {
    folders.insert(cwd_);
  }

  std::string CurrentDirectory() const override { return cwd_; }

  Result<std::unique_ptr<AppendFile>> OpenForAppend(const std::string& path) override {
    if (auto refused = Refusal(path)) return *refused;
    files.try_emplace(path);
    return std::unique_ptr<AppendFile>(std::make_unique<Append>(*this, path));
  }

  Result<std::string> ReadAll(const std::string& path) const override {
    if (folders.contains(path))
      return FileError{FileFailure::kRefused, EISDIR, path, "Is a directory"};
    const auto it = files.find(path);
    if (it == files.end()) return Missing(path);
    if (it->second.size() > kMaxReadBytes)
      return FileError{FileFailure::kNotReadable, 0, path, "Larger than 16 MB, so it is not read"};
    return it->second;
  }

  std::optional<FileError> MakeDirectory(const std::string& path) override {
    Log("MakeDirectory " + path);
    if (auto it = makeErrors.find(path); it != makeErrors.end()) return it->second;
    if (folders.contains(path) || files.contains(path))
      return FileError{FileFailure::kExists, EEXIST, path, "File exists"};
    if (!folders.contains(Parent(path)))
      return FileError{FileFailure::kPathNotFound, ENOENT, path, "No such file or directory"};
    folders.insert(path);
    return std::nullopt;
  }

  bool IsDirectory(const std::string& path) const override { return folders.contains(path); }
  bool Exists(const std::string& path) const override {
    return folders.contains(path) || files.contains(path);
  }
  Result<std::vector<std::string>> List(const std::string& folder) const override {
    if (!folders.contains(folder)) return Missing(folder);
    std::vector<std::string> names;
    for (const auto& [path, text] : files)
      if (Parent(path) == folder) names.push_back(path.substr(folder.size() + 1));
    for (const auto& path : folders)
      if (Parent(path) == folder) names.push_back(path.substr(folder.size() + 1));
    return names;
  }
  std::optional<FileError> Remove(const std::string& path) override {
    if (folders.contains(path))
      return FileError{FileFailure::kRefused, EISDIR, path, "Is a folder"};
    return files.erase(path) != 0 ? std::nullopt : std::optional(Missing(path));
  }
  // Replaced whole, or not at all; refused as an append is.
  std::optional<FileError> Replace(const std::string& path, const std::string& text) override {
    if (auto refused = Refusal(path)) return refused;
    if (auto it = closeErrors.find(path); it != closeErrors.end()) return it->second;
    files[path] = text;
    Log("Replace " + path);
    return std::nullopt;
  }
  // A path in `locked` is held by another run. Unlike the disk's, it makes no lock file.
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override {
    if (locked.contains(path))
      return FileError{FileFailure::kInUse, EWOULDBLOCK, path, "Locked by another run"};
    if (auto refused = Refusal(path)) return *refused;  // opened as an append opens
    locked.insert(path);
    return std::unique_ptr<FileLock>(std::make_unique<Held>(locked, path));
  }

  static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }

  std::map<std::string, std::string> files;
  std::set<std::string> folders, readOnly, locked;  // readOnly: folders that refuse appends
  std::map<std::string, FileError> openErrors, closeErrors, makeErrors;

 private:
  struct Held final : FileLock {
    Held(std::set<std::string>& set, std::string path) : set(set), path(std::move(path)) {}
    ~Held() override { set.erase(path); }
    std::set<std::string>& set;
    std::string path;
  };
  // Why an append or a lock on path is refused, if it is.
  std::optional<FileError> Refusal(const std::string& path) const {
    if (auto it = openErrors.find(path); it != openErrors.end()) return it->second;
    if (!folders.contains(Parent(path)))
      return FileError{FileFailure::kPathNotFound, ENOENT, path, "No such file or directory"};
    if (folders.contains(path))
      return FileError{FileFailure::kRefused, 0, path, "There is a folder in place of this file"};
    if (readOnly.contains(Parent(path)))
      return FileError{FileFailure::kRefused, EACCES, path, "Permission denied"};
    return std::nullopt;
  }
  // A missing file in an existing folder, or a missing folder on the way.
  FileError Missing(const std::string& path) const {
    const bool folder = folders.contains(Parent(path));
    return {folder ? FileFailure::kNotFound : FileFailure::kPathNotFound, ENOENT, path,
            "No such file or directory"};
  }
  void Log(const std::string& event) {
    if (log_ != nullptr) log_->push_back(event);
  }

  struct Append final : AppendFile {
    Append(MemoryFileSystem& fs, std::string path) : fs(fs), path(std::move(path)) {}
    void Write(std::string_view text) override { pending.append(text); }
    std::optional<FileError> Close() override {
      if (auto it = fs.closeErrors.find(path); it != fs.closeErrors.end()) return it->second;
      fs.files[path] += pending;
      fs.Log("Append " + path);
      return std::nullopt;
    }
    MemoryFileSystem& fs;
    std::string path, pending;
  };

  std::string cwd_;
  std::vector<std::string>* log_;
};

}  // namespace cue::testing
