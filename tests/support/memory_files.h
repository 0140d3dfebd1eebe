#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/files.h"

namespace cue::testing {

// An in-memory file system with faults to inject: folders that are missing or read-only and
// a disk that is full. Paths use "/" and the current folder "/lab".
class MemoryFileSystem final : public FileSystem {
 public:
  MemoryFileSystem() { folders.insert(cwd); }

  std::string CurrentDirectory() const override { return cwd; }

  std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(
      const std::string& path) override {
    ++opens;
    if (!folders.count(Parent(path))) return FileError{err::kPathNotFound, "No such file or directory", path};
    if (readOnly.count(Parent(path)) || readOnly.count(path)) {
      return FileError{err::kPathFileAccess, "Permission denied", path};
    }
    return std::unique_ptr<AppendFile>(std::make_unique<File>(*this, path));
  }

  std::variant<std::string, FileError> ReadAll(const std::string& path) const override {
    if (unreadable.count(path)) return FileError{err::kPermissionDenied, "Permission denied", path};
    const auto it = files.find(path);
    if (it == files.end()) return FileError{err::kFileNotFound, "No such file or directory", path};
    return it->second;
  }

  std::optional<FileError> MakeDirectory(const std::string& path) override {
    if (folders.count(path)) return FileError{err::kPathFileAccess, "File exists", path};
    if (!folders.count(Parent(path))) return FileError{err::kPathNotFound, "No such file or directory", path};
    folders.insert(path);
    return std::nullopt;
  }

  static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }

  std::string cwd = "/lab";
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::set<std::string> readOnly;    // folders or files that refuse appends
  std::set<std::string> unreadable;  // files that refuse reading
  bool diskFull = false;
  int opens = 0;

 private:
  class File final : public AppendFile {
   public:
    File(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    void Write(std::string_view text) override { pending_.append(text); }
    std::optional<FileError> Close() override {
      if (fs_.diskFull) return FileError{err::kDiskFull, "No space left on device", path_};
      fs_.files[path_] += pending_;
      pending_.clear();
      return std::nullopt;
    }

   private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::string pending_;
  };
};

}  // namespace cue::testing
