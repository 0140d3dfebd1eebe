// Catches: a study export whose columns, quoting, pixel figures or checks misreport the files a
// lab's runs left, or a session file or summary that loses what a run wrote.
#include "study/study.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "labfolder/registry_format.h"
#include "study/export.h"
#include "study/qt/summary_page.h"
#include "study/summary.h"
#include "support/run_harness.h"
#include "support/scratch_dir.h"

namespace cue {
namespace {

struct Answered {
  bool present;
  std::int32_t blockType;
  float x, y;
  int digit, position, key, rtMs;
};

// A run of subject `id` by a scripted subject who stops answering at trial `stopAt`, as the
// program leaves it in /lab. Records what the subject saw and did.
struct LabRun {
  LabRun(std::int16_t id, std::int16_t condition, int stopAt = 361)
      : h(static_cast<std::uint64_t>(id)) {
    h.UsePresenter(16);
    h.onShowDisplay = [this, stopAt] {
      const ExperimentState& st = h.x.state;
      if (st.trialNumber >= stopAt) return;
      const bool present = st.trialType1 == 1;
      const int key = (present == (st.trialNumber % 7 != 3)) ? 'm' : 'n';
      const int rt = 250 + (st.trialNumber * 137) % 1400;
      answers.push_back({present, st.blockType, st.targetPositionX, st.targetPositionY,
                         st.targetNumber, st.targetPosition, key, rt});
      h.PressLater(rt, key);
    };
    h.onShowRest = [this] { h.PressLater(3000, ' '); };
    h.Launch(id, condition);
    h.time.RunUntilIdle();
  }
  // The lab folder as the export reads it, with a registry line and a session file.
  LabFiles Lab(const std::string& folder, double dpi = 96) const {
    LabFiles lab{
        folder, false, RegistryLine(h.x.state.subjectId, "AB", h.x.state.orderCondition), {}, {}};
    for (const auto& [path, text] : h.files.files) {
      if (path.starts_with("/lab/Res_Data/")) lab.files[path.substr(5)] = text;
    }
    SessionInfo info;
    info.start = "2026-12-06T10:00:00+01:00";
    info.host = "lab-pc-" + folder;
    info.dpi = dpi;
    info.ended =
        answers.size() == 360 ? SessionInfo::Ending::kCompleted : SessionInfo::Ending::kQuit;
    info.quitAtTrial = static_cast<std::int32_t>(answers.size()) + 1;
    lab.files["Res_Data/session-" + std::to_string(h.x.state.subjectId) + ".json"] =
        SessionJson(info);
    return lab;
  }
  testing::RunHarness h;
  std::vector<Answered> answers;
};

// The records of an RFC 4180 text: fields split at commas, "" a quote inside a quoted field.
std::vector<std::vector<std::string>> CsvRows(const std::string& csv) {
  EXPECT_TRUE(csv.ends_with("\r\n"));
  std::vector<std::vector<std::string>> rows(1, {""});
  bool quoted = false;
  for (std::size_t i = 0; i < csv.size(); ++i) {
    const char c = csv[i];
    if (c == '"') {
      if (!quoted && i > 0 && csv[i - 1] == '"') rows.back().back() += c;  // "" inside quotes
      quoted = !quoted;
    } else if (quoted || (c != ',' && c != '\r')) {
      rows.back().back() += c;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (csv.compare(i++, 2, "\r\n") == 0 && i + 1 < csv.size()) {
      rows.emplace_back(1);
    }
  }
  return rows;
}

// The index of the column `name` in a header row.
std::size_t Column(const std::vector<std::string>& header, const char* name) {
  return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
}

// Writes a lab folder's files under dir.
void WriteLab(const testing::ScratchDir& dir, const std::string& folder, const LabFiles& lab) {
  std::filesystem::create_directories(dir.File(folder + "/Res_Data"));
  if (lab.registry)
    std::ofstream(dir.File(folder + "/CurrentSubjects.txt"), std::ios::binary) << *lab.registry;
  for (const auto& [file, text] : lab.files)
    std::ofstream(dir.File(folder + "/" + file), std::ios::binary) << text;
}

// The lines of text (ended by "\n", a CR before it dropped) split at separator.
std::vector<std::vector<std::string>> Split(const std::string& text, char separator) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with('\r')) line.pop_back();
    std::istringstream fields(line);
    rows.emplace_back();
    for (std::string field; std::getline(fields, field, separator);) rows.back().push_back(field);
  }
  return rows;
}

