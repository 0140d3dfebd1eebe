#include "platform/qt/qt_lifecycle.h"

#include <cstdio>
#include <cstdlib>

namespace cue {

void QtLifecycle::EndProgram() {
  std::fflush(nullptr);
  std::_Exit(EXIT_SUCCESS);
}

}  // namespace cue
