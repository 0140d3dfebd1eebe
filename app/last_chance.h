#pragma once

#include <functional>
#include <memory>

#include "platform/unique_fd.h"

class QSocketNotifier;

namespace cue {

// The program's ends that it does not choose itself: SIGTERM (a shutdown, a logout, kill),
// SIGHUP (the terminal went away), SIGINT (Ctrl+C), and the loss of the X connection, after
// which the toolkit calls exit(). Each runs the one last-chance step it is given, on the GUI
// thread, before the process ends.
//
// The signal handler only writes the signal's number into a pipe (write() is safe in a
// handler); the event loop reads it and runs the step there, so the step may do anything the
// program does. The toolkit's exit() is caught by an atexit hook, which it runs on the GUI
// thread, where the event loop called exit(). One LastChance exists at a time: it owns the
// pipe, and the handler reaches its write end through a process-wide descriptor number.
class LastChance {
 public:
  // step(signal) ends with the process; for the toolkit's exit() it gets 0 and returns.
  explicit LastChance(std::function<void(int)> step);
  ~LastChance();
  LastChance(const LastChance&) = delete;
  LastChance& operator=(const LastChance&) = delete;

 private:
  void Drain();

  std::function<void(int)> step_;
  UniqueFd readEnd_;
  UniqueFd writeEnd_;
  std::unique_ptr<QSocketNotifier> notifier_;  // on readEnd_; goes first
};

}  // namespace cue
