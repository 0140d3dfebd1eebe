#include "study/export.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <set>

#include "labfolder/layout.h"
#include "labfolder/registry_format.h"

namespace cue {

namespace {

std::string Fixed(double value, int decimals) {
  char text[40];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  std::string out(text, end);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out == "-0" ? "0" : out;
}

std::string Flag(std::optional<bool> value) { return value ? (*value ? "1" : "0") : ""; }
template <typename N>
std::string Whole(std::optional<N> value) {
  return value ? std::to_string(static_cast<long long>(*value)) : "";
}
std::string Ms(std::optional<double> micros) { return micros ? Fixed(*micros / 1000.0, 3) : ""; }
std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) out += (out.empty() ? "" : "; ") + t;
  return out;
}

struct Trial {
  const Session& s;
  const ResultsRow& r;
  const TimingLine* t;
  TrialFlags f;
  std::optional<double> N(const char* column) const { return TimingNumber(t, column); }
  // A timing column's text; empty where absent or not known ("-").
  std::string Raw(const char* column) const {
    if (t == nullptr) return "";
    const auto it = t->find(column);
    return it == t->end() || it->second == "-" ? "" : it->second;
  }
  std::optional<double> Key() const { return N("keyArrival") ? N("keyArrival") : N("answer"); }
  bool Present() const { return r.trialType1 == 1; }
  const SessionInfo* Info() const { return s.info ? &*s.info : nullptr; }
};

struct Column {
  ColumnInfo info;
  std::function<std::string(const Trial&)> value;
};

const std::vector<std::pair<std::string, std::string>> kBool = {{"1", "yes"}, {"0", "no"}};
const std::vector<std::pair<std::string, std::string>> kBlockTypes = {
    {"1", "still: no flicker"},
    {"2", "fixed flicker: one label at a time swaps colour every 200 ms"},
    {"3",
     "random flicker: one label at a time swaps colour after a delay drawn per trial, 100 to 300 "
     "ms"}};

