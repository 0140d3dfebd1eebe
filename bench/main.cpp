// cuebench: measures a running cuesearch from outside (see bench/README.md).
//
//   cuebench --write-sounds DIR     writes the benchmark's tone bursts into DIR
//   cuebench --pid PID --lab DIR [--trials N] [--id ID] [--order C] [--delays 300,500,700]
//            [--rest-key-ms MS] [--tsv FILE] [--verbose 1]
//
// The program must show its start-up screen on the X display of DISPLAY, with DIR as its
// working folder and the PulseAudio server of the environment as its output.
#include <X11/Xlib.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/analysis.h"
#include "bench/lab_files.h"
#include "bench/monitor_recorder.h"
#include "bench/mono_time.h"
#include "bench/photodiode.h"
#include "bench/proc_probe.h"
#include "bench/robot.h"
#include "bench/table.h"
#include "bench/tones.h"
#include "bench/x_method.h"

namespace cue::bench {
namespace {

struct Options {
  pid_t pid = 0;
  std::string lab;
  int trials = 80;
  int id = 901;
  int order = 2;
  std::vector<int> delays = {300, 500, 700};
  int restKeyMs = 1500;
  std::string tsv;
  std::string writeSounds;
  bool verbose = false;
};

constexpr int kMethodSamples = 40;
constexpr int kTypingGapMs = 60;
constexpr int kQuietLimitMs = 15'000;  // no change on screen for this long ends the run
constexpr int kProbePeriodMs = 20;
constexpr std::int64_t kSettleMicros = 1'500'000;

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const std::string value = argv[i + 1];
    if (flag == "--pid") {
      o.pid = static_cast<pid_t>(std::stoi(value));
    } else if (flag == "--lab") {
      o.lab = value;
    } else if (flag == "--trials") {
      o.trials = std::stoi(value);
    } else if (flag == "--id") {
      o.id = std::stoi(value);
    } else if (flag == "--order") {
      o.order = std::stoi(value);
    } else if (flag == "--delays") {
      o.delays.clear();
      std::istringstream list(value);
      for (std::string item; std::getline(list, item, ',');) o.delays.push_back(std::stoi(item));
    } else if (flag == "--rest-key-ms") {
      o.restKeyMs = std::stoi(value);
    } else if (flag == "--tsv") {
      o.tsv = value;
    } else if (flag == "--verbose") {
      o.verbose = value == "1";
    } else if (flag == "--write-sounds") {
      o.writeSounds = value;
    } else {
      return false;
    }
  }
  if (argc % 2 == 0) return false;
  if (!o.writeSounds.empty()) return true;
  return o.pid > 0 && !o.lab.empty() && o.trials > 0 && !o.delays.empty();
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

// Drives the run: enters the subject, answers each field after its delay, ends each rest
// after restKeyMs, and stops once the field after the last measured trial has appeared (its
// start writes the last measured trial's timing line). Returns false if the run broke off.
bool Drive(const Options& o, Photodiode& eye, Robot& robot, XMethodDelays& method,
           std::string& why) {
  if (!robot.FocusWindow("Greet", 10'000)) {
    why = "the start-up window \"Greet\" did not appear";
    return false;
  }
  // The method's own delays, on a window of ours in front of the start-up screen, which has
  // by now taken the focus that the program gives it.
  SleepUntilMicros(NowMicros() + kSettleMicros);
  method = MeasureXMethod(kMethodSamples);
  if (!robot.FocusWindow("Greet", 1000)) {
    why = "the start-up window \"Greet\" cannot take the focus";
    return false;
  }
  robot.Type(std::to_string(o.id) + "\tab\t" + std::to_string(o.order) + "\t ", kTypingGapMs);
  int trial = 0;
  Screen previous = Screen::kOther;
  for (;;) {
    const auto seen = eye.Next(kQuietLimitMs);
    if (!seen) {
      why = "nothing changed on the screen for " + std::to_string(kQuietLimitMs / 1000) + " s";
      return false;
    }
    if (!Alive(o.pid)) {
      why = "the program ended";
      return false;
    }
    const Screen screen = seen->state.screen;
    if (o.verbose) {
      std::cerr << seen->at << " us: " << seen->state.Describe() << "\n";
    }
    if (screen == Screen::kField && previous != Screen::kField) {
      ++trial;
      if (trial > o.trials) return true;
      const int delay = o.delays[static_cast<std::size_t>(trial - 1) % o.delays.size()];
      robot.PressAt(seen->at + delay * 1000LL, trial % 2 == 1 ? 'm' : 'n', trial);
    }
    if (screen == Screen::kRest && previous != Screen::kRest) {
      robot.PressAt(seen->at + o.restKeyMs * 1000LL, ' ', 0);
    }
    previous = screen;
  }
}

std::vector<Heard> HeardSounds(const MonitorRecorder& recorder, bool verbose) {
  std::vector<Heard> heard;
  const auto anchors = UsableAnchors(recorder.Anchors());
  if (anchors.empty()) return heard;
  for (const ToneOnset& onset : recorder.Onsets()) {
    heard.push_back(
        Heard{FrameMicros(onset.frame, recorder.Rate(), anchors), SoundOfHz(onset.hz).value_or(0)});
    if (verbose) {
      std::cerr << static_cast<std::int64_t>(heard.back().at) / 1000 << " ms: sound at " << onset.hz
                << " Hz, peak " << onset.peak << '\n';
    }
  }
  return heard;
}

// The 1-minute load average: how busy the shared machine was.
std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string first;
  in >> first;
  return first;
}

int Run(const Options& o) {
  const std::string loadBefore = LoadAverage();
  MonitorRecorder recorder;
  if (!recorder.Ready()) std::cerr << "cuebench: no sound capture: " << recorder.Error() << '\n';
  Photodiode eye;
  Robot robot;
  if (!eye.Ready() || !robot.Ready()) {
    std::cerr << "cuebench: " << (eye.Ready() ? robot.Error() : eye.Error()) << '\n';
    return 2;
  }
  ProcProbe probe(o.pid, kProbePeriodMs);
  std::string why;
  XMethodDelays method;
  const bool complete = Drive(o, eye, robot, method, why);
  if (!method.error.empty()) std::cerr << "cuebench: " << method.error << '\n';
  SleepUntilMicros(NowMicros() + 300'000);  // the last sounds reach the capture
  eye.Stop();
  robot.Stop();
  probe.Stop();
  recorder.Stop();

  RunRecord run;
  run.trials = o.trials;
  run.screens = eye.All();
  run.keys = robot.Sent();
  run.proc = probe.Samples();
  run.sounds = HeardSounds(recorder, o.verbose);
  run.damageDelay = method.damage;
  run.keyDelay = method.key;
  run.grabTime = eye.GrabMicros();
  run.anchors = UsableAnchors(recorder.Anchors());
  run.captureLost = recorder.LostFrames();
  LabRun lab = ReadLabRun(o.lab, static_cast<std::int16_t>(o.id));
  run.results = std::move(lab.results);
  run.timing = std::move(lab.timing);
  const int bad = lab.unreadable;

  Report report = Analyse(run);
  if (bad > 0) report.notes.push_back(std::to_string(bad) + " lines of the lab files unreadable");
  if (!complete) report.notes.push_back("run broke off: " + why);
  std::cout << "cuesearch timing, " << run.results.size() << " trials answered, order condition "
            << o.order << ", " << run.screens.size() << " screen changes, " << run.sounds.size()
            << " sounds heard\n"
            << "photodiode and robot threads "
            << (eye.RealTime() && robot.RealTime() ? "in" : "NOT in")
            << " real-time priority; load average before " << loadBefore << ", after "
            << LoadAverage() << "\n";
  PrintTable(report, std::cout);
  if (!o.tsv.empty()) {
    std::ofstream tsv(o.tsv);
    WriteTsv(report, tsv);
  }
  return complete ? 0 : 1;
}

}  // namespace
}  // namespace cue::bench

int main(int argc, char** argv) {
  cue::bench::Options options;
  if (!cue::bench::Parse(argc, argv, options)) {
    std::cerr << "usage: cuebench --pid PID --lab DIR [--trials N] [--id ID] [--order C]\n"
                 "                [--delays MS,MS,...] [--rest-key-ms MS] [--tsv FILE]\n"
                 "                [--verbose 1]\n"
                 "       cuebench --write-sounds DIR\n";
    return 2;
  }
  if (!options.writeSounds.empty()) {
    std::string error;
    if (!cue::bench::WriteToneFiles(options.writeSounds, error)) {
      std::cerr << "cuebench: " << error << '\n';
      return 2;
    }
    return 0;
  }
  XInitThreads();
  return cue::bench::Run(options);
}
