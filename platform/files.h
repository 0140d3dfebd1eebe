#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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
// flushed, and closes the file. A failed Close leaves the file as it was before the write;
// a successful one means the text has reached the disk (so it must never be written again).
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  virtual void Write(std::string_view text) = 0;
  virtual std::optional<FileError> Close() = 0;
};

// An exclusive lock, held until the object is destroyed (or the process ends).
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The most any file is read whole: a bigger one is refused, never read (the registry of a
// lifetime of subjects is well below a megabyte).
inline constexpr std::size_t kMaxReadBytes = std::size_t{16} << 20;

// Files and folders, built from the process's current folder by the callers.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The current folder as the platform reports it, without a trailing separator.
  virtual std::string CurrentDirectory() const = 0;
  // Opens (creating if missing) for appending. The file is really opened here, so a missing
  // folder or a read-only file is reported now. Nothing is written through a link: a link, a
  // folder, a FIFO, a device or a second name of another file (a hard link) in the file's
  // place, or a link in place of its folder, is refused with err::kPathFileAccess, the
  // description saying what stands there. New files and folders take the umask's modes.
  virtual std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(
      const std::string& path) = 0;
  // Reads a regular file whole. A FIFO, a device or a file over kMaxReadBytes is refused with
  // err::kDeviceIo (a folder with err::kPathFileAccess), without blocking or reading it.
  virtual std::variant<std::string, FileError> ReadAll(const std::string& path) const = 0;
  // Creates one folder; an existing one gives err::kPathFileAccess. The new folder's entry
  // is on disk when this returns, as is a new file's after its first Close.
  virtual std::optional<FileError> MakeDirectory(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) const = 0;
  // The names in a folder, "." and ".." left out; none when it cannot be read.
  virtual std::vector<std::string> List(const std::string& folder) const = 0;
  virtual std::optional<FileError> Remove(const std::string& path) = 0;
  // Takes the exclusive lock named by path (created if missing) without waiting, and writes
  // into it who holds it: "<host> <process id>". A lock held elsewhere, by this machine or
  // another sharing the folder, gives err::kPermissionDenied, whose description names the
  // holder. The lock ends with its holder's process, so no lock outlives a crashed run.
  // The lock file is opened as OpenForAppend opens, and refused alike; one this account may
  // not write gives err::kPathFileAccess, its description starting "Permission denied".
  virtual std::variant<std::unique_ptr<FileLock>, FileError> Lock(const std::string& path) = 0;
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
  bool Exists(const std::string& path) const override;
  std::vector<std::string> List(const std::string& folder) const override;
  std::optional<FileError> Remove(const std::string& path) override;
  std::variant<std::unique_ptr<FileLock>, FileError> Lock(const std::string& path) override;
};

// Replaces the file at path with text: writes path + ".new" (created anew, never through a
// link), flushes it to disk, renames it over path, so a reader finds the old text or the new,
// never half of one. What is no plain file of its own in place of either name is refused as
// OpenForAppend refuses it, and the old file then stays as it was.
std::optional<FileError> ReplaceContents(const std::string& path, const std::string& text);

// Refuses what must not be read whole: a path that is no regular file (a FIFO, a device, a
// folder) or one larger than limit bytes. Never blocks.
std::optional<FileError> CheckReadable(const std::string& path, std::size_t limit);

// Maps an errno value to the platform error number and the system's description of it.
FileError ErrorFromErrno(int errno_value, const std::string& path);

}  // namespace cue
