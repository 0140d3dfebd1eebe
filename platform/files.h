#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cue {

// Why an operation on a file, or the reading of a file's format, failed. The program's logic
// asks these; only messages print the error numbers of the platform the system was first
// built for (ErrorNumber).
enum class FileFailure {
  kNotFound,      // the file is missing, its folder is there
  kPathNotFound,  // a folder on the way is missing
  kExists,        // what was to be created is there already
  kRefused,       // no permission, a read-only disk, or something else in the file's place
  kInUse,         // locked by another run of the program, or busy
  kDiskFull,      // no space left, or over the quota
  kNotReadable,   // no regular file (a FIFO, a device), or too large to be read whole
  kMalformed,     // read, but not in its format
  kIo,            // any other failure of the system or the device
};

// The one error of the files and their formats: the cause, the system's errno (0 when the
// program found the fault itself), the path, and the reason for the experimenter (the
// system's own, or what the program found).
struct FileError {
  FileFailure cause = FileFailure::kIo;
  int errnum = 0;
  std::string path;
  std::string description;
};

// What an operation on files gives: its value, or the error that kept it from one. An
// operation that gives nothing returns std::optional<FileError>: nothing, or the error.
template <typename T>
using Result = std::variant<T, FileError>;

// The error numbers that messages print, those of the platform the system was first built for.
namespace err {
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIo = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
}  // namespace err
// kNotFound 53, kPathNotFound 76, kExists and kRefused 75, kInUse 70, kDiskFull 61, the rest 57.
int ErrorNumber(FileFailure cause);

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
  // place, or a link in place of its folder, is refused (FileFailure::kRefused), the
  // description saying what stands there. New files and folders take the umask's modes.
  virtual Result<std::unique_ptr<AppendFile>> OpenForAppend(const std::string& path) = 0;
  // Reads a regular file whole. A FIFO, a device or a file over kMaxReadBytes is refused
  // (kNotReadable; a folder: kRefused), without blocking or reading it.
  virtual Result<std::string> ReadAll(const std::string& path) const = 0;
  // Creates one folder; an existing one (or a file of its name) gives kExists. The new
  // folder's entry is on disk when this returns, as is a new file's after its first Close.
  virtual std::optional<FileError> MakeDirectory(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) const = 0;
  // The names in a folder, "." and ".." left out.
  virtual Result<std::vector<std::string>> List(const std::string& folder) const = 0;
  // Replaces the file at path with text, so that a reader finds the old text or the new, never
  // half of one; the new text and its name are on disk when this returns. What is no plain
  // file of its own in place of the file is refused as OpenForAppend refuses it, and the old
  // file then stays as it was.
  virtual std::optional<FileError> Replace(const std::string& path, const std::string& text) = 0;
  virtual std::optional<FileError> Remove(const std::string& path) = 0;
  // Takes the exclusive lock named by path (created if missing) without waiting, and writes
  // into it who holds it: "<host> <process id>". A lock held elsewhere, by this machine or
  // another sharing the folder, gives kInUse, whose description names the
  // holder. The lock ends with its holder's process, so no lock outlives a crashed run.
  // The lock file is opened as OpenForAppend opens, and refused alike; one this account may
  // not write gives kRefused, its description starting "Permission denied".
  virtual Result<std::unique_ptr<FileLock>> Lock(const std::string& path) = 0;
  // True when path names an existing folder (MakeDirectory's kExists may be a file's name).
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
  Result<std::unique_ptr<AppendFile>> OpenForAppend(const std::string& path) override;
  Result<std::string> ReadAll(const std::string& path) const override;
  std::optional<FileError> MakeDirectory(const std::string& path) override;
  bool IsDirectory(const std::string& path) const override;
  bool Exists(const std::string& path) const override;
  Result<std::vector<std::string>> List(const std::string& folder) const override;
  std::optional<FileError> Replace(const std::string& path, const std::string& text) override;
  std::optional<FileError> Remove(const std::string& path) override;
  Result<std::unique_ptr<FileLock>> Lock(const std::string& path) override;
};

// DiskFileSystem's Replace: writes path + ".new" (created anew, never through a link), flushes
// it to disk, renames it over path and flushes the folder. What is no plain file of its own in
// place of either name is refused as OpenForAppend refuses it.
std::optional<FileError> ReplaceContents(const std::string& path, const std::string& text);

// Makes folder and any missing folder above it; the first failure, a folder already there
// being none.
std::optional<FileError> MakeFolders(FileSystem& files, const std::string& folder);

// Refuses what must not be read whole: a path that is no regular file (a FIFO, a device, a
// folder) or one larger than limit bytes. Never blocks.
std::optional<FileError> CheckReadable(const std::string& path, std::size_t limit);

// The error for an errno value: its cause, and the system's description of it.
FileError ErrorFromErrno(int errno_value, const std::string& path);

}  // namespace cue
