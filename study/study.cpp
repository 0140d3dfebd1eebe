#include "study/study.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "intake/registry.h"

namespace cue {

namespace {

namespace fs = std::filesystem;

std::string Path(const LabFiles& lab, const std::string& name) { return JoinPath(lab.folder, name); }

std::string Fixed(double value, int decimals) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  std::string out(text, end);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out;
}

// Lines of TAB-separated text (CR LF or LF), fields without the trailing TAB's empty one.
std::vector<std::vector<std::string>> TabRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.back() == '\t') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    rows.push_back(std::move(fields));
  }
  return rows;
}

std::optional<double> Num(const std::vector<std::string>& row, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= row.size()) return std::nullopt;
  const std::string& cell = row[static_cast<std::size_t>(column)];
  double value = 0;
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (ec != std::errc() || end != cell.data() + cell.size()) return std::nullopt;
  return value;
}

// The timing record, read by column name: the RT from the field's onset and the health.
void ReadTiming(Session& session, const std::string& text) {
  const auto rows = TabRows(text);
  if (rows.empty()) return;
  const auto column = [&](const char* name) {
    const auto it = std::find(rows[0].begin(), rows[0].end(), name);
    return it == rows[0].end() ? -1 : static_cast<int>(it - rows[0].begin());
  };
  const int trial = column("trialNumber"), answer = column("answer"), onset = column(kTimingFieldOnset),
            fromOnset = column("rtFromOnset"),
            cueOnset = column("cueOnset"), cueDelay = column("cueDelayMs"),
            missed = column(kTimingMissedFrames);
  TimingHealth& h = session.health;
  if (missed >= 0) h.missedFrames = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto t = Num(rows[i], trial);
    if (!t) continue;
    ++h.trials;
    // The last trial's cue may never play: the run can end before it is due.
    if (!Num(rows[i], cueOnset) && i + 1 < rows.size()) ++h.cuesNotPlayed;
    if (const auto d = Num(rows[i], cueDelay); d && std::abs(*d - 1000.0) > kLateCueMs) ++h.lateCues;
    if (const auto m = Num(rows[i], missed); m && h.missedFrames) *h.missedFrames += static_cast<int>(*m);
    // The program's own value (from the key's arrival); older records have only the answer.
    const auto a = Num(rows[i], answer), o = Num(rows[i], onset), r = Num(rows[i], fromOnset);
    if (o && (r || a)) session.rtFromOnset[static_cast<std::int32_t>(*t)] = (r ? *r : *a - *o) / 1000.0;
  }
}

// Rows out of order, repeated or missing, and a session that is not complete.
void CheckRows(const Session& s, std::vector<Problem>& problems) {
  std::set<std::int32_t> seen;
  std::int32_t last = 0;
  bool mismatch = false;  // told once per file
  for (const auto& row : s.rows) {
    const std::string where = "line " + std::to_string(row.line) + ": trial " + std::to_string(row.trialNumber);
    if (!seen.insert(row.trialNumber).second) {
      problems.push_back({s.resultsFile, where + " appears twice"});
    } else if (row.trialNumber < last) {
      problems.push_back({s.resultsFile, where + " comes after trial " + std::to_string(last)});
    }
    if (row.trialNumber < 1 || row.trialNumber > kTrialsPerSession) {
      problems.push_back({s.resultsFile, where + " is outside 1.." + std::to_string(kTrialsPerSession)});
    }
    if (s.orderCondition && row.orderCondition != *s.orderCondition && !mismatch) {
      mismatch = true;
      problems.push_back({s.resultsFile, where + " has order condition " + std::to_string(row.orderCondition) +
                                             ", the registry " + std::to_string(*s.orderCondition)});
    }
    last = std::max(last, row.trialNumber);
  }
  std::string missing;
  int gaps = 0;
  for (std::int32_t t = 1; t < last; ++t) {
    if (seen.count(t) == 0 && ++gaps <= 5) missing += (missing.empty() ? "" : ", ") + std::to_string(t);
  }
  if (gaps > 0) {
    problems.push_back({s.resultsFile, std::to_string(gaps) + " trials missing: " + missing + (gaps > 5 ? ", ..." : "")});
  }
  if (static_cast<int>(seen.size()) != kTrialsPerSession) {
    std::string how = "incomplete: " + std::to_string(seen.size()) + " of " + std::to_string(kTrialsPerSession) + " trials answered";
    if (s.info && s.info->ended == SessionInfo::Ending::kQuit && s.info->quitAtTrial) {
      how += " (quit at trial " + std::to_string(*s.info->quitAtTrial) + ")";
    } else if (s.info && s.info->ended == SessionInfo::Ending::kRunning) {
      how += " (the session file says it is still running: the program stopped without ending it)";
    }
    problems.push_back({s.resultsFile, how});
  }
}

