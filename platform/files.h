#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace cue {

// Error numbers that the system recognises, those of the platform it was first built for.
namespace err {
inline constexpr int kDeviceIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kFileNotFound = 53;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;  // also: the folder to create already exists
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
}  // namespace err

struct FileError {
  int number = 0;           // one of err::
  std::string description;  // the operating system's own reason, for the experimenter
  std::string path;
};

// "number: description (path)", for messages.
std::string Describe(const FileError& error);

// A file open for appending. Write() collects text; Close() puts it on disk in one write,
// flushed, and closes the file. A failed Close leaves the file as it was before the write.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  virtual void Write(std::string_view text) = 0;
  virtual std::optional<FileError> Close() = 0;
};

// Files and folders, built from the process's current folder by the callers.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The current folder as the platform reports it, without a trailing separator.
  virtual std::string CurrentDirectory() const = 0;
  // Opens (creating if missing) for appending. The file is really opened here, so a missing
  // folder or a read-only file is reported now.
  virtual std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(
      const std::string& path) = 0;
  virtual std::variant<std::string, FileError> ReadAll(const std::string& path) const = 0;
  // Creates one folder; an existing one gives err::kPathFileAccess.
  virtual std::optional<FileError> MakeDirectory(const std::string& path) = 0;
  // True when path names an existing folder. Error 75 from MakeDirectory means "already
  // exists" as well as "refused"; this tells them apart.
  virtual bool IsDirectory(const std::string& path) const = 0;
};

// The platform's path separator ("/" here, "\" on Windows).
char PathSeparator();
// a + separator + b.
std::string JoinPath(const std::string& a, const std::string& b);

// The real file system (POSIX calls; std::filesystem for the current folder).
class DiskFileSystem final : public FileSystem {
 public:
  std::string CurrentDirectory() const override;
  std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(
      const std::string& path) override;
  std::variant<std::string, FileError> ReadAll(const std::string& path) const override;
  std::optional<FileError> MakeDirectory(const std::string& path) override;
  bool IsDirectory(const std::string& path) const override;
};

// Maps an errno value to the platform error number and the system's description of it.
FileError ErrorFromErrno(int errno_value, const std::string& path);

}  // namespace cue
