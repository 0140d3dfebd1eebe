#include "bench/proc_probe.h"

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/mono_time.h"

namespace cue::bench {

namespace {

// schedstat: time on a CPU (ns), time waiting for one (ns), timeslices run. A thread that has
// ended no longer counts; the program's threads live for the whole run.
bool SchedNanos(pid_t pid, ProcSample& sample) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* tasks = opendir(dir.c_str());
  if (tasks == nullptr) return false;
  const std::string main = std::to_string(pid);
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream in(dir + "/" + entry->d_name + "/schedstat");
    std::int64_t onCpu = 0, waited = 0, slices = 0;
    if (!(in >> onCpu >> waited >> slices)) continue;
    sample.cpuNanos += onCpu;
    sample.slices += slices;
    if (entry->d_name == main) {
      sample.mainNanos = onCpu;
      sample.mainSlices = slices;
    }
  }
  closedir(tasks);
  return true;
}

// Fields 14 and 15 of /proc/<pid>/stat, counted after the command name's closing parenthesis
// (the name itself may hold spaces).
std::int64_t StatTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  std::int64_t utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoll(field);
    if (i == 15) stime = std::stoll(field);
  }
  return utime + stime;
}

void Memory(pid_t pid, ProcSample& sample) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string key;
    std::int64_t kb = 0;
    fields >> key >> kb;
    if (key == "VmRSS:") sample.rssKb = kb;
    if (key == "VmHWM:") sample.hwmKb = kb;
  }
}

}  // namespace

std::optional<ProcSample> ReadProc(pid_t pid) {
  ProcSample sample;
  sample.at = NowMicros();
  sample.cpuTicks = StatTicks(pid);
  if (!SchedNanos(pid, sample) || sample.cpuTicks < 0) return std::nullopt;
  Memory(pid, sample);
  return sample;
}

ProcProbe::ProcProbe(pid_t pid, int periodMs) : pid_(pid), periodMs_(periodMs) {
  thread_ = std::thread([this] { Run(); });
}

ProcProbe::~ProcProbe() { Stop(); }

void ProcProbe::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void ProcProbe::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    const auto sample = ReadProc(pid_);
    lock.lock();
    if (sample) samples_.push_back(*sample);
    stop_.wait_for(lock, std::chrono::milliseconds(periodMs_), [this] { return stopping_; });
  }
}

std::vector<ProcSample> ProcProbe::Samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

namespace {

// The counter at time t, interpolated; nullopt outside the samples.
std::optional<double> ValueAt(const std::vector<ProcSample>& samples, std::int64_t t,
                              std::int64_t ProcSample::*counter) {
  const auto after = std::lower_bound(samples.begin(), samples.end(), t,
                                      [](const ProcSample& s, std::int64_t v) { return s.at < v; });
  if (after == samples.end()) return std::nullopt;
  if (after->at == t) return static_cast<double>((*after).*counter);
  if (after == samples.begin()) return std::nullopt;
  const ProcSample& a = *(after - 1);
  const ProcSample& b = *after;
  const double f = static_cast<double>(t - a.at) / static_cast<double>(b.at - a.at);
  return static_cast<double>(a.*counter) + f * static_cast<double>(b.*counter - a.*counter);
}

}  // namespace

std::optional<double> PerSecond(const std::vector<ProcSample>& samples, std::int64_t from,
                                std::int64_t to, std::int64_t ProcSample::*counter) {
  if (to <= from) return std::nullopt;
  const auto a = ValueAt(samples, from, counter);
  const auto b = ValueAt(samples, to, counter);
  if (!a || !b) return std::nullopt;
  return (*b - *a) / (static_cast<double>(to - from) / 1e6);
}

std::optional<double> CpuShare(const std::vector<ProcSample>& samples, std::int64_t from,
                               std::int64_t to, bool mainOnly) {
  const auto ns =
      PerSecond(samples, from, to, mainOnly ? &ProcSample::mainNanos : &ProcSample::cpuNanos);
  if (!ns) return std::nullopt;
  return *ns / 1e9;
}

}  // namespace cue::bench
