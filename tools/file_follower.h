#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cue {

// Follows a text file for a read-only view, the way an experimenter watches a results file
// fill: each Poll() looks at the file once and says what the view must change to show the
// file's current content.
//
// The file is opened for each look and closed again, so the program that writes it is never
// in its way. Bytes are handed on as they are (the system's files are 8-bit text), with line
// ends CR LF, LF or a lone CR all turned into '\n'.
class FileFollower {
 public:
  struct Update {
    enum class Kind { kNone, kAppend, kReplace };
    Kind kind = Kind::kNone;
    // What to append, or the whole new content. For a file that cannot be read, one line
    // that names the file and the reason.
    std::string text;
  };

  // maxShown: at most this many bytes of the file are held in the view; of a longer file only
  // the end is shown, after a line that says so.
  explicit FileFollower(std::string path, std::size_t maxShown = std::size_t{1} << 20);

  // Appends what the file gained since the last look. The whole content is read again on the
  // first look, after the file became readable, when it got shorter, or when another file
  // took its name (a new inode). A file rewritten in place to at least its old length between
  // two looks is taken for grown.
  Update Poll();

  const std::string& path() const { return path_; }

 private:
  Update Reload(int fd, std::uint64_t size);
  Update Failure(std::string line);
  std::string Lines(const std::string& bytes);

  std::string path_;
  std::size_t maxShown_;
  bool readable_ = false;     // the view shows the file, not an error line
  std::string errorLine_;     // the error line the view shows, if it shows one
  std::uint64_t offset_ = 0;  // bytes of the file taken into the view
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  bool heldCr_ = false;  // a CR ended the last read; a following LF belongs to it
};

}  // namespace cue
