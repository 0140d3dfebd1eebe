#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/generator.h"
#include "platform/lifecycle.h"
#include "platform/scheduler.h"
#include "platform/sound.h"
#include "platform/window_system.h"

namespace cue {

// Every platform service the experiment reaches the outside through, real or a test's double.
// The references must outlive whoever holds the bundle.
struct Services {
  const Clock& clock;
  Scheduler& scheduler;
  Dialogs& dialogs;
  FileSystem& files;
  SoundPlayer& sound;
  Generator& generator;
  WindowSystem& windows;
  Lifecycle& lifecycle;
};

}  // namespace cue
