#include "study/study.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <variant>

#include "labfolder/registry_format.h"
#include "study/export.h"

namespace cue {

namespace {

std::string Path(const LabFiles& lab, const std::string& name) {
  return JoinPath(lab.folder, name);
}

// The timing record, read by column name: each trial's line and the record's health.
void ReadTiming(Session& session, const std::string& text) {
  ParsedTiming parsed = ParseTiming(text);
  const std::vector<std::string>& names = parsed.columns;
  TimingHealth& h = session.health;
  if (std::find(names.begin(), names.end(), "missedFrames") != names.end()) h.missedFrames = 0;
  for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
    TimingLine& line = parsed.lines[i];
    const auto t = TimingNumber(&line, "trialNumber");
    if (!t || std::abs(*t) > TOTAL_TRIALS * 100) continue;
    ++h.trials;
    // The last trial's cue may never play: the run can end before it is due.
    if (!TimingNumber(&line, "cueOnset") && i + 1 < parsed.lines.size()) ++h.cuesNotPlayed;
    if (const auto d = TimingNumber(&line, "cueDelayMs");
        d && std::abs(*d - kCueDueMs) > kLateCueMs)
      ++h.lateCues;
    if (const auto m = TimingNumber(&line, "missedFrames"); m && h.missedFrames)
      *h.missedFrames += static_cast<int>(std::clamp(*m, 0.0, 1e6));
    const auto output = line.find("soundOutput");
    h.soundLost += output != line.end() && output->second == "lost" ? 1 : 0;
    h.untimed += TimingNumber(&line, "fieldOnset") ? 0 : 1;
    session.timing[static_cast<std::int32_t>(*t)] = std::move(line);
  }
}

// Registry lines whose initials a spreadsheet would run as a formula.
void CheckInitials(const RegistryRead& read, const std::string& path,
                   std::vector<Problem>& problems) {
  for (const auto& entry : read.entries) {
    if (SpreadsheetSafe(entry.initials) != entry.initials) {
      problems.push_back(
          {path, "line " + std::to_string(entry.line) + ": the initials \"" + entry.initials +
                     "\" of ID " + std::to_string(entry.subjectId) +
                     " begin like a spreadsheet formula; the export writes them as '" +
                     entry.initials});
    }
  }
}

// Rows out of order, repeated or missing, and a session that is not complete.
void CheckRows(const Session& s, std::vector<Problem>& problems) {
  std::set<std::int32_t> seen;
  std::int32_t last = 0;
  bool mismatch = false;  // told once per file
  for (const auto& row : s.rows) {
    const std::string where =
        "line " + std::to_string(row.line) + ": trial " + std::to_string(row.trialNumber);
    if (!seen.insert(row.trialNumber).second) {
      problems.push_back({s.resultsFile, where + " appears twice"});
    } else if (row.trialNumber < last) {
      problems.push_back({s.resultsFile, where + " comes after trial " + std::to_string(last)});
    }
    if (row.trialNumber < 1 || row.trialNumber > TOTAL_TRIALS) {
      problems.push_back({s.resultsFile, where + " is outside 1.." + std::to_string(TOTAL_TRIALS)});
    }
    if (s.orderCondition && row.orderCondition != *s.orderCondition && !mismatch) {
      mismatch = true;
      problems.push_back(
          {s.resultsFile, where + " has order condition " + std::to_string(row.orderCondition) +
                              ", the registry " + std::to_string(*s.orderCondition)});
    }
    last = std::max(last, row.trialNumber);
  }
  std::string missing;
  int gaps = 0;
  for (std::int32_t t = 1; t < last; ++t) {
    if (seen.count(t) == 0 && ++gaps <= 5)
      missing += (missing.empty() ? "" : ", ") + std::to_string(t);
  }
  if (gaps > 0) {
    problems.push_back({s.resultsFile, std::to_string(gaps) + " trials missing: " + missing +
                                           (gaps > 5 ? ", ..." : "")});
  }
  if (static_cast<int>(seen.size()) != TOTAL_TRIALS) {
    std::string how = "incomplete: " + std::to_string(seen.size()) + " of " +
                      std::to_string(TOTAL_TRIALS) + " trials answered";
    if (s.info && s.info->ended == SessionInfo::Ending::kQuit && s.info->quitAtTrial) {
      how += " (quit at trial " + std::to_string(*s.info->quitAtTrial) + ")";
    } else if (s.info && s.info->ended == SessionInfo::Ending::kRunning) {
      how += " (the session file says it is still running: the program stopped without ending it)";
    }
    problems.push_back({s.resultsFile, how});
  }
}

}  // namespace