std::optional<std::int16_t> IdOf(const std::string& name, const std::string& prefix, const std::string& suffix) {
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix)) {
    return std::nullopt;
  }
  const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  std::int16_t id = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return id;
}

std::string Csv(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

}  // namespace

const char* BlockTypeName(std::int32_t blockType) {
  switch (blockType) {
    case 1: return "still";
    case 2: return "fixed flicker";
    case 3: return "random flicker";
    default: return "";
  }
}

bool Study::NeedsAttention() const {
  return std::any_of(problems.begin(), problems.end(), [](const Problem& p) { return p.attention; });
}

LabFiles ReadLabFolder(const std::string& folder, bool pilot) {
  LabFiles lab;
  lab.folder = pilot ? JoinPath(folder, "pilot") : folder;
  lab.pilot = pilot;
  const auto read = [&](const std::string& name) -> std::optional<std::string> {
    std::ifstream in(fs::path(JoinPath(lab.folder, name)), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
  };
  if (fs::exists(fs::path(JoinPath(lab.folder, kRegistryFile)))) {
    lab.registry = read(kRegistryFile);
    if (!lab.registry) lab.unreadable.push_back({Path(lab, kRegistryFile), "cannot be read"});
  }
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(JoinPath(lab.folder, kResultsFolder)), error)) {
    const std::string name = std::string(kResultsFolder) + "/" + entry.path().filename().string();
    if (!entry.is_regular_file() || name.ends_with(".png") || name.ends_with(".new")) continue;
    if (auto text = read(name)) {
      lab.files[name] = std::move(*text);
    } else {
      lab.unreadable.push_back({Path(lab, name), "cannot be read"});
    }
  }
  if (error) lab.unreadable.push_back({Path(lab, kResultsFolder), "cannot be read: " + error.message()});
  return lab;
}

