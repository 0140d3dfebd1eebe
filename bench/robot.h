#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/records.h"

namespace cue::bench {

// The virtual robot: presses keys through the XTest extension at given moments, from a
// thread of its own that sleeps until each moment (absolute CLOCK_MONOTONIC deadlines, timer
// slack 1 ns) and stamps each press as it goes out. Its own X connection, used from two
// threads: REQUIRES XInitThreads() before the first Robot is made.
class Robot {
 public:
  Robot();
  ~Robot();
  Robot(const Robot&) = delete;
  Robot& operator=(const Robot&) = delete;

  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

  // Presses key (a character with a key of its own: digits, lower-case letters, ' ', '\t')
  // at the monotonic time `at`; returns at once.
  void PressAt(std::int64_t at, char key, int tag);
  // Presses the keys of text one after another, gapMs apart, and returns when done.
  void Type(const std::string& text, int gapMs);
  // Gives the input focus to the viewable top-level window of that name, waiting at most
  // timeoutMs for it to appear; false if it did not.
  bool FocusWindow(const std::string& name, int timeoutMs);
  std::vector<KeySent> Sent() const;
  // Whether its thread got real-time priority (see RunInRealTime).
  bool RealTime() const { return realTime_; }
  void Stop();

 private:
  void Run();
  KeySent Press(const KeySent& request);

  void* display_ = nullptr;  // Display*, used by the robot's thread only after the start
  std::string error_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;       // under mutex_
  std::vector<KeySent> queue_;  // under mutex_, due ascending
  std::vector<KeySent> sent_;   // under mutex_
  std::atomic<bool> realTime_{false};
};

}  // namespace cue::bench