std::string Slurp(const std::string& path) {
  return std::string(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()),
                     {});
}

// Four runs in two lab folders on disk (registries typed by hand, one with initials a
// spreadsheet would run; one folder's name quoted in the CSV, the other given by its
// Res_Data), one quit early, exported by the tool with the initials: every row against what
// the subject saw and did, the RTs from the onsets and the cue against the results' RT and
// the timing record, and the check. Without --with-initials no initials leave.
TEST(StudyTest, TheExportToolWritesEveryAnswerOfAStudy) {
  const testing::ScratchDir dir;
  const std::string labs[] = {"lab \"M\xC3\xBCller\", 2", "lab2"};
  const LabRun runs[] = {{11, 1}, {12, 2}, {13, 3}, {22, 3, 12}};
  const char* initials[] = {"\xC3\x89va", "xyz", "'+cmd|calc!A0", "AB"};
  const std::string registries[] = {RegistryLine(11, initials[0], 1) + " 12,xyz,2\n\n",
                                    "  13\t+cmd|calc!A0  3\r\n" + RegistryLine(22, "AB", 3)};
  for (int i = 0; i < 4; ++i) {
    LabFiles lab = runs[i].Lab(labs[i / 2], i < 2 ? 90 : 96);
    lab.registry = registries[i / 2];
    lab.files["Res_Data/R-11.txt.lock"] = "pc 123";  // the program's own: no note
    WriteLab(dir, labs[i / 2], lab);
  }
  const std::string command = "cd '" + dir.Path() +
                              "' && " CUE_EXPORT_TOOL
                              " --with-initials -o study.csv --summary page.png '" +
                              labs[0] + "' lab2/Res_Data/ 2>check.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);  // run 22 is incomplete, 13's initials
  EXPECT_EQ(
      Slurp(dir.File("check.txt")),
      "note  lab2/Res_Data: a results folder; reading its lab folder lab2\n"
      "CHECK lab2/CurrentSubjects.txt: line 1: the initials \"+cmd|calc!A0\" of ID 13 begin like a "
      "spreadsheet "
      "formula; the export writes them as '+cmd|calc!A0\n"
      "CHECK lab2/Res_Data/R-22.txt: incomplete: 11 of 360 trials answered (quit at trial 12)\n"
      "4 sessions, 3 complete; 2 problems need attention\n");
  EXPECT_GT(std::filesystem::file_size(dir.File("page.png")), 10000U);
  const auto rows = CsvRows(Slurp(dir.File("study.csv")));
  ASSERT_EQ(rows.size(), 3 * 360 + 11 + 1U);
  ASSERT_EQ(rows[0].size(), AllColumns().size() - 1);  // no host
  const auto col = [&](const char* name) { return Column(rows[0], name); };
  const char* names[] = {"", "still", "fixed flicker", "random flicker"};
  std::size_t row = 1;
  for (int i = 0; i < 4; ++i) {
    for (std::size_t t = 1; t <= runs[i].answers.size(); ++t) {
      const Answered& a = runs[i].answers[t - 1];
      const std::vector<std::string>& r = rows[row++];
      SCOPED_TRACE(r[0] + " trial " + std::to_string(t));
      ASSERT_EQ(r.size(), rows[0].size());
      const auto at = [&](const char* name) { return r.at(col(name)); };
      const float twipsPerPixel = i < 2 ? 16 : 15;  // at 90 and 96 dpi; pixels to two decimals
      if (a.present) {
        EXPECT_NEAR(std::stod(at("target_x_px")), a.x / twipsPerPixel, 0.00501);
        EXPECT_NEAR(std::stod(at("target_y_px")), a.y / twipsPerPixel, 0.00501);
      }
      // The RTs from the field's and the cue's onsets add up with their delays to the results'
      // RT. The last trial's cue, due after an answer before it, never plays.
      const bool played = !at("cue_delay_ms").empty();
      const double cue = played ? std::stod(at("cue_delay_ms")) : 1000;
      EXPECT_DOUBLE_EQ(std::stod(at("rt_onset_ms")) + std::stod(at("field_delay_ms")), a.rtMs);
      if (played) {
        EXPECT_DOUBLE_EQ(std::stod(at("rt_cue_ms")) + cue, a.rtMs);
      }
      const auto ifPresent = [&](const std::string& text) { return a.present ? text : ""; };
      // Each column named with its value, as read and as expected.
      // clang-format off
      const std::pair<const char*, std::string> cells[] = {
          {"subject_id", std::to_string(runs[i].h.x.state.subjectId)}, {"initials", initials[i]},
          {"order_condition", std::to_string(runs[i].h.x.state.orderCondition)}, {"pilot", "0"},
          {"session_start", "2026-12-06T10:00:00+01:00"}, {"lab_folder", labs[i / 2]},
          {"trial", std::to_string(t)}, {"block", std::to_string((t - 1) / 40 + 1)},
          {"block_type", std::to_string(a.blockType)}, {"block_type_name", names[a.blockType]},
          {"target_present", a.present ? "1" : "0"}, {"target_digit", std::to_string(a.digit)},
          {"target_position", ifPresent(std::to_string(a.position))},
          {"target_x_twips", ifPresent(FormatSingle(a.x))},
          {"target_y_twips", ifPresent(FormatSingle(a.y))},
          {"answer", a.key == 'm' ? "present" : "absent"},
          {"correct", (a.key == 'm') == a.present ? "1" : "0"}, {"rt_ms", std::to_string(a.rtMs)},
          {"sound_output", "ok"}, {"sound_ok", played ? "1" : "0"}, {"timing_ok", "1"},
          {"before_cue", a.rtMs < cue ? "1" : "0"},
          {"session_ended", i == 3 ? "quit" : "completed"}};
      // clang-format on
      std::string got, expected;
      for (const auto& [key, value] : cells) {
        got += std::string(key) + "=" + at(key) + " ";
        expected += std::string(key) + "=" + value + " ";
      }
      EXPECT_EQ(got, expected);
    }
  }
  const std::string plain =
      "cd '" + dir.Path() + "' && " CUE_EXPORT_TOOL " -o plain.csv --bids ds lab2 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(plain.c_str())), 1);
  const std::string csv = Slurp(dir.File("plain.csv"));
  EXPECT_EQ(CsvRows(csv)[0].size(), AllColumns().size() - 2);
  for (const std::string& text :
       {csv, Slurp(dir.File("ds/README")), Slurp(dir.File("ds/participants.tsv"))}) {
    EXPECT_EQ(text.find("calc"), std::string::npos) << text;
    EXPECT_EQ(text.find("lab-pc-"), std::string::npos);
  }
}