const TimingLine* TimingOf(const Session& session, std::int32_t trial) {
  const auto it = session.timing.find(trial);
  return it == session.timing.end() ? nullptr : &it->second;
}

TrialFlags FlagsOf(const Session& session, const ResultsRow& row) {
  TrialFlags f;
  const TimingLine* t = TimingOf(session, row.trialNumber);
  const auto clock = TimingNumber(t, "clockStart"), cue = TimingNumber(t, "cueOnset");
  auto key = TimingNumber(t, "keyArrival");
  if (!key) key = TimingNumber(t, "answer");
  f.beforeCue = key && clock ? *key < (cue ? *cue : *clock + kCueDueMs * 1000) : row.rt < kCueDueMs;
  if (t == nullptr) return f;
  const auto output = t->find("soundOutput");
  f.soundOk = cue && (output == t->end() || output->second != "lost");
  auto delay = TimingNumber(t, "cueDelayMs");
  if (!delay && cue && clock) delay = (*cue - *clock) / 1000;
  f.timingOk = TimingNumber(t, "fieldOnset") && TimingNumber(t, "missedFrames") == 0.0 &&
               (!cue || (delay && std::abs(*delay - kCueDueMs) <= kLateCueMs));
  return f;
}

const char* BlockTypeName(std::int32_t blockType) {
  switch (blockType) {
    case 1:
      return "still";
    case 2:
      return "fixed flicker";
    case 3:
      return "random flicker";
    default:
      return "";
  }
}

bool Study::NeedsAttention() const {
  return std::any_of(problems.begin(), problems.end(),
                     [](const Problem& p) { return p.attention; });
}

LabFiles ReadLabFolder(const FileSystem& files, const std::string& folder, bool pilot) {
  LabFiles lab;
  lab.folder = pilot ? JoinPath(folder, kPilotFolder) : folder;
  lab.pilot = pilot;
  const auto read = [&](const std::string& name) -> std::optional<std::string> {
    auto got = files.ReadAll(JoinPath(lab.folder, name));
    if (auto* text = std::get_if<std::string>(&got)) return std::move(*text);
    const FileError& e = std::get<FileError>(got);
    if (name != kRegistryFile || e.cause != FileFailure::kNotFound) {
      lab.unreadable.push_back({Path(lab, name), "cannot be read: " + e.description});
    }
    return std::nullopt;
  };
  lab.registry = read(kRegistryFile);
  std::set<std::string> names;
  const auto listed = files.List(JoinPath(lab.folder, kResultsFolder));
  if (const auto* all = std::get_if<std::vector<std::string>>(&listed)) {
    names.insert(all->begin(), all->end());
  } else {
    lab.unreadable.push_back(
        {Path(lab, kResultsFolder), "cannot be read: " + std::get<FileError>(listed).description});
  }
  for (const auto& base : names) {
    const std::string name = std::string(kResultsFolder) + "/" + base;
    const LabFileKind kind = KindOf(base);
    if (kind == LabFileKind::kForeign) {
      lab.unreadable.push_back({Path(lab, name), "not a file of this program; left out", false});
    } else if (kind != LabFileKind::kByProduct) {
      if (auto text = read(name)) lab.files[name] = std::move(*text);
    }
  }
  return lab;
}

