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
// missing or read-only, locks held by another run. A failed append leaves the file as it was, as
// the disk layer promises. Paths use "/"; the current folder is "/lab" unless given.
class MemoryFileSystem final : public FileSystem {
 public:
  // log, if given, hears of every folder made and every append done.
  explicit MemoryFileSystem(std::vector<std::string>* log = nullptr, std::string cwd = "/lab")
      : cwd_(std::move(cwd)), log_(log) {
    folders.insert(cwd_);
  }

  std::string CurrentDirectory() const override { return cwd_; }

  Result<std::unique_ptr<AppendFile>> OpenForAppend(const std::string& path) override {
    if (auto it = openErrors.find(path); it != openErrors.end()) return it->second;
    if (!folders.contains(Parent(path)))
      return FileError{FileFailure::kPathNotFound, ENOENT, path, "No such file or directory"};
    if (readOnly.contains(Parent(path)))
      return FileError{FileFailure::kRefused, EACCES, path, "Permission denied"};
    return std::unique_ptr<AppendFile>(std::make_unique<Append>(*this, path));
  }

  Result<std::string> ReadAll(const std::string& path) const override {
    if (folders.contains(path))
      return FileError{FileFailure::kRefused, EISDIR, path, "Is a directory"};
    if (auto it = files.find(path); it != files.end()) return it->second;
    return FileError{FileFailure::kNotFound, ENOENT, path, "No such file or directory"};
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
    if (!folders.contains(folder))
      return FileError{FileFailure::kPathNotFound, ENOENT, folder, "No such file or directory"};
    std::vector<std::string> names;
    for (const auto& [path, text] : files)
      if (Parent(path) == folder) names.push_back(path.substr(folder.size() + 1));
    return names;
  }
  std::optional<FileError> Remove(const std::string& path) override {
    return files.erase(path) != 0
               ? std::nullopt
               : std::optional(FileError{FileFailure::kNotFound, ENOENT, path, "No such file"});
  }
  // Replaced whole, or not at all; refused as an append is.
  std::optional<FileError> Replace(const std::string& path, const std::string& text) override {
    auto opened = OpenForAppend(path);
    if (auto* error = std::get_if<FileError>(&opened)) return *error;
    if (auto it = closeErrors.find(path); it != closeErrors.end()) return it->second;
    files[path] = text;
    Log("Replace " + path);
    return std::nullopt;
  }
  // A path in `locked` is held by another run.
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override {
    if (locked.contains(path))
      return FileError{FileFailure::kInUse, EWOULDBLOCK, path, "Locked by another run"};
    if (auto it = openErrors.find(path); it != openErrors.end()) return it->second;
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
