#include "tools/file_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/files.h"

namespace cue {
namespace {

// Closes a descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads [from, from + count), or fewer bytes if the file ends first. Sets errno on failure.
bool ReadRange(int fd, std::uint64_t from, std::uint64_t count, std::string& out) {
  out.resize(count);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, out.data() + done, count - done, static_cast<off_t>(from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return true;
}

}  // namespace

FileFollower::FileFollower(std::string path, std::size_t maxShown)
    : path_(std::move(path)), maxShown_(maxShown) {}

FileFollower::Update FileFollower::Poll() {
  // O_NONBLOCK: a FIFO of that name must not stall the user interface; it is refused below.
  const Descriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    return Failure("Cannot read the file: " + Describe(ErrorFromErrno(errno, path_)));
  }
  if (S_ISDIR(st.st_mode)) {
    return Failure("Cannot read the file: " + Describe(ErrorFromErrno(EISDIR, path_)));
  }
  if (!S_ISREG(st.st_mode))
    return Failure("Cannot read the file: not a plain file (" + path_ + ")");

  const auto size = static_cast<std::uint64_t>(st.st_size);
  const bool sameFile = device_ == static_cast<std::uint64_t>(st.st_dev) &&
                        inode_ == static_cast<std::uint64_t>(st.st_ino);
  if (!readable_ || !sameFile || size < offset_ || size - offset_ > maxShown_) {
    device_ = static_cast<std::uint64_t>(st.st_dev);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    return Reload(fd.get(), size);
  }
  if (size == offset_) return {};
  std::string bytes;
  if (!ReadRange(fd.get(), offset_, size - offset_, bytes)) {
    return Failure("Cannot read the file: " + Describe(ErrorFromErrno(errno, path_)));
  }
  offset_ += bytes.size();
  return Update{Update::Kind::kAppend, Lines(bytes)};
}

FileFollower::Update FileFollower::Reload(int fd, std::uint64_t size) {
  const std::uint64_t from = size > maxShown_ ? size - maxShown_ : 0;
  std::string bytes;
  if (!ReadRange(fd, from, size - from, bytes)) {
    return Failure("Cannot read the file: " + Describe(ErrorFromErrno(errno, path_)));
  }
  readable_ = true;
  errorLine_.clear();
  heldCr_ = false;
  offset_ = from + bytes.size();
  std::string text;
  if (from > 0) {
    // Start at a whole line: drop the part of a line that the cut left.
    std::size_t cut = bytes.find_first_of("\r\n");
    if (cut == std::string::npos) {
      cut = bytes.size();
    } else {
      if (bytes.compare(cut, 2, "\r\n") == 0) ++cut;
      ++cut;
    }
    bytes.erase(0, cut);
    text = "[the first " + std::to_string(size - bytes.size()) + " bytes are not shown]\n";
  }
  return Update{Update::Kind::kReplace, text + Lines(bytes)};
}

FileFollower::Update FileFollower::Failure(std::string line) {
  readable_ = false;
  if (line == errorLine_) return {};
  errorLine_ = line;
  return Update{Update::Kind::kReplace, std::move(line)};
}

std::string FileFollower::Lines(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (heldCr_) {
      heldCr_ = false;
      out += '\n';
      if (c == '\n') continue;
    }
    if (c == '\r') {
      heldCr_ = true;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace cue
