#include "platform/qt/qt_lifecycle.h"

#include <cstdio>
#include <cstdlib>

namespace cue {

// The real program ends here without its teardown, where the tests destroy the experiment
// after their lifecycle double has recorded this call. It cannot unwind to main() instead:
// it is called from inside the handlers it ends (the quit question's Yes inside a key
// handler, the last answer inside a trial step, a message box's nested event loop), and
// returning would run the rest of those handlers and the steps queued behind them, where
// "nothing runs afterwards" is promised. What the teardown would add is only the freeing of
// memory, threads (the sound server's main loop, the key-arrival thread) and connections,
// which the process's end frees too; every file is written and closed before this call
// (Experiment::EndProgram, Program::Ending).
void QtLifecycle::EndProgram() {
  std::fflush(nullptr);
  std::_Exit(EXIT_SUCCESS);
}

}  // namespace cue
