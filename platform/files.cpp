#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <utility>

namespace cue {

int ErrorNumber(FileFailure cause) {
  switch (cause) {
    case FileFailure::kNotFound:
      return err::kFileNotFound;
    case FileFailure::kPathNotFound:
      return err::kPathNotFound;
    case FileFailure::kExists:
    case FileFailure::kRefused:
      return err::kPathFileAccess;
    case FileFailure::kInUse:
      return err::kPermissionDenied;
    case FileFailure::kDiskFull:
      return err::kDiskFull;
    case FileFailure::kNotReadable:
    case FileFailure::kMalformed:
    case FileFailure::kIo:
      return err::kDeviceIo;
  }
  return err::kDeviceIo;
}

std::string Describe(const FileError& error) {
  return std::to_string(ErrorNumber(error.cause)) + ": " + error.description + " (" + error.path +
         ")";
}

char PathSeparator() { return static_cast<char>(std::filesystem::path::preferred_separator); }

std::string JoinPath(const std::string& a, const std::string& b) { return a + PathSeparator() + b; }

FileError ErrorFromErrno(int errno_value, const std::string& path) {
  FileFailure cause = FileFailure::kIo;
  switch (errno_value) {
    case ENOENT:
      // A missing file in an existing folder is "file not found"; a missing folder on the
      // way is "path not found".
      cause = std::filesystem::exists(std::filesystem::path(path).parent_path())
                  ? FileFailure::kNotFound
                  : FileFailure::kPathNotFound;
      break;
    case ENOTDIR:
      cause = FileFailure::kPathNotFound;
      break;
    case EEXIST:
      cause = FileFailure::kExists;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      cause = FileFailure::kRefused;
      break;
    case ENOSPC:
    case EDQUOT:
      cause = FileFailure::kDiskFull;
      break;
    case ETXTBSY:
    case EBUSY:
      cause = FileFailure::kInUse;
      break;
    default:
      break;
  }
  return FileError{cause, errno_value, path, std::strerror(errno_value)};
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  explicit Descriptor(int value) : fd(value) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(Descriptor&& other) noexcept : fd(other.Release()) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&&) = delete;
  int Release() { return std::exchange(fd, -1); }
  int fd;
};

// Puts a folder's entries on disk: a file or folder just created there survives a power cut.
// Best effort: a file system that cannot sync folders has nothing more to offer.
void SyncParent(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  const Descriptor dir(
      ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd >= 0) (void)::fsync(dir.fd);
}

std::string Megabytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

FileError TooLarge(std::size_t limit, const std::string& path) {
  return FileError{FileFailure::kNotReadable, 0, path,
                   "Larger than " + Megabytes(limit) + ", so it is not read"};
}

std::optional<FileError> CheckStat(const struct stat& info, std::size_t limit,
                                   const std::string& path) {
  if (S_ISDIR(info.st_mode)) return ErrorFromErrno(EISDIR, path);
  if (!S_ISREG(info.st_mode)) {
    return FileError{FileFailure::kNotReadable, 0, path,
                     "Not a regular file (a FIFO or a device), so it is not read"};
  }
  if (static_cast<std::uintmax_t>(info.st_size) > limit) return TooLarge(limit, path);
  return std::nullopt;
}

// What stands where a file of the program's should be, when it is no plain file of its own.
std::optional<std::string> Intruder(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) return "a link";
  if (S_ISDIR(info.st_mode)) return "a folder";
  if (S_ISFIFO(info.st_mode)) return "a FIFO";
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device";
  if (!S_ISREG(info.st_mode)) return "no plain file";
  if (info.st_nlink > 1) return "a file with a second name (a hard link)";
  return std::nullopt;
}

// place: "this file", or "this file's folder".
FileError Refused(const std::string& what, const std::string& path,
                  const char* place = "this file") {
  return FileError{
      FileFailure::kRefused, 0, path,
      "There is " + what + " in place of " + place + "; the program writes nothing through it"};
}

// A file's folder opened without following a link in its place, and the file's name in it:
// the writes below open the name relative to it, never through a link (O_NOFOLLOW). The
// folders above it are the lab's or the user's own, which may well be links.
struct InFolder {
  Descriptor dir{-1};
  std::string name;
  std::optional<FileError> error;
};