// The table: every column with its dictionary entry and how its cell is made.
const std::vector<Column>& Columns() {
  using L = std::vector<std::pair<std::string, std::string>>;
  static const std::vector<Column> columns = {
      {{"subject_id",
        "integer",
        "",
        "The subject's ID as entered at the start (the ID in the name of its results file, "
        "Res_Data/R-ID.txt).",
        {}},
       [](const Trial& x) { return std::to_string(x.s.subjectId); }},
      {{"initials",
        "text",
        "",
        "The subject's initials from the registry (CurrentSubjects.txt). Personal data: written "
        "only with --with-initials.",
        {}},
       [](const Trial& x) { return x.s.initials; }},
      {{"order_condition", "integer", "",
        "The order of the three block types, from the registry (else results column "
        "orderCondition). Each block type covers three blocks, 120 trials.",
        L{{"1", "blocks 1-9: still, fixed flicker, random flicker, repeated three times"},
          {"2", "blocks 1-9: fixed flicker, random flicker, still, repeated three times"},
          {"3", "blocks 1-9: random flicker, still, fixed flicker, repeated three times"}}},
       [](const Trial& x) {
         return std::to_string(
             x.s.orderCondition.value_or(static_cast<std::int16_t>(x.r.orderCondition)));
       }},
      {{"pilot", "boolean", "",
        "1 for a pilot run (started with --pilot, kept in pilot/; exported only with --pilot).",
        kBool},
       [](const Trial& x) { return std::string(x.s.pilot ? "1" : "0"); }},
      {{"lab_folder",
        "text",
        "",
        "The lab folder the session was read from, as given to the export (one per machine).",
        {}},
       [](const Trial& x) { return x.s.lab; }},
      {{"host",
        "text",
        "",
        "The machine's host name from the session file. Written only with --with-host.",
        {}},
       [](const Trial& x) { return x.Info() ? x.Info()->host : ""; }},
      {{"session_start",
        "text",
        "",
        "When the run was launched: ISO 8601 local time with its UTC offset.",
        {}},
       [](const Trial& x) { return x.Info() ? x.Info()->start : ""; }},
      {{"session_end",
        "text",
        "",
        "When the run ended, ISO 8601 with UTC offset; empty while the session file says running.",
        {}},
       [](const Trial& x) { return x.Info() ? x.Info()->end : ""; }},
      {{"session_ended", "text", "", "How the session ended, from the session file.",
        L{{"completed", "all 360 trials answered"},
          {"quit", "the experimenter quit"},
          {"recovered", "answers written back from the journal by a later start"},
          {"running", "the program stopped without ending the session (a crash or a power cut)"}}},
       [](const Trial& x) { return x.Info() ? std::string(EndingName(x.Info()->ended)) : ""; }},
      {{"trials_answered",
        "integer",
        "",
        "Rows of this session in its results file (360 when complete).",
        {}},
       [](const Trial& x) { return std::to_string(x.s.rows.size()); }},
      {{"program_version", "text", "", "The build of the program that ran the session.", {}},
       [](const Trial& x) { return x.Info() ? x.Info()->programVersion : ""; }},
      {{"session_refresh_hz",
        "number",
        "Hz",
        "The display's refresh rate as measured over the whole session.",
        {}},
       [](const Trial& x) {
         return x.Info() && x.Info()->refreshHz ? Fixed(*x.Info()->refreshHz, 3) : "";
       }},
      {{"screen_width_px", "integer", "px", "The primary screen's width in device pixels.", {}},
       [](const Trial& x) { return x.Info() ? Whole(x.Info()->screenWidthPx) : ""; }},
      {{"screen_height_px", "integer", "px", "The primary screen's height in device pixels.", {}},
       [](const Trial& x) { return x.Info() ? Whole(x.Info()->screenHeightPx) : ""; }},
      {{"dpi",
        "number",
        "px/inch",
        "The logical dots per inch that convert twips to pixels (1440 twips per inch).",
        {}},
       [](const Trial& x) { return x.Info() && x.Info()->dpi ? Fixed(*x.Info()->dpi, 3) : ""; }},
      {{"session_timing_ok", "boolean", "",
        "The run's own timing verdict for the whole session; empty when the version did not judge "
        "it.",
        kBool},
       [](const Trial& x) { return x.Info() ? Flag(x.Info()->timingOk) : ""; }},
      {{"session_sound_ok", "boolean", "",
        "The run's own sound verdict for the whole session; empty when the version did not judge "
        "it.",
        kBool},
       [](const Trial& x) { return x.Info() ? Flag(x.Info()->soundOk) : ""; }},
      {{"session_verdict_reasons",
        "text",
        "",
        "Why the run judged its timing or sound not ok, separated by \"; \".",
        {}},
       [](const Trial& x) { return x.Info() ? Joined(x.Info()->verdictReasons) : ""; }},
      {{"session_missed_refreshes",
        "integer",
        "",
        "Refreshes missed in the whole session, from the session file.",
        {}},
       [](const Trial& x) { return x.Info() ? Whole(x.Info()->missedRefreshes) : ""; }},
      {{"session_cues_lost",
        "integer",
        "",
        "Cues that did not play in the whole session, from the session file.",
        {}},
       [](const Trial& x) { return x.Info() ? Whole(x.Info()->cuesLost) : ""; }},
      {{"session_ignored_letter_keys",
        "integer",
        "",
        "Letter keys other than m and n pressed during trials (Caps Lock, another layout), from "
        "the session file.",
        {}},
       [](const Trial& x) { return x.Info() ? Whole(x.Info()->ignoredLetterKeys) : ""; }},
      {{"missing_sounds",
        "text",
        "",
        "Sound files missing when the run started (their trials were silent), file names separated "
        "by \"; \".",
        {}},
       [](const Trial& x) {
         std::vector<std::string> names;
         if (x.Info()) {
           for (const auto& path : x.Info()->missingSounds)
             names.push_back(path.substr(path.find_last_of('/') + 1));
         }
         return Joined(names);
       }},
      {{"trial",
        "integer",
        "",
        "Trial number, 1 to 360 (results column trialNumber; timing column trialNumber).",
        {}},
       [](const Trial& x) { return std::to_string(x.r.trialNumber); }},
      {{"block",
        "integer",
        "",
        "Block number, 1 to 9, 40 trials each (results column BlockNumber).",
        {}},
       [](const Trial& x) { return std::to_string(x.r.blockNumber); }},
      {{"block_type", "integer", "", "The block's type (results column blockType).", kBlockTypes},
       [](const Trial& x) { return std::to_string(x.r.blockType); }},
      {{"block_type_name", "text", "", "The block's type by name.",
        L{{"still", "block type 1"},
          {"fixed flicker", "block type 2"},
          {"random flicker", "block type 3"}}},
       [](const Trial& x) { return std::string(BlockTypeName(x.r.blockType)); }},
      {{"target_present", "boolean", "",
        "1 when the cued digit is on the screen (results column trialType1 = 1), 0 when not (2).",
        kBool},
       [](const Trial& x) { return std::string(x.Present() ? "1" : "0"); }},
      {{"target_digit",
        "integer",
        "",
        "The cued digit, 1 to 9, also on target-absent trials (results column targetNumber).",
        {}},
       [](const Trial& x) { return std::to_string(x.r.targetNumber); }},
      {{"target_position",
        "integer",
        "",
        "The label showing the target, 1 to 30; empty when absent (results column targetPosition).",
        {}},
       [](const Trial& x) { return x.Present() ? std::to_string(x.r.targetPosition) : ""; }},
      {{"target_x_twips",
        "number",
        "twips",
        "The target label's left edge (results column targetPositionX; 1440 twips per inch); empty "
        "when absent.",
        {}},
       [](const Trial& x) { return x.Present() ? Fixed(x.r.targetPositionX, 2) : ""; }},
      {{"target_y_twips",
        "number",
        "twips",
        "The target label's top edge (results column targetPositionY); empty when absent.",
        {}},
       [](const Trial& x) { return x.Present() ? Fixed(x.r.targetPositionY, 2) : ""; }},
      {{"target_x_px",
        "number",
        "px",
        "target_x_twips in pixels at the session's dpi; empty when absent or the dpi is unknown.",
        {}},
       [](const Trial& x) {
         return x.Present() && x.Info() && x.Info()->dpi > 0
                    ? Fixed(x.r.targetPositionX * *x.Info()->dpi / 1440.0, 2)
                    : "";
       }},
      {{"target_y_px",
        "number",
        "px",
        "target_y_twips in pixels at the session's dpi; empty when absent or the dpi is unknown.",
        {}},
       [](const Trial& x) {
         return x.Present() && x.Info() && x.Info()->dpi > 0
                    ? Fixed(x.r.targetPositionY * *x.Info()->dpi / 1440.0, 2)
                    : "";
       }},
      {{"target_number_counter",
        "integer",
        "",
        "Labels that showed the target while still in the other colour from the trial before, 0 or "
        "1 (results column targetNumberCounter; see docs/results-format.md).",
        {}},
       [](const Trial& x) { return std::to_string(x.r.targetNumberCounter); }},
      {{"flicker_delay_ms",
        "integer",
        "ms",
        "The flicker delay in force (results column FLICKER_DELAY): 200 in fixed-flicker blocks, "
        "the trial's draw (100 to 300) in random-flicker blocks; in still blocks the last delay of "
        "an earlier flicker block, 0 before any.",
        {}},
       [](const Trial& x) { return std::to_string(x.r.flickerDelay); }},
      {{"answer", "text", "", "The subject's answer (results column subject_res).",
        L{{"present", "the key m (1)"}, {"absent", "the key n (2)"}}},
       [](const Trial& x) { return std::string(x.r.subjectRes == 1 ? "present" : "absent"); }},
      {{"correct", "boolean", "", "1 when the answer matches target_present.", kBool},
       [](const Trial& x) {
         return std::string((x.r.subjectRes == 1) == x.Present() ? "1" : "0");
       }},
      {{"rt_ms",
        "integer",
        "ms",
        "The results file's reaction time (results column RT): from the clock's start, just before "
        "the field is drawn and shown, to the key. Includes the showing time (field_delay_ms).",
        {}},
       [](const Trial& x) { return std::to_string(x.r.rt); }},
      {{"rt_onset_ms",
        "number",
        "ms",
        "Reaction time from the refresh at which the field appeared to the key's arrival (timing "
        "column rtFromOnset): the one to analyse.",
        {}},
       [](const Trial& x) {
         if (const auto r = x.N("rtFromOnset")) return Ms(r);
         return x.N("answer") && x.N("fieldOnset") ? Ms(*x.N("answer") - *x.N("fieldOnset")) : "";
       }},
      {{"rt_cue_ms",
        "number",
        "ms",
        "Reaction time from the cue's onset at the sound output to the key's arrival; negative "
        "when the answer came before the cue.",
        {}},
       [](const Trial& x) {
         return x.Key() && x.N("cueOnset") ? Ms(*x.Key() - *x.N("cueOnset")) : "";
       }},
      {{"clock_start_us",
        "integer",
        "us",
        "The reaction-time clock's start on the monotonic clock (timing column clockStart).",
        {}},
       [](const Trial& x) { return x.Raw("clockStart"); }},
      {{"cue_tick_us", "integer", "us", "When the cue's timer fired (timing column cueTick).", {}},
       [](const Trial& x) { return x.Raw("cueTick"); }},
      {{"cue_onset_us",
        "integer",
        "us",
        "The cue's first sample at the sound output (timing column cueOnset); empty when it never "
        "played.",
        {}},
       [](const Trial& x) { return x.Raw("cueOnset"); }},
      {{"field_onset_us",
        "integer",
        "us",
        "The refresh at which the field appeared, as the display server reported it (timing column "
        "fieldOnset).",
        {}},
       [](const Trial& x) { return x.Raw("fieldOnset"); }},
      {{"field_msc", "integer", "", "That refresh's count (timing column fieldMsc).", {}},
       [](const Trial& x) { return x.Raw("fieldMsc"); }},
      {{"key_arrival_us",
        "integer",
        "us",
        "When the answer key's event reached the program, stamped on its input thread (timing "
        "column keyArrival).",
        {}},
       [](const Trial& x) { return x.Raw("keyArrival"); }},
      {{"answer_us",
        "integer",
        "us",
        "The answer key's reading of the clock (timing column answer).",
        {}},
       [](const Trial& x) { return x.Raw("answer"); }},
      {{"feedback_onset_us",
        "integer",
        "us",
        "The feedback sound's first sample at the output (timing column feedbackOnset).",
        {}},
       [](const Trial& x) { return x.Raw("feedbackOnset"); }},
      {{"cue_delay_ms",
        "number",
        "ms",
        "cue_onset_us - clock_start_us: 1000 when the cue started on time (timing column "
        "cueDelayMs).",
        {}},
       [](const Trial& x) { return x.Raw("cueDelayMs"); }},
      {{"feedback_delay_ms",
        "number",
        "ms",
        "feedback_onset_us - answer_us (timing column feedbackDelayMs).",
        {}},
       [](const Trial& x) { return x.Raw("feedbackDelayMs"); }},
      {{"field_delay_ms",
        "number",
        "ms",
        "field_onset_us - clock_start_us: the showing time that rt_ms includes.",
        {}},
       [](const Trial& x) {
         return x.N("fieldOnset") && x.N("clockStart") ? Ms(*x.N("fieldOnset") - *x.N("clockStart"))
                                                       : "";
       }},
      {{"lead_ms",
        "number",
        "ms",
        "How long before the refresh meant for the field the trial's steps were started (timing "
        "column leadMs): the display's deadline, the steps' allowance and a 1 ms margin.",
        {}},
       [](const Trial& x) { return x.Raw("leadMs"); }},
      {{"deadline_ms",
        "number",
        "ms",
        "How long before a refresh a frame must be sent to be shown at it, as measured on the "
        "display before the first trial (timing column deadlineMs).",
        {}},
       [](const Trial& x) { return x.Raw("deadlineMs"); }},
      {{"steps_ms",
        "number",
        "ms",
        "How long the trial's steps took, from when they were due to the field's frame leaving for "
        "the display (timing column stepsMs); longer than lead_ms - deadline_ms means its frame "
        "left after the measured deadline and may have come a refresh late (missed_refreshes says "
        "whether it did).",
        {}},
       [](const Trial& x) { return x.Raw("stepsMs"); }},
      {{"sound_output", "text", "",
        "Whether the sound output worked from the trial's start to its answer (timing column "
        "soundOutput).",
        L{{"ok", "it worked"}, {"lost", "it did not: the trial's sounds were silent"}}},
       [](const Trial& x) { return x.Raw("soundOutput"); }},
      {{"missed_refreshes",
        "integer",
        "",
        "Refreshes by which frames came later than asked since the previous trial's answer (timing "
        "column missedFrames); 0 in a normal run.",
        {}},
       [](const Trial& x) { return x.Raw("missedFrames"); }},
      {{"refresh_hz",
        "number",
        "Hz",
        "The display's refresh rate as measured up to this trial (timing column refreshHz; refined "
        "as the run goes).",
        {}},
       [](const Trial& x) { return x.Raw("refreshHz"); }},
      {{"screen",
        "text",
        "",
        "The experiment window's size in pixels, WIDTHxHEIGHT (timing column screen).",
        {}},
       [](const Trial& x) { return x.Raw("screen"); }},
      {{"presenter", "text", "", "How the frames reached the screen (timing column presenter).",
        L{{"xpresent", "through the X Present extension: onsets known to the refresh"},
          {"toolkit", "painted by the toolkit: onsets not known"}}},
       [](const Trial& x) { return x.Raw("presenter"); }},
      {{"flicker_shown_refreshes",
        "integer",
        "",
        "The flicker interval shown on screen, in refreshes (timing column flickerShownRefreshes); "
        "empty on trials without flicker.",
        {}},
       [](const Trial& x) { return x.Raw("flickerShownRefreshes"); }},
      {{"flicker_shown_ms",
        "number",
        "ms",
        "The flicker interval shown on screen (timing column flickerShownMs); empty on trials "
        "without flicker.",
        {}},
       [](const Trial& x) { return x.Raw("flickerShownMs"); }},
      {{"sound_ok", "boolean", "",
        "1 when the cue played (its onset is known) and the sound output worked from the trial's "
        "start to its answer; empty without a timing line.",
        kBool},
       [](const Trial& x) { return Flag(x.f.soundOk); }},
      {{"timing_ok", "boolean", "",
        "1 when the field's onset is known, no refresh was missed and a cue that played started "
        "within 2 ms of its 1000 ms; empty without a timing line.",
        kBool},
       [](const Trial& x) { return Flag(x.f.timingOk); }},
      {{"before_cue", "boolean", "",
        "1 when the answer came before the cue's onset (before its 1000 ms when it never played; "
        "from rt_ms without a timing line).",
        kBool},
       [](const Trial& x) { return std::string(x.f.beforeCue ? "1" : "0"); }},
  };
  return columns;
}

