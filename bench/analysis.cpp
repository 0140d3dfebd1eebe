#include "bench/analysis.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

#include "bench/tones.h"

namespace cue::bench {

namespace {

constexpr double kMs = 1000.0;  // µs per ms
constexpr int kPauseBlank1 = 1000, kPauseCross = 1000, kPauseBlank2 = 500, kRestBlank = 2000;
constexpr double kCueDelayMicros = 1'000'000;
// A sound belongs to its moment if it starts within this window around it (µs).
constexpr double kCueEarliest = -20'000, kCueLatest = 200'000;
constexpr double kFeedbackLatest = 200'000;
// CPU is counted over a waiting screen from this long after it appeared to this long before
// it went, so that drawing it and preparing the next is left out (µs).
constexpr std::int64_t kCpuLead = 50'000, kCpuTail = 20'000, kCpuMinSpan = 300'000;

// One trial's field as seen: when it appeared, each flicker swap after that, when it went,
// and the pause before it.
struct FieldPeriod {
  std::int64_t onset = 0;
  std::vector<std::int64_t> swaps;
  std::int64_t offset = -1;
  Pause before;
};

std::vector<FieldPeriod> FieldPeriods(const std::vector<Seen>& screens) {
  std::vector<FieldPeriod> fields;
  std::vector<Seen> between;
  bool inField = false;
  for (const Seen& seen : screens) {
    const bool field = seen.state.screen == Screen::kField;
    if (field && !inField) {
      FieldPeriod period;
      period.onset = seen.at;
      period.before = PauseOf(between);
      fields.push_back(period);
      between.clear();
    } else if (field) {
      fields.back().swaps.push_back(seen.at);
    } else {
      if (inField) fields.back().offset = seen.at;
      between.push_back(seen);
    }
    inField = field;
  }
  return fields;
}

std::optional<Heard> FirstHeard(const std::vector<Heard>& sounds, double from, double to,
                                bool cue) {
  for (const Heard& h : sounds) {
    const bool isCue = h.sound >= 1 && h.sound <= 9;
    const bool isFeedback = h.sound == kCorrect || h.sound == kError;
    if (h.at >= from && h.at <= to && (cue ? isCue : isFeedback)) return h;
  }
  return std::nullopt;
}

class Builder {
 public:
  void Add(const std::string& key, const std::string& name, const std::string& unit,
           std::vector<double> values) {
    report_.rows.push_back(Row{key, name, unit, Summarize(std::move(values))});
  }
  void Note(const std::string& what, int count) {
    if (count > 0) report_.notes.push_back(std::to_string(count) + " " + what);
  }
  // A note that names the trials (the first ten), so that a run can be looked into.
  void Note(const std::string& what, const std::vector<int>& trials) {
    if (trials.empty()) return;
    std::string text = std::to_string(trials.size()) + " " + what + " (trial";
    for (std::size_t i = 0; i < trials.size() && i < 10; ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(trials[i]);
    }
    report_.notes.push_back(text + (trials.size() > 10 ? ", ...)" : ")"));
  }
  Report Take() { return std::move(report_); }

