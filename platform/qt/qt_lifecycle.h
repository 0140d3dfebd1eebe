#pragma once

#include "platform/lifecycle.h"

namespace cue {

// Ends the program at once. The program holds no file open between writes, so there is
// nothing left to close but the standard streams, which are flushed; then the process exits
// without unwinding, so that no handler, timer or trial start can run afterwards.
class QtLifecycle final : public Lifecycle {
 public:
  [[noreturn]] void EndProgram() override;
};

}  // namespace cue