// The bids-validator from npm where it is installed: $BIDS_VALIDATOR, on PATH, or under
// ~/node_modules (npm install bids-validator in the home folder); empty when it is not.
std::string BidsValidator() {
  const char* set = std::getenv("BIDS_VALIDATOR");
  if (set != nullptr && *set != '\0') return set;
  if (std::system("command -v bids-validator >/dev/null 2>&1") == 0) return "bids-validator";
  const std::string home = std::string(std::getenv("HOME") ? std::getenv("HOME") : "") +
                           "/node_modules/.bin/bids-validator";
  return std::filesystem::exists(home) ? home : "";
}

// A run's files (a session file with every key), exported by the tool as a BIDS dataset: every
// column of those files is documented in docs/ and carried into a column of the export; every
// column is in docs/data-dictionary.md (generated from the code's table) and in the _beh.json,
// and every cell is of its column's type or one of its levels. The dataset passes the BIDS
// validator, where it is installed.
TEST(StudyTest, DataDictionaryMatchesTheFilesTheProgramWroteAndTheDatasetValidates) {
  const testing::ScratchDir dir;
  const LabRun run(31, 2);
  LabFiles lab = run.Lab("lab");
  SessionInfo s = std::get<SessionInfo>(ParseSessionJson(lab.files["Res_Data/session-31.json"]));
  s.timingOk = s.soundOk = true;
  s.missedRefreshes = s.cuesLost = s.ignoredLetterKeys = 0;
  lab.files["Res_Data/session-31.json"] = SessionJson(s);
  WriteLab(dir, "lab", lab);
  const std::string command = "cd '" + dir.Path() +
                              "' && " CUE_EXPORT_TOOL
                              " --with-initials --with-host --bids ds lab 2>/dev/null";
  ASSERT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);

  const std::string docs = CUE_SOURCE_DIR "/docs/";
  EXPECT_NE(Slurp(docs + "data-dictionary.md").find(DictionaryMarkdown()), std::string::npos)
      << "docs/data-dictionary.md must hold the table as the code has it:\n"
      << DictionaryMarkdown();
  std::string described;
  for (const auto& c : AllColumns()) described += c.description + "\n";
  const auto carried = [&](const std::string& file, const std::string& name) {
    const std::size_t at = described.find(file + " column " + name);
    return at != std::string::npos &&
           !std::isalnum(static_cast<unsigned char>(described[at + file.size() + 8 + name.size()]));
  };
  for (const auto& name : ResultsColumns()) {
    EXPECT_TRUE(carried("results", name)) << name;
    EXPECT_NE(Slurp(docs + "results-format.md").find("| " + name + " |"), std::string::npos)
        << name;
  }
  const auto timing = Split(lab.files.at("Res_Data/timing-31.tsv"), '\t');
  for (const auto& name : timing.at(0)) {
    EXPECT_TRUE(carried("timing", name)) << name;
    EXPECT_NE(Slurp(docs + "session-files.md").find("| `" + name + "` |"), std::string::npos)
        << name;
  }
  const std::string json = lab.files.at("Res_Data/session-31.json");
  for (std::size_t at = json.find("\n  \""); at != std::string::npos;
       at = json.find("\n  \"", at + 1)) {
    const std::string key = json.substr(at + 4, json.find('"', at + 4) - at - 4);
    EXPECT_NE(Slurp(docs + "session-files.md").find("| `" + key + "` |"), std::string::npos) << key;
  }

  const std::string beh = Slurp(dir.File("ds/sub-31/beh/sub-31_task-cuesearch_beh.tsv"));
  const std::string sidecar = Slurp(dir.File("ds/sub-31/beh/sub-31_task-cuesearch_beh.json"));
  const auto rows = Split(beh, '\t');
  ASSERT_EQ(rows.size(), 361U);
  const std::vector<ColumnInfo> columns = AllColumns();
  ASSERT_EQ(rows[0].size(), columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const ColumnInfo& info = columns[c];
    EXPECT_EQ(rows[0][c], info.name);
    EXPECT_NE(sidecar.find("\"" + info.name +
                           "\": {\n    \"Description\": " + JsonQuoted(info.description)),
              std::string::npos)
        << info.name;
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const std::string& cell = rows[r][c];
      double number = 0;
      const bool numeric = std::from_chars(cell.data(), cell.data() + cell.size(), number).ptr ==
                           cell.data() + cell.size();
      const bool typed = info.type == "text" ||
                         (numeric && (info.type == "number" || number == std::floor(number)));
      const bool level =
          info.levels.empty() || std::any_of(info.levels.begin(), info.levels.end(),
                                             [&](const auto& l) { return l.first == cell; });
      EXPECT_TRUE(cell == "n/a" || (typed && level)) << info.name << " row " << r << ": " << cell;
    }
  }
  EXPECT_NE(Slurp(dir.File("ds/participants.tsv")).find("\nsub-31\tAB\t2\t0\tcompleted\t360\n"),
            std::string::npos);
  const std::string validator = BidsValidator();
  if (validator.empty()) {
    std::cout << "bids-validator is not installed (npm install bids-validator): not run\n";
    return;
  }
  const std::string validate =
      "'" + validator + "' --no-color '" + dir.File("ds") + "' >" + dir.File("v.txt") + " 2>&1";
  EXPECT_EQ(std::system(validate.c_str()), 0) << Slurp(dir.File("v.txt"));
  EXPECT_EQ(Slurp(dir.File("v.txt")).find("[ERR]"), std::string::npos) << Slurp(dir.File("v.txt"));
}