 private:
  Report report_;
};

std::vector<double> ToMs(const std::vector<double>& micros) {
  std::vector<double> ms;
  ms.reserve(micros.size());
  for (const double v : micros) ms.push_back(v / kMs);
  return ms;
}

// The display's period (ms) as the program measured it, 0 when its log does not say.
double PeriodMs(const RunRecord& run) {
  for (const auto& [trial, row] : run.timing) {
    if (row.refreshHz > 0) return 1000.0 / row.refreshHz;
  }
  return 0;
}

void ReactionTimes(const RunRecord& run, const std::vector<FieldPeriod>& fields, Builder& out) {
  std::vector<double> error, show, errorLessShow, delivery, arrival, rounding, delays;
  std::vector<double> loggedOnset, onsetError, loggedShow, missed, firstError, lead, deadline,
      steps;
  int missing = 0;
  for (int trial = 1; trial <= run.trials; ++trial) {
    const auto key = std::find_if(run.keys.begin(), run.keys.end(),
                                  [&](const KeySent& k) { return k.tag == trial; });
    const auto result = run.results.find(trial);
    if (key == run.keys.end() || result == run.results.end() ||
        trial > static_cast<int>(fields.size())) {
      ++missing;
      continue;
    }
    const auto onset = static_cast<double>(fields[static_cast<std::size_t>(trial - 1)].onset);
    const double trueDelay = (static_cast<double>(key->sent) - onset) / kMs;
    delays.push_back(trueDelay);
    error.push_back(result->second.rt - trueDelay);
    if (trial == 1) firstError.push_back(error.back());
    const auto timing = run.timing.find(trial);
    if (timing == run.timing.end()) continue;
    const double showMs = (onset - static_cast<double>(timing->second.clockStart)) / kMs;
    show.push_back(showMs);
    errorLessShow.push_back(result->second.rt - trueDelay - showMs);
    const TimingRow& log = timing->second;
    if (log.fieldOnset) {
      loggedOnset.push_back((static_cast<double>(*log.fieldOnset) - onset) / kMs);
      loggedShow.push_back(static_cast<double>(*log.fieldOnset - log.clockStart) / kMs);
    }
    if (log.rtFromOnset)
      onsetError.push_back(static_cast<double>(*log.rtFromOnset) / kMs - trueDelay);
    if (log.missedRefreshes) missed.push_back(static_cast<double>(*log.missedRefreshes));
    if (log.keyArrival) arrival.push_back(static_cast<double>(*log.keyArrival - key->sent) / kMs);
    if (log.leadMs) lead.push_back(*log.leadMs);
    if (log.deadlineMs) deadline.push_back(*log.deadlineMs);
    if (log.stepsMs) steps.push_back(*log.stepsMs);
    if (timing->second.answer) {
      delivery.push_back(static_cast<double>(*timing->second.answer - key->sent) / kMs);
      rounding.push_back(result->second.rt -
                         static_cast<double>(*timing->second.answer - timing->second.clockStart) /
                             kMs);
    }
  }
  out.Add("rt_error", "RT error: RT - (key sent - field onset)", "ms", error);
  out.Add("rt_error_first", "  the same, trial 1", "ms", firstError);
  out.Add("show_time", "field show time: onset - clockStart", "ms", show);
  out.Add("rt_error_less_show", "RT error - show time", "ms", errorLessShow);
  out.Add("key_delivery", "key delivery: program's read - key sent", "ms", delivery);
  out.Add("key_arrival", "key arrival (input thread's stamp) - key sent", "ms", arrival);
  out.Add("rt_rounding", "RT rounding: RT - (read - clockStart)", "ms", rounding);
  out.Add("true_delay", "robot's delay: key sent - field onset", "ms", delays);
  out.Add("onset_logged", "field onset logged (display's refresh) - photodiode onset", "ms",
          loggedOnset);
  out.Add("show_logged", "field show time logged: fieldOnset - clockStart", "ms", loggedShow);
  out.Add("rt_onset_error", "RT from onset (log) - (key sent - photodiode onset)", "ms",
          onsetError);
  out.Add("missed", "missed refreshes per trial (log)", "count", missed);
  out.Add("lead", "lead: steps started before the field's refresh (log)", "ms", lead);
  out.Add("deadline", "display's deadline as the program measured it (log)", "ms", deadline);
  // The p99 of the steps' time: with fewer than 100 trials, their longest.
  std::vector<double> stepsP99;
  if (!steps.empty()) {
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    stepsP99.push_back(sorted[std::min(
        sorted.size() - 1, static_cast<std::size_t>(0.99 * static_cast<double>(sorted.size())))]);
  }
  out.Add("steps", "frame preparation: steps due -> field sent (log)", "ms", steps);
  out.Add("steps_p99", "  the same, p99", "ms", stepsP99);
  out.Note("trials without a key, a results row or a field onset", missing);
}

void Pauses(const RunRecord& run, const std::vector<FieldPeriod>& fields, Builder& out) {
  std::vector<double> blank1, cross, blank2, restBefore, restAfter, spaceToBlank;
  int unknown = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldPeriod& f = fields[i];
    const Pause& p = f.before;
    const auto ms = [](std::int64_t a, std::int64_t b) { return static_cast<double>(b - a) / kMs; };
    if (p.kind == Pause::kCross) {  // the pause before trial 1 included
      blank1.push_back(ms(p.blank1, p.middle) - kPauseBlank1);
      cross.push_back(ms(p.middle, p.blank2) - kPauseCross);
      blank2.push_back(ms(p.blank2, f.onset) - kPauseBlank2);
    } else if (p.kind == Pause::kRest) {
      restBefore.push_back(ms(p.blank1, p.middle) - kRestBlank);
      restAfter.push_back(ms(p.blank2, f.onset) - kRestBlank);
      for (const KeySent& k : run.keys) {
        if (k.key == ' ' && k.sent > p.middle && k.sent < p.blank2) {
          spaceToBlank.push_back(ms(k.sent, p.blank2));
        }
      }
    } else {
      ++unknown;
    }
  }
  out.Add("blank1", "blank 1000 ms: achieved - asked", "ms", blank1);
  out.Add("cross", "cross 1000 ms: achieved - asked", "ms", cross);
  out.Add("blank2", "blank 500 ms (to field onset): achieved - asked", "ms", blank2);
  out.Add("rest_before", "blank 2000 ms before rest: achieved - asked", "ms", restBefore);
  out.Add("rest_after", "blank 2000 ms after rest: achieved - asked", "ms", restAfter);
  out.Add("space_to_blank", "space sent -> blank shown", "ms", spaceToBlank);
  // The start-up screen gives way to the first blank: how long the launch keeps it up. The
  // space typed last on the start-up screen (tag -1) is the one on Start.
  std::vector<double> startToBlank;
  std::int64_t start = 0;
  for (const KeySent& k : run.keys) {
    if (k.tag == -1 && k.key == ' ') start = k.sent;
  }
  for (const Seen& seen : run.screens) {
    if (start == 0 || seen.at <= start || seen.state.screen != Screen::kBlank) continue;
    startToBlank.push_back(static_cast<double>(seen.at - start) / kMs);
    break;
  }
  out.Add("start_to_blank", "Start pressed -> first blank shown", "ms", startToBlank);
  // The same intervals in refreshes of the display, as the program measured its period.
  if (const double period = PeriodMs(run); period > 0) {
    const auto frames = [period](std::vector<double> late, double asked) {
      for (double& v : late) v = (v + asked) / period;
      return late;
    };
    out.Add("blank1_frames", "blank 1000 ms in refreshes", "count", frames(blank1, kPauseBlank1));
    out.Add("cross_frames", "cross 1000 ms in refreshes", "count", frames(cross, kPauseCross));
    out.Add("blank2_frames", "blank 500 ms (to field onset) in refreshes", "count",
            frames(blank2, kPauseBlank2));
    out.Add("rest_before_frames", "blank 2000 ms before rest in refreshes", "count",
            frames(restBefore, kRestBlank));
  }
  out.Note("pauses not seen as blank-cross-blank or blank-rest-blank", unknown);
}

void Flicker(const RunRecord& run, const std::vector<FieldPeriod>& fields, Builder& out) {
  std::vector<double> fixed, drawn, first;
  int repeats = 0;
  for (int trial = 1; trial <= run.trials && trial <= static_cast<int>(fields.size()); ++trial) {
    const auto result = run.results.find(trial);
    if (result == run.results.end()) continue;
    const int type = result->second.blockType;
    if (type != 2 && type != 3) continue;
    const double delay = result->second.flickerDelay;
    const FieldPeriod& f = fields[static_cast<std::size_t>(trial - 1)];
    if (f.swaps.empty()) continue;
    // The same label drawn twice running shows no change: count whole delays.
    const auto whole = [&](double interval) {
      const double n = std::max(1.0, std::round(interval / delay));
      if (n > 1) ++repeats;
      return interval - n * delay;
    };
    first.push_back(whole(static_cast<double>(f.swaps.front() - f.onset) / kMs));
    for (std::size_t i = 1; i < f.swaps.size(); ++i) {
      const double interval = static_cast<double>(f.swaps[i] - f.swaps[i - 1]) / kMs;
      (type == 2 ? fixed : drawn).push_back(whole(interval));
    }
  }
  out.Add("flicker_200", "flicker swap, 200 ms: achieved - asked", "ms", fixed);
  out.Add("flicker_drawn", "flicker swap, 100-300 ms drawn: achieved - asked", "ms", drawn);
  out.Add("flicker_first", "first swap after field onset: achieved - asked", "ms", first);
  if (const double period = PeriodMs(run); period > 0) {
    std::vector<double> frames;
    for (const double late : fixed) frames.push_back((late + 200) / period);
    out.Add("flicker_200_frames", "flicker swap, 200 ms, in refreshes", "count", frames);
  }
  out.Note("flicker intervals spanning a label drawn twice running (counted as n delays)", repeats);
}

void Sounds(const RunRecord& run, const std::vector<FieldPeriod>& fields, Builder& out) {
  std::vector<double> cueLag, cueFromField, tick, cueSelf, fbLag, fbSelf;
  std::vector<int> noCue, wrongDigit, noFeedback, wrongFeedback;
  for (int trial = 1; trial <= run.trials; ++trial) {
    const auto timing = run.timing.find(trial);
    const auto result = run.results.find(trial);
    if (timing == run.timing.end() || result == run.results.end()) continue;
    const TimingRow& t = timing->second;
    const double due = static_cast<double>(t.clockStart) + kCueDelayMicros;
    if (t.cueTick) tick.push_back((static_cast<double>(*t.cueTick) - due) / kMs);
    if (const auto cue = FirstHeard(run.sounds, due + kCueEarliest, due + kCueLatest, true)) {
      cueLag.push_back((cue->at - due) / kMs);
      if (trial <= static_cast<int>(fields.size())) {
        const auto onset = static_cast<double>(fields[static_cast<std::size_t>(trial - 1)].onset);
        cueFromField.push_back((cue->at - onset - kCueDelayMicros) / kMs);
      }
      if (t.cueOnset) cueSelf.push_back((static_cast<double>(*t.cueOnset) - cue->at) / kMs);
      if (cue->sound != result->second.targetNumber) wrongDigit.push_back(trial);
    } else {
      noCue.push_back(trial);
    }
    const auto key = std::find_if(run.keys.begin(), run.keys.end(),
                                  [&](const KeySent& k) { return k.tag == trial; });
    if (key == run.keys.end()) continue;
    const auto sent = static_cast<double>(key->sent);
    if (const auto fb = FirstHeard(run.sounds, sent, sent + kFeedbackLatest, false)) {
      fbLag.push_back((fb->at - sent) / kMs);
      if (t.feedbackOnset) fbSelf.push_back((static_cast<double>(*t.feedbackOnset) - fb->at) / kMs);
      if ((fb->sound == kCorrect) != result->second.Correct()) wrongFeedback.push_back(trial);
    } else {
      noFeedback.push_back(trial);
    }
  }
  out.Add("cue_lag", "cue onset - (clockStart + 1000 ms)", "ms", cueLag);
  out.Add("cue_from_field", "cue onset - (field onset + 1000 ms)", "ms", cueFromField);
  out.Add("cue_tick", "cue timer tick (log) - (clockStart + 1000 ms)", "ms", tick);
  out.Add("cue_self", "cueOnset in log - captured onset", "ms", cueSelf);
  out.Add("feedback_lag", "feedback onset - key sent", "ms", fbLag);
  out.Add("feedback_self", "feedbackOnset in log - captured onset", "ms", fbSelf);
  out.Note("trials whose cue was not heard", noCue);
  out.Note("cues of the wrong digit", wrongDigit);
  out.Note("answers whose feedback was not heard", noFeedback);
  out.Note("feedback sounds of the wrong kind", wrongFeedback);
  int broken = 0;
  for (const Heard& h : run.sounds) broken += h.dropouts > 0;
  out.Note("sounds with a silent gap inside (the program's output ran dry)", broken);
}

void Resources(const RunRecord& run, Builder& out) {
  std::vector<double> perScreen, perScreenMain, rss;
  // Sums over the waiting screens: CPU ns (all threads, main thread), clock ticks, wake-ups
  // (all, main), and the µs waited.
  double all = 0, main = 0, ticks = 0, wakes = 0, mainWakes = 0, span = 0;
  for (std::size_t i = 0; i + 1 < run.screens.size(); ++i) {
    const Screen screen = run.screens[i].state.screen;
    if (screen != Screen::kBlank && screen != Screen::kCross && screen != Screen::kRest) continue;
    if (run.screens[i + 1].at - run.screens[i].at < kCpuMinSpan) continue;
    const std::int64_t from = run.screens[i].at + kCpuLead;
    const std::int64_t to = run.screens[i + 1].at - kCpuTail;
    const auto ns = PerSecond(run.proc, from, to, &ProcSample::cpuNanos);
    const auto mainNs = PerSecond(run.proc, from, to, &ProcSample::mainNanos);
    const auto tick = PerSecond(run.proc, from, to, &ProcSample::cpuTicks);
    const auto wake = PerSecond(run.proc, from, to, &ProcSample::slices);
    const auto mainWake = PerSecond(run.proc, from, to, &ProcSample::mainSlices);
    if (!ns || !mainNs || !tick || !wake || !mainWake) continue;
    const double seconds = static_cast<double>(to - from) / 1e6;
    perScreen.push_back(*ns / 1e9 * 100);
    perScreenMain.push_back(*mainNs / 1e9 * 100);
    all += *ns * seconds;
    main += *mainNs * seconds;
    ticks += *tick * seconds;
    wakes += *wake * seconds;
    mainWakes += *mainWake * seconds;
    span += seconds;
  }
  double hwm = 0;
  for (const ProcSample& s : run.proc) {
    rss.push_back(static_cast<double>(s.rssKb) / 1024);
    hwm = std::max(hwm, static_cast<double>(s.hwmKb) / 1024);
  }
  const auto one = [](bool known, double v) {
    return known ? std::vector<double>{v} : std::vector<double>{};
  };
  const bool waited = span > 0;
  const double tickSeconds = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  out.Add("cpu_wait", "CPU while waiting (blank, cross, rest), per screen", "% core", perScreen);
  out.Add("cpu_wait_main", "  the same, GUI thread alone", "% core", perScreenMain);
  out.Add("cpu_wait_all", "CPU while waiting, all such screens together", "% core",
          one(waited, all / 1e9 / span * 100));
  out.Add("cpu_wait_all_main", "  the same, GUI thread alone", "% core",
          one(waited, main / 1e9 / span * 100));
  out.Add("cpu_wait_stat", "  the same from /proc/<pid>/stat (10 ms ticks)", "% core",
          one(waited, ticks * tickSeconds / span * 100));
  out.Add("wakes_wait", "wake-ups per second while waiting, all threads", "1/s",
          one(waited, wakes / span));
  out.Add("wakes_wait_main", "  the same, GUI thread alone", "1/s", one(waited, mainWakes / span));
  out.Add("rss", "resident memory (VmRSS), sampled", "MB", rss);
  out.Add("rss_peak", "resident memory peak (VmHWM)", "MB", one(hwm > 0, hwm));
}

void Method(const RunRecord& run, Builder& out) {
  out.Add("m_damage", "method: draw request -> damage report (own window)", "ms",
          ToMs(run.damageDelay));
  out.Add("m_key", "method: XTest key sent -> client woken (own window)", "ms", ToMs(run.keyDelay));
  out.Add("m_grab", "method: damage report -> frame classified", "ms", ToMs(run.grabTime));
  // Each report against the line through its neighbours: the reports' own scatter.
  std::vector<double> scatter, around, sink, rate;
  const auto& a = run.anchors;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sink.push_back(static_cast<double>(a[i].sinkMicros) / kMs);
    if (i == 0 || i + 1 == a.size()) continue;
    const double span = a[i + 1].streamMicros - a[i - 1].streamMicros;
    if (span <= 0) continue;
    const double f = (a[i].streamMicros - a[i - 1].streamMicros) / span;
    const double line = a[i - 1].Offset() + f * (a[i + 1].Offset() - a[i - 1].Offset());
    scatter.push_back(std::abs(a[i].Offset() - line) / kMs);
  }
  // A sound's time is interpolated between the two reports around it: how far their offsets
  // differ bounds what the interpolation can be off by. The sink reports less steadily while
  // the program's output idles on its long buffer, which is never the case around a sound.
  for (const Heard& h : run.sounds) {
    const auto after = std::find_if(a.begin(), a.end(), [&h](const CaptureAnchor& x) {
      return static_cast<double>(x.at) > h.at;
    });
    if (after == a.begin() || after == a.end()) continue;
    around.push_back(std::abs(after->Offset() - std::prev(after)->Offset()) / kMs);
  }
  if (a.size() >= 2 && a.back().streamMicros > a.front().streamMicros) {
    // ppm by which the sink's clock runs fast against CLOCK_MONOTONIC
    rate.push_back((a.front().Offset() - a.back().Offset()) /
                   (a.back().streamMicros - a.front().streamMicros) * 1e6);
  }
  out.Add("m_capture", "method: capture report off its neighbours' line", "ms", scatter);
  out.Add("m_capture_around", "  around a sound: its two reports' offsets apart", "ms", around);
  out.Add("m_sink_rate", "method: null sink clock fast by", "ppm", rate);
  out.Add("m_sink", "method: null sink latency at the reports", "ms", sink);
  out.Note("frames lost by the recording (fed as silence)", static_cast<int>(run.captureLost));
}

}  // namespace

Pause PauseOf(const std::vector<Seen>& between) {
  Pause pause;
  const std::size_t n = between.size();
  if (n < 3) return pause;
  const Screen a = between[n - 3].state.screen;
  const Screen b = between[n - 2].state.screen;
  const Screen c = between[n - 1].state.screen;
  if (a != Screen::kBlank || c != Screen::kBlank) return pause;
  if (b == Screen::kCross) {
    pause.kind = Pause::kCross;
  } else if (b == Screen::kRest) {
    pause.kind = Pause::kRest;
  } else {
    return pause;
  }
  pause.blank1 = between[n - 3].at;
  pause.middle = between[n - 2].at;
  pause.blank2 = between[n - 1].at;
  return pause;
}

Report Analyse(const RunRecord& run) {
  const std::vector<FieldPeriod> fields = FieldPeriods(run.screens);
  Builder out;
  ReactionTimes(run, fields, out);
  Pauses(run, fields, out);
  Flicker(run, fields, out);
  Sounds(run, fields, out);
  Resources(run, out);
  Method(run, out);
  return out.Take();
}

}  // namespace cue::bench