bool Wanted(const ColumnInfo& c, const ExportOptions& o) {
  return (c.name != "initials" || o.withInitials) && (c.name != "host" || o.withHost);
}

std::string Csv(std::string field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

// A BIDS TSV cell: "n/a" when empty, no TAB or line end inside.
std::string Tsv(std::string field) {
  for (char& c : field) c = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  return field.empty() ? "n/a" : field;
}

std::string Line(const std::vector<std::string>& fields, char separator,
                 std::string (*cell)(std::string)) {
  std::string line;
  for (const auto& f : fields) line += (line.empty() ? "" : std::string(1, separator)) + cell(f);
  return line;
}

// The JSON dictionary of columns: Description, Units and Levels for each (BIDS sidecar).
std::string ColumnsJson(const std::vector<ColumnInfo>& columns, const std::string& head) {
  std::string json = "{\n" + head;
  for (const auto& c : columns) {
    json += (json.size() > 2 ? ",\n" : "") + std::string("  ") + JsonQuoted(c.name) +
            ": {\n    \"Description\": " + JsonQuoted(c.description);
    if (!c.units.empty()) json += ",\n    \"Units\": " + JsonQuoted(c.units);
    if (!c.levels.empty()) {
      json += ",\n    \"Levels\": {";
      for (std::size_t i = 0; i < c.levels.size(); ++i) {
        json +=
            (i ? ", " : "") + JsonQuoted(c.levels[i].first) + ": " + JsonQuoted(c.levels[i].second);
      }
      json += "}";
    }
    json += "\n  }";
  }
  return json + "\n}\n";
}

// The study with the check's findings on the registry left out unless the initials may leave:
// they quote its lines.
Study Private(const Study& study, const ExportOptions& options) {
  Study copy;
  copy.sessions = study.sessions;
  for (const auto& p : study.problems) {
    if (options.withInitials || !p.file.ends_with(kRegistryFile)) copy.problems.push_back(p);
  }
  if (copy.problems.size() < study.problems.size()) {
    copy.problems.push_back(
        {kRegistryFile,
         std::to_string(study.problems.size() - copy.problems.size()) +
             " findings left out: they quote the registry's initials (the export shows them)",
         false});
  }
  return copy;
}

}  // namespace

