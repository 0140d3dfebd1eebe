#pragma once

namespace cue {

// The end of the program.
class Lifecycle {
 public:
  virtual ~Lifecycle() = default;
  // Closes every file the program holds and ends it at once: no handler, wait or trial start
  // runs afterwards. The real program never returns from here; a test double records the call
  // and stops its virtual time.
  virtual void EndProgram() = 0;
};

}  // namespace cue