// The tool's exit statuses and messages: 2 with what to type for a wrong command, 1 when the
// check finds something, 0 when all is well (the program's lock files are its own); a FIFO,
// /dev/zero or a 600 MB file in a lab folder refused by name, at once, in bounded memory.
TEST(StudyTest, ExportToolRefusesWhatItCannotReadAndSaysWhatToType) {
  static const LabRun run(5, 2);
  const testing::ScratchDir dir;
  for (const char* name : {"lab", "fifo", "zero", "big"}) {
    LabFiles lab = run.Lab(name);
    lab.files["Res_Data/R-5.txt.lock"] = "pc 42";
    lab.files["Res_Data/session-5.json.new"] = "{";
    WriteLab(dir, name, lab);
  }
  std::filesystem::create_directories(dir.File("notalab"));
  std::filesystem::remove(dir.File("fifo/CurrentSubjects.txt"));
  std::filesystem::remove(dir.File("zero/CurrentSubjects.txt"));
  ASSERT_EQ(mkfifo(dir.File("fifo/CurrentSubjects.txt").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.File("zero/CurrentSubjects.txt"));
  for (const char* name : {"big/Res_Data/R-9.txt", "big/Res_Data/old.zip"}) {
    std::ofstream(dir.File(name)) << "";
    std::filesystem::resize_file(dir.File(name), std::uintmax_t{600} << 20);  // sparse
  }
  const std::string usage =
      "cuesearch-export: unknown option --csv\nusage: cuesearch-export [-o FILE.csv]";
  const struct {
    std::string args;
    int status;
    std::string said;
  } cases[] = {
      {"--csv x.csv lab", 2, usage},
      {"-o x.csv nowhere", 2, "cuesearch-export: nowhere: no such folder\nusage:"},
      {"-o x.csv notalab", 2,
       "cuesearch-export: notalab: not a lab folder (it holds neither CurrentSubjects.txt nor "
       "Res_Data); give the "
       "folder the program ran in\nusage:"},
      {"--bids lab lab", 2,
       "cuesearch-export: lab: exists and is not an empty folder; give --bids a new "
       "folder\nusage:"},
      {"-o", 2, "cuesearch-export: -o needs a file or folder after it"},
      {"-o no/x.csv lab", 2,
       "cuesearch-export: no/x.csv: cannot be written: No such file or directory"},
      {"-o x.csv lab", 0, "1 sessions, 1 complete; nothing needs attention\n"},  // the whole of it
      {"-o x.csv fifo", 1,
       "CHECK fifo/CurrentSubjects.txt: cannot be read: Not a regular file (a FIFO or a device), "
       "so it is not read\n"
       "CHECK fifo/Res_Data/R-5.txt: its ID is not in fifo/CurrentSubjects.txt\n"},
      {"-o x.csv zero", 1,
       "CHECK zero/CurrentSubjects.txt: cannot be read: Not a regular file (a FIFO or a device)"},
      {"-o x.csv big", 1,
       "CHECK big/Res_Data/R-9.txt: cannot be read: Larger than 16 MB, so it is not read\n"
       "note  big/Res_Data/old.zip: not a file of this program; left out\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string command = "cd '" + dir.Path() +
                                "' && ulimit -v 4000000 && timeout 20 " CUE_EXPORT_TOOL " " +
                                c.args + " 2>said.txt";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), c.status);
    const std::string said = Slurp(dir.File("said.txt"));
    EXPECT_EQ(said.substr(0, c.said.size()), c.said);
  }
}