InFolder OpenFolderOf(const std::string& path) {
  const std::filesystem::path p(path);
  const std::string parent = p.parent_path().string();
  InFolder in;
  in.name = p.filename().string();
  in.dir.fd = ::open(parent.empty() ? "." : parent.c_str(),
                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (in.dir.fd < 0) {
    const int e = errno;
    struct stat info {};
    in.error =
        (e == ELOOP || e == ENOTDIR) && ::lstat(parent.c_str(), &info) == 0 && S_ISLNK(info.st_mode)
            ? Refused("a link", path, "this file's folder")
            : ErrorFromErrno(e, path);
  }
  return in;
}

// Opens name in the folder dir with flags (O_NOFOLLOW added), refusing what is no plain file
// of its own. A name that lstat shows to be such is refused without being opened (opening a
// device or a FIFO may act on it); the fstat after the open closes the race.
Result<Descriptor> OpenPlain(int dir, const std::string& name, const std::string& path, int flags) {
  struct stat info {};
  if (::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    if (auto what = Intruder(info)) return Refused(*what, path);
  }
  flags |= O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  // Created for reading and writing by all, less the umask: in a group-shared lab folder
  // (umask 002) every account of the group may write what another one created.
  Descriptor fd(::openat(dir, name.c_str(), flags | O_CREAT | O_EXCL, 0666));
  const bool created = fd.fd >= 0;
  if (!created && errno == EEXIST) fd.fd = ::openat(dir, name.c_str(), flags);
  if (fd.fd < 0) {
    const int e = errno;
    if (e == ELOOP) return Refused("a link", path);
    if (e == EACCES) {
      return FileError{FileFailure::kRefused, e, path,
                       "Permission denied: this account may not write it (every account that runs "
                       "the program needs write permission on the lab folder's files)"};
    }
    return ErrorFromErrno(e, path);
  }
  if (::fstat(fd.fd, &info) != 0) return ErrorFromErrno(errno, path);
  if (auto what = Intruder(info)) return Refused(*what, path);
  if (created) (void)::fsync(dir);
  return fd;
}

// The rows of a results file are appended by one process at a time: the run holds the
// subject's lock (see FileSystem::Lock) for as long as it writes. So nothing can have been
// appended by anyone else between this write and the truncation that takes it back.
class PosixAppendFile final : public AppendFile {
 public:
  PosixAppendFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixAppendFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixAppendFile(const PosixAppendFile&) = delete;
  PosixAppendFile& operator=(const PosixAppendFile&) = delete;

  void Write(std::string_view text) override { pending_.append(text); }

  std::optional<FileError> Close() override {
    if (fd_ < 0) return std::nullopt;
    std::optional<FileError> error;
    const off_t before = ::lseek(fd_, 0, SEEK_END);
    std::size_t done = 0;
    while (done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = ErrorFromErrno(errno, path_);
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    bool synced = false;
    if (!error) {
      if (::fsync(fd_) == 0) {
        synced = true;
      } else if (errno != EINVAL) {
        error = ErrorFromErrno(errno, path_);
      }
    }
    // A half-written line would corrupt the file for every reader: take it back out.
    if (error && before >= 0) (void)!::ftruncate(fd_, before);
    // Once fsync has succeeded the text is on disk, whatever close says; reporting a failure
    // then would have the caller write the same lines a second time.
    if (::close(fd_) != 0 && !error && !synced) error = ErrorFromErrno(errno, path_);
    fd_ = -1;
    pending_.clear();
    return error;
  }

 private:
  int fd_;
  std::string path_;
  std::string pending_;
};

class FlockLock final : public FileLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { ::close(fd_); }
  FlockLock(const FlockLock&) = delete;
  FlockLock& operator=(const FlockLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::optional<FileError> CheckReadable(const std::string& path, std::size_t limit) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return ErrorFromErrno(errno, path);
  return CheckStat(info, limit, path);
}

std::string DiskFileSystem::CurrentDirectory() const {
  std::error_code ec;
  auto path = std::filesystem::current_path(ec);
  return ec ? std::string(".") : path.string();
}

// O_NONBLOCK: a FIFO put in a file's place fails at once instead of waiting for a reader.
Result<std::unique_ptr<AppendFile>> DiskFileSystem::OpenForAppend(const std::string& path) {
  const InFolder in = OpenFolderOf(path);
  if (in.error) return *in.error;
  auto opened = OpenPlain(in.dir.fd, in.name, path, O_WRONLY | O_APPEND);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  return std::unique_ptr<AppendFile>(
      std::make_unique<PosixAppendFile>(std::get<Descriptor>(opened).Release(), path));
}

Result<std::string> DiskFileSystem::ReadAll(const std::string& path) const {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.fd < 0) return ErrorFromErrno(errno, path);
  struct stat info {};
  if (::fstat(fd.fd, &info) != 0) return ErrorFromErrno(errno, path);
  if (auto refused = CheckStat(info, kMaxReadBytes, path)) return *refused;
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrorFromErrno(errno, path);
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    // The file grew while being read.
    if (text.size() > kMaxReadBytes) return TooLarge(kMaxReadBytes, path);
  }
  return text;
}

