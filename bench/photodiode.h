#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/records.h"

namespace cue::bench {

// The virtual photodiode: watches the whole X screen with the Damage extension and, at every
// report, copies the screen (MIT-SHM) and tells what it shows. Each change of what it shows
// is a Seen, stamped with the moment the report that led to it woke this thread.
//
// The damage object reports only when its region turns non-empty; the region is emptied
// before each copy, so a drawing that lands after a copy is always reported again, and the
// last state drawn is never missed. Runs its own X connection on its own thread.
class Photodiode {
 public:
  Photodiode();
  ~Photodiode();
  Photodiode(const Photodiode&) = delete;
  Photodiode& operator=(const Photodiode&) = delete;

  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }

  // Waits at most timeoutMs for the next change; nullopt on timeout.
  std::optional<Seen> Next(int timeoutMs);
  // Every change seen so far, in order.
  std::vector<Seen> All() const;
  // Time from wake-up to a classified frame, per report, in µs.
  std::vector<double> GrabMicros() const;
  // Whether its thread got real-time priority (see RunInRealTime).
  bool RealTime() const { return realTime_; }
  void Stop();

 private:
  struct X;
  void Run();
  void Look(std::int64_t wokeAt);

  std::unique_ptr<X> x_;
  std::string error_;
  int stopFd_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Seen> pending_;         // under mutex_
  std::vector<Seen> all_;            // under mutex_
  std::vector<double> grabs_;        // under mutex_
  std::optional<ScreenState> last_;  // thread only
  std::atomic<bool> realTime_{false};
};

}  // namespace cue::bench
