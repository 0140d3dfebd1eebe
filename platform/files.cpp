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

std::string Describe(const FileError& error) {
  return std::to_string(error.number) + ": " + error.description + " (" + error.path + ")";
}

char PathSeparator() { return static_cast<char>(std::filesystem::path::preferred_separator); }

std::string JoinPath(const std::string& a, const std::string& b) {
  return a + PathSeparator() + b;
}

FileError ErrorFromErrno(int errno_value, const std::string& path) {
  int number = err::kDeviceIo;
  switch (errno_value) {
    case ENOENT:
      // A missing file in an existing folder is "file not found"; a missing folder on the
      // way is "path not found".
      number = std::filesystem::exists(std::filesystem::path(path).parent_path())
                   ? err::kFileNotFound
                   : err::kPathNotFound;
      break;
    case ENOTDIR:
      number = err::kPathNotFound;
      break;
    case EEXIST:
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      number = err::kPathFileAccess;
      break;
    case ENOSPC:
    case EDQUOT:
      number = err::kDiskFull;
      break;
    case ETXTBSY:
    case EBUSY:
      number = err::kPermissionDenied;
      break;
    default:
      break;
  }
  return FileError{number, std::strerror(errno_value), path};
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  explicit Descriptor(int value) : fd(value) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Release() { return std::exchange(fd, -1); }
  int fd;
};

// Puts a folder's entries on disk: a file or folder just created there survives a power cut.
// Best effort: a file system that cannot sync folders has nothing more to offer.
void SyncParent(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  const Descriptor dir(::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd >= 0) (void)::fsync(dir.fd);
}

std::string Megabytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

FileError TooLarge(std::size_t limit, const std::string& path) {
  return FileError{err::kDeviceIo, "Larger than " + Megabytes(limit) + ", so it is not read", path};
}

std::optional<FileError> CheckStat(const struct stat& info, std::size_t limit, const std::string& path) {
  if (S_ISDIR(info.st_mode)) return ErrorFromErrno(EISDIR, path);
  if (!S_ISREG(info.st_mode)) {
    return FileError{err::kDeviceIo, "Not a regular file (a FIFO or a device), so it is not read", path};
  }
  if (static_cast<std::uintmax_t>(info.st_size) > limit) return TooLarge(limit, path);
  return std::nullopt;
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
std::variant<std::unique_ptr<AppendFile>, FileError> DiskFileSystem::OpenForAppend(
    const std::string& path) {
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
  if (fd >= 0) {
    SyncParent(path);
  } else if (errno == EEXIST) {
    fd = ::open(path.c_str(), kFlags);
  }
  if (fd < 0) return ErrorFromErrno(errno, path);
  return std::unique_ptr<AppendFile>(std::make_unique<PosixAppendFile>(fd, path));
}

std::variant<std::string, FileError> DiskFileSystem::ReadAll(const std::string& path) const {
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
  if (::mkdir(path.c_str(), 0755) != 0) return ErrorFromErrno(errno, path);
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

std::vector<std::string> DiskFileSystem::List(const std::string& folder) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
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
std::variant<std::unique_ptr<FileLock>, FileError> DiskFileSystem::Lock(const std::string& path) {
  Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644));
  if (fd.fd < 0) return ErrorFromErrno(errno, path);
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
    if (space != std::string::npos) who = "machine " + who.substr(0, space) + ", process " + who.substr(space + 1);
    return FileError{err::kPermissionDenied, "Locked by another run of the program (" + who + ")", path};
  }
  char host[HOST_NAME_MAX + 1] = {};
  if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "unknown");
  const std::string who = std::string(host) + " " + std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd.fd, 0) == 0) (void)!::pwrite(fd.fd, who.data(), who.size(), 0);
  (void)::fsync(fd.fd);
  if (info.st_size == 0) SyncParent(path);
  return std::unique_ptr<FileLock>(std::make_unique<FlockLock>(fd.Release()));
}

}  // namespace cue