void AddLab(Study& study, const LabFiles& lab) {
  auto& problems = study.problems;
  problems.insert(problems.end(), lab.unreadable.begin(), lab.unreadable.end());
  std::map<std::int16_t, RegistryEntry> registered;
  const std::string registryPath = Path(lab, kRegistryFile);
  if (lab.registry) {
    const RegistryRead read = ReadRegistry(*lab.registry);
    for (const auto& bad : read.unreadable) problems.push_back({registryPath, Describe(bad)});
    CheckInitials(read, registryPath, problems);
    for (const auto& entry : read.entries) {
      if (!registered.emplace(entry.subjectId, entry).second) {
        problems.push_back(
            {registryPath, "ID " + std::to_string(entry.subjectId) + " is registered twice"});
      }
    }
  } else if (!lab.files.empty() &&
             std::none_of(lab.unreadable.begin(), lab.unreadable.end(),
                          [&](const Problem& p) { return p.file == registryPath; })) {
    problems.push_back({registryPath, "missing: initials and order conditions unknown"});
  }
  const std::string folder = std::string(kResultsFolder) + "/";
  for (const auto& [name, text] : lab.files) {
    const std::string base = name.substr(folder.size());
    const auto id = ResultsFileId(base);
    if (!id) {
      if (KindOf(base) == LabFileKind::kForeign)
        problems.push_back({Path(lab, name), "not a file of this program; left out", false});
      continue;
    }
    Session s;
    s.lab = lab.folder;
    s.resultsFile = Path(lab, name);
    s.pilot = lab.pilot;
    s.subjectId = *id;
    if (const auto it = registered.find(*id); it != registered.end()) {
      s.initials = it->second.initials;
      s.orderCondition = it->second.orderCondition;
      registered.erase(it);
    } else {
      problems.push_back({s.resultsFile, "its ID is not in " + registryPath});
    }
    const std::string sessionName = folder + SessionBaseName(*id);
    if (const auto it = lab.files.find(sessionName); it != lab.files.end()) {
      auto parsed = ParseSessionJson(it->second);
      if (auto* info = std::get_if<SessionInfo>(&parsed)) {
        s.info = std::move(*info);
      } else {
        problems.push_back(
            {Path(lab, sessionName), "cannot be read: " + std::get<FileError>(parsed).description});
      }
      if (s.info && s.info->pilot) s.pilot = true;
    } else {
      problems.push_back(
          {Path(lab, sessionName), "missing: start, machine and screen unknown", false});
    }
    const std::string timingName = folder + TimingBaseName(*id);
    if (const auto it = lab.files.find(timingName); it != lab.files.end())
      ReadTiming(s, it->second);
    const ParsedResults parsed = ParseResults(text);
    for (const auto& why : parsed.problems) problems.push_back({s.resultsFile, why});
    if (parsed.headers > 1) {
      problems.push_back({s.resultsFile, std::to_string(parsed.headers) +
                                             " runs in one file: the ID was used again"});
    }
    s.rows = parsed.rows;
    CheckRows(s, problems);
    study.sessions.push_back(std::move(s));
  }
  for (const auto& [id, entry] : registered) {
    problems.push_back({Path(lab, folder + ResultsBaseName(id)),
                        "missing, though ID " + std::to_string(id) + " is registered"});
  }
}

void CheckAcrossLabs(Study& study) {
  std::map<std::int16_t, std::vector<const Session*>> byId;
  for (const auto& s : study.sessions) {
    if (!s.pilot) byId[s.subjectId].push_back(&s);
  }
  for (const auto& [id, sessions] : byId) {
    if (sessions.size() < 2) continue;
    std::string where;
    for (const auto* s : sessions) where += (where.empty() ? "" : ", ") + s->lab;
    study.problems.push_back({sessions.front()->resultsFile,
                              "ID " + std::to_string(id) + " seen in " +
                                  std::to_string(sessions.size()) + " lab folders: " + where});
  }
}

std::string CheckText(const Study& study) {
  std::string text;
  int attention = 0;
  for (const auto& p : study.problems) {
    text += (p.attention ? "CHECK " : "note  ") + p.file + ": " + p.text + "\n";
    attention += p.attention ? 1 : 0;
  }
  int complete = 0;
  for (const auto& s : study.sessions)
    complete += s.rows.size() == static_cast<std::size_t>(TOTAL_TRIALS) ? 1 : 0;
  text += std::to_string(study.sessions.size()) + " sessions, " + std::to_string(complete) +
          " complete; " +
          (attention == 0 ? std::string("nothing needs attention")
                          : std::to_string(attention) + " problems need attention") +
          "\n";
  return text;
}

}  // namespace cue
