#include "study/summary.h"

#include <algorithm>

namespace cue {

namespace {

std::optional<double> Median(std::vector<std::int32_t> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

std::string Count(int n, const char* what) { return std::to_string(n) + " " + what; }

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

// The run's own verdict when its session file holds one.
std::optional<Verdict> Recorded(const Session& s, std::optional<bool> SessionInfo::*flag) {
  if (!s.info || !(*s.info.*flag)) return std::nullopt;
  const bool ok = *(*s.info.*flag);
  return Verdict{ok, ok                               ? "ok (the run's verdict)"
                     : s.info->verdictReasons.empty() ? "not ok (the run's verdict)"
                                                      : Joined(s.info->verdictReasons)};
}

Verdict TimingVerdict(const Session& s) {
  if (auto v = Recorded(s, &SessionInfo::timingOk)) return *v;
  const TimingHealth& h = s.health;
  if (h.trials == 0) return {std::nullopt, "not recorded: no timing record"};
  std::vector<std::string> why;
  if (h.untimed > 0) why.push_back(Count(h.untimed, "trials without a known field onset"));
  if (!h.missedFrames) why.push_back("missed refreshes not recorded");
  if (h.missedFrames && *h.missedFrames > 0)
    why.push_back(Count(*h.missedFrames, "refreshes missed"));
  if (h.lateCues > 0) why.push_back(Count(h.lateCues, "cues more than 2 ms off their 1000 ms"));
  if (why.empty())
    return {
        true,
        "ok: every field's onset known, no refresh missed, every cue within 2 ms of its 1000 ms"};
  return {false, Joined(why)};
}

Verdict SoundVerdict(const Session& s) {
  if (auto v = Recorded(s, &SessionInfo::soundOk)) return *v;
  const TimingHealth& h = s.health;
  std::vector<std::string> why;
  if (h.soundLost > 0) why.push_back(Count(h.soundLost, "trials with the sound output lost"));
  if (h.cuesNotPlayed > 0) why.push_back(Count(h.cuesNotPlayed, "cues without an onset"));
  if (s.info && !s.info->missingSounds.empty())
    why.push_back(Count(static_cast<int>(s.info->missingSounds.size()), "sound files missing"));
  if (!why.empty()) return {false, Joined(why)};
  if (h.trials == 0) return {std::nullopt, "not recorded: no timing record"};
  return {true, "ok: every cue played, the sound output never lost"};
}

// One session's verdict as it is; several: ok when every judged one is, else which are not.
Verdict Combined(const std::vector<const Session*>& sessions, Verdict (*judge)(const Session&)) {
  if (sessions.size() == 1) return judge(*sessions.front());
  int judged = 0, bad = 0;
  std::vector<std::string> why;
  for (const Session* s : sessions) {
    const Verdict v = judge(*s);
    judged += v.ok ? 1 : 0;
    if (v.ok && !*v.ok && ++bad <= 4)
      why.push_back("ID " + std::to_string(s->subjectId) + ": " + v.text);
  }
  if (judged == 0) return {std::nullopt, "not recorded in any session"};
  const std::string of = " of " + std::to_string(sessions.size()) + " sessions";
  if (bad == 0) return {true, "ok in " + std::to_string(judged) + of};
  return {false,
          "not ok in " + std::to_string(bad) + of + "; " + Joined(why) + (bad > 4 ? ", ..." : "")};
}

}  // namespace

Summary Summarise(const std::vector<const Session*>& sessions, std::string title) {
  Summary summary;
  summary.title = std::move(title);
  summary.timing = Combined(sessions, TimingVerdict);
  summary.sound = Combined(sessions, SoundVerdict);
  summary.blockTypes.assign(kBlocks, -1);
  std::vector<std::int32_t> rts[3][2];
  for (std::int32_t type = 1; type <= 3; ++type) {
    for (const bool present : {true, false})
      summary.cells.push_back(SummaryCell{type, present, 0, 0, 0, std::nullopt});
  }
  TimingHealth health;
  bool frames = false;
  int beforeCue = 0;
  std::vector<std::string> missing;
  for (const Session* s : sessions) {
    auto& series = summary.series.emplace_back();
    for (const auto& r : s->rows) {
      const bool present = r.trialType1 == 1;
      const bool correct = (r.subjectRes == 1) == present;
      const bool early = FlagsOf(*s, r).beforeCue;
      beforeCue += early ? 1 : 0;
      series.push_back({r.trialNumber, r.rt, correct, early});
      if (r.blockType < 1 || r.blockType > 3) continue;
      SummaryCell& cell =
          summary.cells[static_cast<std::size_t>((r.blockType - 1) * 2 + (present ? 0 : 1))];
      ++cell.answered;
      cell.correct += correct ? 1 : 0;
      cell.beforeCue += early ? 1 : 0;
      if (correct && !early) rts[r.blockType - 1][present ? 0 : 1].push_back(r.rt);
      if (r.blockNumber >= 1 &&
          r.blockNumber <= static_cast<std::int32_t>(summary.blockTypes.size())) {
        auto& type = summary.blockTypes[static_cast<std::size_t>(r.blockNumber - 1)];
        type = type == -1 || type == r.blockType ? r.blockType : 0;
      }
    }
    health.trials += s->health.trials;
    health.cuesNotPlayed += s->health.cuesNotPlayed;
    health.lateCues += s->health.lateCues;
    health.soundLost += s->health.soundLost;
    if (s->health.missedFrames) {
      frames = true;
      health.missedFrames = health.missedFrames.value_or(0) + *s->health.missedFrames;
    }
    if (s->info)
      missing.insert(missing.end(), s->info->missingSounds.begin(), s->info->missingSounds.end());
  }
  for (auto& type : summary.blockTypes) type = std::max(type, 0);
  for (auto& cell : summary.cells)
    cell.medianRt = Median(rts[cell.blockType - 1][cell.present ? 0 : 1]);
  summary.health.push_back(Count(health.trials, "trials in the timing record") + ", " +
                           Count(health.cuesNotPlayed, "cues without an onset") + ", " +
                           Count(health.lateCues, "cues more than 2 ms off their 1000 ms"));
  summary.health.push_back((frames ? Count(*health.missedFrames, "missed frames")
                                   : std::string("missed frames: not recorded by this version")) +
                           ", " + Count(health.soundLost, "trials with the sound output lost") +
                           ", " + Count(beforeCue, "answers before the cue"));
  summary.health.push_back("missing sounds: " +
                           (missing.empty() ? std::string("none") : Joined(missing)));
  return summary;
}

}  // namespace cue
