#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace cue::testing {

// Files and folders in memory, with faults to inject: errors per path, folders that are
// missing or read-only, locks held by another run. A failed append leaves the file as it was, as the disk
// layer promises. Paths use "/"; the current folder is "/lab" unless given.
class MemoryFileSystem final : public FileSystem {
 public:
  // log, if given, hears of every folder made and every append done.
  explicit MemoryFileSystem(std::vector<std::string>* log = nullptr, std::string cwd = "/lab")
      : cwd_(std::move(cwd)), log_(log) {
    folders.insert(cwd_);
  }

  std::string CurrentDirectory() const override { return cwd_; }

  std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(const std::string& path) override {
    if (auto it = openErrors.find(path); it != openErrors.end()) return it->second;
    if (!folders.contains(Parent(path))) return FileError{err::kPathNotFound, "No such file or directory", path};
    if (readOnly.contains(Parent(path))) return FileError{err::kPathFileAccess, "Permission denied", path};
    return std::unique_ptr<AppendFile>(std::make_unique<Append>(*this, path));
  }

  std::variant<std::string, FileError> ReadAll(const std::string& path) const override {
    if (folders.contains(path)) return FileError{err::kPathFileAccess, "Is a directory", path};
    if (auto it = files.find(path); it != files.end()) return it->second;
    return FileError{err::kFileNotFound, "No such file or directory", path};
  }

  std::optional<FileError> MakeDirectory(const std::string& path) override {
    Log("MakeDirectory " + path);
    if (auto it = makeErrors.find(path); it != makeErrors.end()) return it->second;
    if (folders.contains(path) || files.contains(path)) return FileError{err::kPathFileAccess, "File exists", path};
    if (!folders.contains(Parent(path))) return FileError{err::kPathNotFound, "No such file or directory", path};
    folders.insert(path);
    return std::nullopt;
  }

  bool IsDirectory(const std::string& path) const override { return folders.contains(path); }
  bool Exists(const std::string& path) const override { return folders.contains(path) || files.contains(path); }
  std::vector<std::string> List(const std::string& folder) const override {
    std::vector<std::string> names;
    for (const auto& [path, text] : files)
      if (Parent(path) == folder) names.push_back(path.substr(folder.size() + 1));
    return names;
  }
  std::optional<FileError> Remove(const std::string& path) override {
    return files.erase(path) != 0 ? std::nullopt : std::optional(FileError{err::kFileNotFound, "No such file", path});
  }
  // A path in `locked` is held by another run.
  std::variant<std::unique_ptr<FileLock>, FileError> Lock(const std::string& path) override {
    if (locked.contains(path)) return FileError{err::kPermissionDenied, "Locked by another run", path};
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
  void Log(const std::string& event) { if (log_ != nullptr) log_->push_back(event); }

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
