#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

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
    if (!error && ::fsync(fd_) != 0 && errno != EINVAL) error = ErrorFromErrno(errno, path_);
    // A half-written line would corrupt the file for every reader: take it back out.
    if (error && before >= 0) (void)!::ftruncate(fd_, before);
    if (::close(fd_) != 0 && !error) error = ErrorFromErrno(errno, path_);
    fd_ = -1;
    pending_.clear();
    return error;
  }

 private:
  int fd_;
  std::string path_;
  std::string pending_;
};

}  // namespace

std::string DiskFileSystem::CurrentDirectory() const {
  std::error_code ec;
  auto path = std::filesystem::current_path(ec);
  return ec ? std::string(".") : path.string();
}

std::variant<std::unique_ptr<AppendFile>, FileError> DiskFileSystem::OpenForAppend(
    const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return ErrorFromErrno(errno, path);
  return std::unique_ptr<AppendFile>(std::make_unique<PosixAppendFile>(fd, path));
}

std::variant<std::string, FileError> DiskFileSystem::ReadAll(const std::string& path) const {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrorFromErrno(errno, path);
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      FileError error = ErrorFromErrno(errno, path);
      ::close(fd);
      return error;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

std::optional<FileError> DiskFileSystem::MakeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) return ErrorFromErrno(errno, path);
  return std::nullopt;
}

bool DiskFileSystem::IsDirectory(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace cue
