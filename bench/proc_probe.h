#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace cue::bench {

// One look at a process from /proc.
struct ProcSample {
  std::int64_t at = 0;          // µs of CLOCK_MONOTONIC
  std::int64_t cpuNanos = 0;    // time on a CPU, all its threads (task/*/schedstat), ns
  std::int64_t mainNanos = 0;   // the same for its main (GUI) thread alone
  std::int64_t slices = 0;      // times its threads were put on a CPU: their wake-ups
  std::int64_t mainSlices = 0;  // the same for the main thread
  std::int64_t cpuTicks = 0;    // utime + stime of /proc/<pid>/stat, clock ticks
  std::int64_t rssKb = 0;       // VmRSS
  std::int64_t hwmKb = 0;       // VmHWM: the most it was resident
};

// Reads the process's CPU time and memory. nullopt once it has gone.
std::optional<ProcSample> ReadProc(pid_t pid);

// Looks at the process every periodMs on a thread of its own.
class ProcProbe {
 public:
  ProcProbe(pid_t pid, int periodMs);
  ~ProcProbe();
  ProcProbe(const ProcProbe&) = delete;
  ProcProbe& operator=(const ProcProbe&) = delete;

  void Stop();
  std::vector<ProcSample> Samples() const;

 private:
  void Run();

  pid_t pid_;
  int periodMs_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;            // under mutex_
  std::vector<ProcSample> samples_;  // under mutex_
};

// How fast a counter of the samples grew over [from, to], per second, each end interpolated
// linearly between the samples around it. nullopt when the samples do not cover the span.
// REQUIRES: samples in time order.
std::optional<double> PerSecond(const std::vector<ProcSample>& samples, std::int64_t from,
                                std::int64_t to, std::int64_t ProcSample::*counter);

// CPU used over [from, to] as a fraction of one core, from the schedstat readings (all
// threads, or the main thread alone).
std::optional<double> CpuShare(const std::vector<ProcSample>& samples, std::int64_t from,
                               std::int64_t to, bool mainOnly = false);

}  // namespace cue::bench