// A table of damaged studies: each is caught, named with its file, and loses no good row (a
// quit session and initials like a formula: TheExportToolWritesEveryAnswerOfAStudy's check).
TEST(StudyTest, CheckNamesEveryProblemWithItsFile) {
  static const LabRun full(5, 2);
  const std::string results = full.Lab("a").files.at("Res_Data/R-5.txt"), r5 = "a/Res_Data/R-5.txt";
  const std::size_t row3 = results.find("\r\n3\t") + 2, row4 = results.find("\r\n4\t") + 2;
  const std::string line3 = results.substr(row3, row4 - row3);
  const std::string line4 = results.substr(row4, results.find("\r\n5\t") + 2 - row4);
  // The results with `from` replaced by `to`.
  const auto edit = [&](const std::string& from, const std::string& to) {
    const std::size_t at = results.find(from);
    return [=](LabFiles& l) {
      l.files["Res_Data/R-5.txt"] = results.substr(0, at) + to + results.substr(at + from.size());
    };
  };
  const auto cut = [&](LabFiles& l) { l.files["Res_Data/R-5.txt"].resize(results.size() - 5); };
  // The file named and the problem, and the rows still exported.
  const struct {
    const char* name;
    std::function<void(LabFiles&)> damage;
    std::string file, expected;
    std::size_t rows;
  } cases[] = {
      {"cut off", cut, r5, "line 361: cut off (no line end)", 359},
      {"cut off, so incomplete", cut, r5, "incomplete: 359 of 360 trials answered", 359},
      {"field lost", edit(line3, line3.substr(2)), r5, "line 4: 12 fields instead of 13", 359},
      {"not a number", edit("\t\r\n3\t", "x\t\r\n3\t"), r5, "line 3: RT is not a number", 359},
      {"duplicated", edit(line3, line3 + line3), r5, "line 5: trial 3 appears twice", 361},
      {"swapped", edit(line3 + line4, line4 + line3), r5, "line 5: trial 3 comes after trial 4",
       360},
      {"missing", edit(line3, ""), r5, "1 trials missing: 3", 359},
      {"second run",
       [&](LabFiles& l) { l.files["Res_Data/R-5.txt"] += HeaderLine(ResultsColumns()); }, r5,
       "2 runs in one file", 360},
      {"condition", [](LabFiles& l) { l.registry = RegistryLine(5, "AB", 3); }, r5,
       "line 2: trial 1 has order condition 2, the registry 3", 360},
      {"not registered", [](LabFiles& l) { l.registry = RegistryLine(4, "AB", 2); }, r5,
       "its ID is not in a/CurrentSubjects.txt", 360},
      {"no results", [](LabFiles& l) { *l.registry += RegistryLine(8, "CD", 1); },
       "a/Res_Data/R-8.txt", "missing, though ID 8 is registered", 360},
      {"registered twice", [](LabFiles& l) { *l.registry += RegistryLine(5, "ZZ", 2); },
       "a/CurrentSubjects.txt", "ID 5 is registered twice", 360},
      {"bad registry line", [](LabFiles& l) { *l.registry += "AB 12\r\n"; },
       "a/CurrentSubjects.txt", "line 2 does not begin with a subject ID: \"AB 12\"", 360},
      {"broken session",
       [](LabFiles& l) { l.files["Res_Data/session-5.json"] = "{\"start\": \"2026"; },
       "a/Res_Data/session-5.json", "cannot be read: an unterminated text", 360},
      {"two machines", [](LabFiles&) {}, r5, "ID 5 seen in 2 lab folders: a, b", 720},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LabFiles lab = full.Lab("a");
    c.damage(lab);
    Study study;
    AddLab(study, lab);
    if (std::string(c.name) == "two machines") AddLab(study, full.Lab("b"));
    CheckAcrossLabs(study);
    EXPECT_TRUE(study.NeedsAttention());
    EXPECT_NE(CheckText(study).find("CHECK " + c.file + ": " + c.expected), std::string::npos)
        << CheckText(study);
    EXPECT_EQ(CsvRows(StudyCsv(study)).size(), c.rows + 1);
  }
  // A text a spreadsheet would run gets a ' before it; nothing else does.
  const std::pair<std::string, std::string> texts[] = {
      {"=1+2", "'=1+2"}, {"+A1", "'+A1"}, {"-2", "'-2"},  {"@SUM(1)", "'@SUM(1)"},
      {"\tx", "'\tx"},   {"\rx", "'\rx"}, {"A=1", "A=1"}, {"", ""}};
  for (const auto& [text, safe] : texts) EXPECT_EQ(SpreadsheetSafe(text), safe);
  // A study with one ID in two lab folders and a pilot run of it, as BIDS: one label each.
  Study twice;
  AddLab(twice, full.Lab("a"));
  AddLab(twice, full.Lab("b"));
  LabFiles pilot = full.Lab("a");
  pilot.pilot = true;
  AddLab(twice, pilot);
  std::string labels;
  for (const auto& [path, text] : BidsDataset(twice, {}, "1"))
    labels += path.ends_with("_beh.tsv") ? path.substr(0, path.find('/')) + " " : "";
  EXPECT_EQ(labels, "sub-5 sub-5dup2 sub-pilot5 ");
  // Files of an older version (no session file, the timing record under an R- name) are read
  // as they are: noted, nothing for a person to do, never taken for a subject.
  LabFiles old = full.Lab("a");
  old.files.erase("Res_Data/session-5.json");
  old.files["Res_Data/R-5-timing.txt"] = "#trialNumber\tclockStart\t\r\n1\t100\t\r\n";
  old.files["Res_Data/R-5.txt.lock"] = "pc 42";  // the program's own: no note
  Study study;
  AddLab(study, old);
  EXPECT_EQ(CheckText(study),
            "note  a/Res_Data/R-5-timing.txt: not a file of this program; left out\n"
            "note  a/Res_Data/session-5.json: missing: start, machine and screen unknown\n"
            "1 sessions, 1 complete; nothing needs attention\n");
}