void AddLab(Study& study, const LabFiles& lab) {
  auto& problems = study.problems;
  problems.insert(problems.end(), lab.unreadable.begin(), lab.unreadable.end());
  std::map<std::int16_t, RegistryEntry> registered;
  const std::string registryPath = Path(lab, kRegistryFile);
  if (lab.registry) {
    const RegistryRead read = ReadRegistry(*lab.registry);
    for (const auto& why : read.problems) problems.push_back({registryPath, why});
    for (const auto& entry : read.entries) {
      if (!registered.emplace(entry.subjectId, entry).second) {
        problems.push_back({registryPath, "ID " + std::to_string(entry.subjectId) + " is registered twice"});
      }
    }
  } else if (!lab.files.empty()) {
    problems.push_back({registryPath, "missing: initials and order conditions unknown"});
  }
  const std::string folder = std::string(kResultsFolder) + "/";
  for (const auto& [name, text] : lab.files) {
    const std::string base = name.substr(folder.size());
    const auto id = IdOf(base, "R-", ".txt");
    if (!id) {
      if (!IdOf(base, "timing-", ".tsv") && !IdOf(base, "session-", ".json")) {
        problems.push_back({Path(lab, name), "not a file of this program; left out", false});
      }
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
    const std::string sessionName = folder + "session-" + std::to_string(*id) + ".json";
    if (const auto it = lab.files.find(sessionName); it != lab.files.end()) {
      std::string why;
      s.info = ParseSessionJson(it->second, &why);
      if (!s.info) problems.push_back({Path(lab, sessionName), "cannot be read: " + why});
      if (s.info && s.info->pilot) s.pilot = true;
    } else {
      problems.push_back({Path(lab, sessionName), "missing: start, machine and screen unknown", false});
    }
    const std::string timingName = folder + "timing-" + std::to_string(*id) + ".tsv";
    if (const auto it = lab.files.find(timingName); it != lab.files.end()) ReadTiming(s, it->second);
    const ParsedResults parsed = ParseResults(text);
    for (const auto& why : parsed.problems) problems.push_back({s.resultsFile, why});
    if (parsed.headers > 1) {
      problems.push_back({s.resultsFile, std::to_string(parsed.headers) + " runs in one file: the ID was used again"});
    }
    s.rows = parsed.rows;
    CheckRows(s, problems);
    study.sessions.push_back(std::move(s));
  }
  for (const auto& [id, entry] : registered) {
    problems.push_back({Path(lab, folder + "R-" + std::to_string(id) + ".txt"),
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
                              "ID " + std::to_string(id) + " seen in " + std::to_string(sessions.size()) +
                                  " lab folders: " + where});
  }
}

std::string StudyCsv(const Study& study) {
  std::string csv =
      "subject_id,initials,order_condition,pilot,session_start,machine,trial,block,block_type,"
      "block_type_name,target_present,target_digit,target_position,target_x_twips,target_y_twips,"
      "target_x_px,target_y_px,answer,correct,rt_ms,rt_onset_ms\r\n";
  for (const auto& s : study.sessions) {
    const double dpi = s.info && s.info->dpi ? *s.info->dpi : 0;
    const std::string machine = s.info && !s.info->host.empty() ? s.info->host : s.lab;
    const std::string order = s.orderCondition ? std::to_string(*s.orderCondition) : std::string();
    for (const auto& r : s.rows) {
      const bool present = r.trialType1 == 1;
      const auto twips = [&](float v) { return present ? Fixed(v, 2) : std::string(); };
      const auto pixels = [&](float v) { return present && dpi > 0 ? Fixed(v * dpi / 1440.0, 2) : std::string(); };
      const auto onset = s.rtFromOnset.find(r.trialNumber);
      const std::string fields[] = {
          std::to_string(s.subjectId), Csv(s.initials), order.empty() ? std::to_string(r.orderCondition) : order,
          s.pilot ? "1" : "0", Csv(s.info ? s.info->start : ""), Csv(machine), std::to_string(r.trialNumber),
          std::to_string(r.blockNumber), std::to_string(r.blockType), BlockTypeName(r.blockType),
          present ? "1" : "0", std::to_string(r.targetNumber), present ? std::to_string(r.targetPosition) : "",
          twips(r.targetPositionX), twips(r.targetPositionY), pixels(r.targetPositionX), pixels(r.targetPositionY),
          r.subjectRes == 1 ? "present" : "absent", (r.subjectRes == 1) == present ? "1" : "0",
          std::to_string(r.rt), onset == s.rtFromOnset.end() ? "" : Fixed(onset->second, 3)};
      std::string line;
      for (const auto& f : fields) line += (line.empty() ? "" : ",") + f;
      csv += line + "\r\n";
    }
  }
  return csv;
}

std::string CheckText(const Study& study) {
  std::string text;
  int attention = 0;
  for (const auto& p : study.problems) {
    text += (p.attention ? "CHECK " : "note  ") + p.file + ": " + p.text + "\n";
    attention += p.attention ? 1 : 0;
  }
  int complete = 0;
  for (const auto& s : study.sessions) complete += s.rows.size() == kTrialsPerSession ? 1 : 0;
  text += std::to_string(study.sessions.size()) + " sessions, " + std::to_string(complete) + " complete; " +
          (attention == 0 ? std::string("nothing needs attention") : std::to_string(attention) + " problems need attention") +
          "\n";
  return text;
}

}  // namespace cue