std::string SpreadsheetSafe(std::string_view text) {
  const bool formula =
      !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
  return (formula ? "'" : "") + std::string(text);
}

std::vector<ColumnInfo> AllColumns() {
  std::vector<ColumnInfo> all;
  for (const auto& c : Columns()) all.push_back(c.info);
  return all;
}

std::vector<ColumnInfo> ExportColumns(const ExportOptions& options) {
  std::vector<ColumnInfo> wanted;
  for (const auto& c : Columns()) {
    if (Wanted(c.info, options)) wanted.push_back(c.info);
  }
  return wanted;
}

std::vector<std::vector<std::string>> TrialTable(const std::vector<const Session*>& sessions,
                                                 const ExportOptions& options) {
  std::vector<std::vector<std::string>> table;
  for (const Session* s : sessions) {
    for (const auto& r : s->rows) {
      const Trial trial{*s, r, TimingOf(*s, r.trialNumber), FlagsOf(*s, r)};
      auto& row = table.emplace_back();
      for (const auto& c : Columns()) {
        if (!Wanted(c.info, options)) continue;
        row.push_back(c.info.type == "text" ? SpreadsheetSafe(c.value(trial)) : c.value(trial));
      }
    }
  }
  return table;
}

std::string StudyCsv(const Study& study, const ExportOptions& options) {
  std::vector<std::string> names;
  for (const auto& c : ExportColumns(options)) names.push_back(c.name);
  std::string csv = Line(names, ',', Csv) + "\r\n";
  std::vector<const Session*> sessions;
  for (const auto& s : study.sessions) sessions.push_back(&s);
  for (const auto& row : TrialTable(sessions, options)) csv += Line(row, ',', Csv) + "\r\n";
  return csv;
}