// A quit session's summary: the table's figures (the median of the correct answers after the
// cue), the blocks reached, the verdicts and timing health from a timing record of an older
// version read by column name (the field's onset and missed frames wherever they stand; a cue
// off its 1000 ms is late), and a page that is drawn (dark text, correct answers in blue,
// errors in red, answers before the cue in orange, the block bands shaded).
TEST(StudyTest, SummaryOfAQuitSessionWithItsFiguresAndTiming) {
  static const LabRun run(7, 3, 120);
  LabFiles lab = run.Lab("a");
  lab.files["Res_Data/timing-7.tsv"] =
      "trialNumber\tmissedFrames\tclockStart\tcueOnset\tanswer\tfieldOnset\tcueDelayMs\t\r\n"
      "1\t0\t100\t1000100\t700000\t4100\t1000.000\t\r\n"
      "2\t2\t100\t-\t1200000\t5000\t-\t\r\n"  // after the cue was due, though it never played
      "3\t1\t100\t1002100\t900000\t3500\t1002.001\t\r\n"
      "4\t0\t100\t-\t950000\t3000\t-\t\r\n";  // the last cue, due after the end: not counted
  Study study;
  AddLab(study, lab);
  const auto rows = CsvRows(StudyCsv(study));
  const std::size_t onset = Column(rows[0], "rt_onset_ms");
  EXPECT_EQ(std::vector<std::string>(
                {rows[1][onset], rows[2][onset], rows[3][onset], rows[4][onset], rows[5][onset]}),
            std::vector<std::string>({"695.9", "1195", "896.5", "947", ""}));
  // The flags from each trial's own line (trial 5 has none: before the cue by its RT).
  std::vector<std::string> flags;
  for (std::size_t r = 1; r <= 5; ++r) {
    for (const char* name : {"timing_ok", "sound_ok", "before_cue"})
      flags.push_back(rows[r][Column(rows[0], name)]);
  }
  EXPECT_EQ(flags, (std::vector<std::string>{"1", "1", "1", "0", "0", "0", "0", "1", "1", "1", "0",
                                             "1", "", "", "1"}));
  const Session& s = study.sessions.front();
  const Summary summary = Summarise({&s}, "Subject 7");
  // Before the cue: by the timing record where it has the trial, else by the RT (cue at 1000 ms).
  const auto early = [&](std::size_t t) { return t == 2 ? false : run.answers[t - 1].rtMs < 1000; };
  int earlyCount = 0;
  for (std::size_t t = 1; t <= run.answers.size(); ++t) earlyCount += early(t);
  EXPECT_EQ(summary.health,
            (std::vector<std::string>{"4 trials in the timing record, 1 cues without an onset, "
                                      "1 cues more than 2 ms off their 1000 ms",
                                      "3 missed frames, 0 trials with the sound output lost, " +
                                          std::to_string(earlyCount) + " answers before the cue",
                                      "missing sounds: none"}));
  EXPECT_EQ(summary.timing.ok, false);
  EXPECT_EQ(summary.timing.text, "3 refreshes missed, 1 cues more than 2 ms off their 1000 ms");
  EXPECT_EQ(summary.sound.ok, false);
  EXPECT_EQ(summary.sound.text, "1 cues without an onset");
  EXPECT_EQ(
      Summarise({&s, &s}, "").timing.text,
      "not ok in 2 of 2 sessions; ID 7: " + summary.timing.text + ", ID 7: " + summary.timing.text);
  ASSERT_EQ(summary.cells.size(), 6U);
  for (const SummaryCell& cell : summary.cells) {
    std::vector<int> rts;
    int answered = 0, correct = 0;
    for (std::size_t t = 1; t <= run.answers.size(); ++t) {
      const Answered& a = run.answers[t - 1];
      if (a.blockType != cell.blockType || a.present != cell.present) continue;
      ++answered;
      if ((a.key == 'm') == a.present) ++correct;
      if ((a.key == 'm') == a.present && !early(t)) rts.push_back(a.rtMs);
    }
    std::sort(rts.begin(), rts.end());
    EXPECT_EQ(cell.answered, answered) << cell.blockType << cell.present;
    EXPECT_EQ(cell.correct, correct);
    if (!rts.empty()) {
      EXPECT_EQ(*cell.medianRt, (rts[(rts.size() - 1) / 2] + rts[rts.size() / 2]) / 2.0);
    }
  }
  std::vector<std::int32_t> blockTypes(9, 0);  // blocks not reached: none
  for (std::size_t t = 0; t < run.answers.size(); ++t)
    blockTypes[t / 40] = run.answers[t].blockType;
  EXPECT_EQ(summary.blockTypes, blockTypes);

  const QImage page = SummaryPage(summary);
  int dark = 0, blue = 0, red = 0, orange = 0, shaded = 0;
  for (int y = 0; y < page.height(); ++y) {
    for (int x = 0; x < page.width(); ++x) {
      const QColor c = page.pixelColor(x, y);
      dark += c.lightness() < 80;
      blue += c.blue() > 120 && c.red() < 120;
      red += c.red() > 150 && c.green() < 80 && c.blue() < 80;
      orange += c.red() > 200 && c.green() > 110 && c.green() < 170 && c.blue() < 60;
      shaded += c != Qt::white && c.lightness() > 200;
    }
  }
  EXPECT_GT(dark, 8000);
  EXPECT_GT(blue, 1200);
  EXPECT_GT(red, 600);
  EXPECT_GT(orange, 600);
  EXPECT_GT(shaded, 80000);
}

}  // namespace
}  // namespace cue
