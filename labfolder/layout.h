#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace cue {

// The lab folder, the process's current folder while the program runs:
//
//   CurrentSubjects.txt        the subject registry (registry_format.h), with its ".lock"
//   Res_Data/R-<ID>.txt        a subject's results (results_format.h), with its run's ".lock"
//   Res_Data/timing-<ID>.tsv   the program's record of each trial's timing (timing_format.h)
//   Res_Data/session-<ID>.json what a lab needs to know of the session (session_format.h)
//   Res_Data/summary-<ID>.png  the summary page drawn at its end
//   wave/                      the sounds: "1.wav" .. "9.wav" and the two feedback sounds
//   pilot/                     a pilot run's files, laid out alike
//
// No "R-*.txt" pattern takes a file that is not a results file.

inline constexpr const char* kRegistryFile = "CurrentSubjects.txt";
inline constexpr const char* kResultsFolder = "Res_Data";
inline constexpr const char* kSoundFolder = "wave";
inline constexpr const char* kPilotFolder = "pilot";

// The feedback sounds, in the sound folder.
inline constexpr const char* kCorrectSound = "Utopia Default.wav";
inline constexpr const char* kErrorSound = "Utopia Error.wav";
// A digit's cue: "1.wav" .. "9.wav".
std::string CueSoundName(int digit);
// Every sound a run plays, as paths in the sound folder of lab: the two feedback sounds,
// then the cues of 1 to 9.
std::vector<std::string> SoundPaths(const std::string& lab);

// Paths built from the current folder of the process.
std::string RegistryPath(const FileSystem& files);
std::string ResultsFolderPath(const FileSystem& files);
std::string SoundFolderPath(const FileSystem& files);
// The lock taken while a subject is checked and registered: "CurrentSubjects.txt.lock".
std::string RegistryLockPath(const FileSystem& files);
// The current folder, "Res_Data", "R-", the ID in decimal, ".txt".
std::string ResultsFileName(const FileSystem& files, std::int16_t subjectId);
// Beside it, "timing-", the ID, ".tsv".
std::string TimingFileName(const FileSystem& files, std::int16_t subjectId);

// A subject's files by their names alone ("R-12.txt").
std::string ResultsBaseName(std::int16_t subjectId);
std::string TimingBaseName(std::int16_t subjectId);
std::string SessionBaseName(std::int16_t subjectId);
// The same in folder (a results folder).
std::string SessionFileName(const std::string& folder, std::int16_t subjectId);
std::string SummaryFileName(const std::string& folder, std::int16_t subjectId);

// The lock a run holds on its subject's results file for as long as it runs: the results
// file's path with ".lock" added.
std::string RunLockPath(const std::string& resultsFile);

// What a file in a results folder is, by its name: one of a subject's files, a by-product of
// the program (its locks, half-written replacements, summary pages), or none of the program's.
enum class LabFileKind { kResults, kTiming, kSession, kByProduct, kForeign };
LabFileKind KindOf(const std::string& baseName);
// The subject ID in the name of a results file ("R-12.txt" gives 12); nullopt for any other.
std::optional<std::int16_t> ResultsFileId(const std::string& baseName);

}  // namespace cue