std::string DictionaryMarkdown() {
  std::string md = "| column | type | units | description | levels |\n|---|---|---|---|---|\n";
  for (const auto& c : AllColumns()) {
    std::string levels;
    for (const auto& [value, meaning] : c.levels)
      levels += (levels.empty() ? "" : "; ") + ("`" + value + "` " + meaning);
    md += "| `" + c.name + "` | " + c.type + " | " + c.units + " | " + c.description + " | " +
          levels + " |\n";
  }
  return md;
}

std::map<std::string, std::string> BidsDataset(const Study& study, const ExportOptions& options,
                                               const std::string& programVersion) {
  std::map<std::string, std::string> files;
  files["dataset_description.json"] =
      "{\n  \"Name\": \"cuesearch: visual search with an auditory cue\",\n  \"BIDSVersion\": "
      "\"1.9.0\",\n"
      "  \"DatasetType\": \"raw\",\n  \"GeneratedBy\": [{\"Name\": \"cuesearch-export\", "
      "\"Version\": " +
      JsonQuoted(programVersion) + "}]\n}\n";
  files["README"] =
      "Visual search with an auditory cue, exported by cuesearch-export.\n\n"
      "Each subject has one behavioural file, sub-<label>/beh/sub-<label>_task-cuesearch_beh.tsv, "
      "with one row per\n"
      "answered trial and a JSON sidecar describing every column. Labels are the subject IDs; a "
      "pilot run's label\n"
      "starts with \"pilot\", and a second session under one ID gets \"dup2\", \"dup3\", ... after "
      "it.\n\n"
      "The study check (what a person should look at before analysing):\n\n" +
      CheckText(Private(study, options));
  const std::vector<ColumnInfo> columns = ExportColumns(options);
  std::vector<std::string> names;
  for (const auto& c : columns) names.push_back(c.name);
  const std::string sidecar = ColumnsJson(
      columns,
      "  \"TaskName\": \"cuesearch\",\n  \"TaskDescription\": \"Visual search among 30 digits for "
      "a "
      "digit named by a spoken cue 1000 ms after the trial's start; m: present, n: absent\"");
  std::string participants = std::string("participant_id") +
                             (options.withInitials ? "\tinitials" : "") +
                             "\torder_condition\tpilot\tsession_ended\ttrials_answered\n";
  std::set<std::string> taken;
  for (const auto& s : study.sessions) {
    const std::string id =
        s.subjectId < 0 ? "minus" + std::to_string(-s.subjectId) : std::to_string(s.subjectId);
    std::string label = (s.pilot ? "pilot" : "") + id;
    for (int n = 2; !taken.insert(label).second; ++n)
      label = (s.pilot ? "pilot" : "") + id + "dup" + std::to_string(n);
    const std::string stem = "sub-" + label + "/beh/sub-" + label + "_task-cuesearch_beh";
    std::string tsv = Line(names, '\t', Tsv) + "\n";
    for (const auto& row : TrialTable({&s}, options)) tsv += Line(row, '\t', Tsv) + "\n";
    files[stem + ".tsv"] = tsv;
    files[stem + ".json"] = sidecar;
    std::vector<std::string> fields = {"sub-" + label,
                                       s.orderCondition ? std::to_string(*s.orderCondition) : "",
                                       s.pilot ? "1" : "0", s.info ? EndingName(s.info->ended) : "",
                                       std::to_string(s.rows.size())};
    if (options.withInitials) fields.insert(fields.begin() + 1, SpreadsheetSafe(s.initials));
    participants += Line(fields, '\t', Tsv) + "\n";
  }
  std::vector<ColumnInfo> described;
  for (const auto& c : ExportColumns(options)) {
    if (c.name == "initials" || c.name == "order_condition" || c.name == "pilot" ||
        c.name == "session_ended" || c.name == "trials_answered") {
      described.push_back(c);
    }
  }
  files["participants.tsv"] = participants;
  files["participants.json"] = ColumnsJson(described, "");
  return files;
}

}  // namespace cue