std::optional<FileError> DiskFileSystem::MakeDirectory(const std::string& path) {
  // All may use it, less the umask; a setgid parent passes its group on.
  if (::mkdir(path.c_str(), 0777) != 0) return ErrorFromErrno(errno, path);
  SyncParent(path);
  return std::nullopt;
}

bool DiskFileSystem::IsDirectory(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool DiskFileSystem::Exists(const std::string& path) const {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

Result<std::vector<std::string>> DiskFileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return ErrorFromErrno(errno, folder);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

std::optional<FileError> DiskFileSystem::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return ErrorFromErrno(errno, path);
  SyncParent(path);
  return std::nullopt;
}

// flock, not fcntl: the lock belongs to this descriptor alone, so opening and closing the
// locked file elsewhere in the process does not drop it. The lock file is never removed:
// removing it would let a later run lock a new file while an earlier one still holds the old.
Result<std::unique_ptr<FileLock>> DiskFileSystem::Lock(const std::string& path) {
  const InFolder in = OpenFolderOf(path);
  if (in.error) return *in.error;
  auto opened = OpenPlain(in.dir.fd, in.name, path, O_RDWR);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  Descriptor& fd = std::get<Descriptor>(opened);
  struct stat info {};
  if (::fstat(fd.fd, &info) != 0) return ErrorFromErrno(errno, path);
  if (auto refused = CheckStat(info, 4096, path)) return *refused;
  if (::flock(fd.fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return ErrorFromErrno(errno, path);
    char holder[256] = {};
    const ssize_t n = ::pread(fd.fd, holder, sizeof holder - 1, 0);
    std::string who(holder, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!who.empty() && (who.back() == '\n' || who.back() == '\r')) who.pop_back();
    if (who.empty()) who = "another run";
    const auto space = who.rfind(' ');
    if (space != std::string::npos)
      who = "machine " + who.substr(0, space) + ", process " + who.substr(space + 1);
    return FileError{FileFailure::kInUse, EWOULDBLOCK, path,
                     "Locked by another run of the program (" + who + ")"};
  }
  char host[HOST_NAME_MAX + 1] = {};
  if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "unknown");
  const std::string who = std::string(host) + " " + std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd.fd, 0) == 0) (void)!::pwrite(fd.fd, who.data(), who.size(), 0);
  (void)::fsync(fd.fd);
  return std::unique_ptr<FileLock>(std::make_unique<FlockLock>(fd.Release()));
}

std::optional<FileError> DiskFileSystem::Replace(const std::string& path, const std::string& text) {
  return ReplaceContents(path, text);
}

std::optional<FileError> MakeFolders(FileSystem& files, const std::string& folder) {
  if (files.IsDirectory(folder)) return std::nullopt;
  const std::string parent = std::filesystem::path(folder).parent_path().string();
  // Tried whatever the folders above gave: a folder this account may not list can still be
  // there.
  if (!parent.empty() && parent != folder) (void)MakeFolders(files, parent);
  auto error = files.MakeDirectory(folder);
  if (error && error->cause == FileFailure::kExists && files.IsDirectory(folder))
    return std::nullopt;
  return error;
}

std::optional<FileError> ReplaceContents(const std::string& path, const std::string& text) {
  const InFolder in = OpenFolderOf(path);
  if (in.error) return in.error;
  struct stat info {};
  if (::fstatat(in.dir.fd, in.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    if (auto what = Intruder(info)) return Refused(*what, path);
  }
  const std::string fresh = path + ".new", freshName = in.name + ".new";
  // A plain ".new" is what an interrupted replacement left behind.
  if (::fstatat(in.dir.fd, freshName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !Intruder(info)) {
    (void)::unlinkat(in.dir.fd, freshName.c_str(), 0);
  }
  auto opened = OpenPlain(in.dir.fd, freshName, fresh, O_WRONLY);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  const int fd = std::get<Descriptor>(opened).fd;
  std::optional<FileError> error;
  for (std::size_t done = 0; done < text.size() && !error;) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno != EINTR) error = ErrorFromErrno(errno, fresh);
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (!error && ::fsync(fd) != 0) error = ErrorFromErrno(errno, fresh);
  if (!error && ::renameat(in.dir.fd, freshName.c_str(), in.dir.fd, in.name.c_str()) != 0) {
    error = ErrorFromErrno(errno, path);
  }
  if (error) {
    (void)::unlinkat(in.dir.fd, freshName.c_str(), 0);
    return error;
  }
  (void)::fsync(in.dir.fd);
  return std::nullopt;
}

}  // namespace cue
