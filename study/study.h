#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "labfolder/layout.h"
#include "labfolder/protocol.h"
#include "labfolder/results_format.h"
#include "labfolder/session_format.h"
#include "labfolder/timing_format.h"

namespace cue {

// A study: the sessions of one or more lab folders (one per machine), read from the files the
// program wrote there, and what a person should look at before analysing them.
//
// A lab folder holds "CurrentSubjects.txt" and "Res_Data" with, per subject, the results
// "R-<ID>.txt", the timing record "timing-<ID>.tsv" and the session file
// "session-<ID>.json"; a pilot run keeps the same files in "pilot/" inside it. Files written
// before the timing and session files existed are read all the same.

// How far a cue's onset may lie from its 1000 ms before it counts as late, in ms.
inline constexpr double kLateCueMs = 2.0;
// When the cue is due after the clock's start, in ms.
inline constexpr double kCueDueMs = 1000.0;

struct TimingHealth {
  int trials = 0;         // lines in the timing file
  int cuesNotPlayed = 0;  // no onset for the cue, the run's last trial not counted
  int lateCues = 0;       // onset more than kLateCueMs off 1000 ms after the clock's start
  int soundLost = 0;      // trials whose soundOutput is "lost"
  int untimed = 0;        // trials whose field onset the display did not report
  std::optional<int> missedFrames;  // when the file has the column
};

struct Session {
  std::string lab;  // the lab folder as given
  std::string resultsFile;
  bool pilot = false;
  std::int16_t subjectId = 0;
  std::string initials;                        // from the registry
  std::optional<std::int16_t> orderCondition;  // from the registry
  std::optional<SessionInfo> info;
  std::vector<ResultsRow> rows;
  std::map<std::int32_t, TimingLine> timing;  // trial -> its timing line
  TimingHealth health;
};

// What a lab filters trials on, from the trial's own timing line (nullopt: no line for it).
struct TrialFlags {
  // The cue played (its onset is known) and the sound output worked from start to answer.
  std::optional<bool> soundOk;
  // The field's onset is known, no refresh was missed, and a cue that played was within
  // kLateCueMs of its 1000 ms.
  std::optional<bool> timingOk;
  // The answer came before the cue's onset (before its 1000 ms when it never played).
  bool beforeCue = false;
};
TrialFlags FlagsOf(const Session& session, const ResultsRow& row);
const TimingLine* TimingOf(const Session& session, std::int32_t trial);

struct Problem {
  std::string file;  // the file it concerns, as a path under the lab folder
  std::string text;
  bool attention = true;  // false: noted, but nothing for a person to do
};

struct Study {
  std::vector<Session> sessions;
  std::vector<Problem> problems;
  bool NeedsAttention() const;
};

// A lab folder's files as texts, names relative to the folder ("Res_Data/R-12.txt").
struct LabFiles {
  std::string folder;
  bool pilot = false;
  std::optional<std::string> registry;  // none: no "CurrentSubjects.txt"
  std::map<std::string, std::string> files;
  std::vector<Problem> unreadable;  // and the files left unread
};

// Reads a lab folder through files: the registry and the results, timing and session files of
// Res_Data; with pilot, those of its "pilot" folder instead. Only the program's own file
// names are read, each through FileSystem::ReadAll: a FIFO, a device or a file over its
// limit is refused at once and named, never waited for or read whole. Other files are
// named as left out, the program's locks and half-written ".new" files not at all.
LabFiles ReadLabFolder(const FileSystem& files, const std::string& folder, bool pilot);

// Adds a lab's sessions and checks them: rows malformed, missing, duplicated or out of order,
// sessions incomplete, registry and files that do not match.
void AddLab(Study& study, const LabFiles& lab);
// Checks across labs: a subject ID seen in two of them. Call once all are added.
void CheckAcrossLabs(Study& study);

// The check for a person: one line per problem with its file, then a count.
std::string CheckText(const Study& study);

// "still", "fixed flicker", "random flicker".
const char* BlockTypeName(std::int32_t blockType);

}  // namespace cue
