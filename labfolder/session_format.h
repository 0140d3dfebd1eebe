#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace cue {

// What a lab needs to know about one session beyond the answers: "Res_Data/session-<ID>.json",
// one flat JSON object in UTF-8 (docs/session-files.md lists its keys). It is written when the
// run is launched (ended "running") and replaced when the session ends, each time atomically,
// so a reader finds the old version or the new one, never half of one.
struct SessionInfo {
  enum class Ending { kRunning, kCompleted, kQuit, kRecovered };

  std::string programVersion;
  std::string start;  // ISO 8601 with UTC offset
  std::string end;    // empty while running
  Ending ended = Ending::kRunning;
  std::int32_t trialsAnswered = 0;
  std::optional<std::int32_t> quitAtTrial;  // kQuit: the trial that was on when it ended
  std::string host;
  std::optional<double> screenWidthPx, screenHeightPx, screenWidthTwips, screenHeightTwips;
  std::optional<double> dpi, refreshHz;
  std::string font;
  std::string soundServer, soundSink, soundError;
  std::optional<double> soundLatencyMs;
  std::vector<std::string> missingSounds;
  std::int32_t subjectId = 0;
  std::int32_t orderCondition = 0;
  bool pilot = false;
  // The run's own verdicts, where the version writes them (absent: not judged).
  std::optional<bool> timingOk, soundOk;
  std::vector<std::string> verdictReasons;
  std::optional<std::int32_t> missedRefreshes, cuesLost, ignoredLetterKeys;
};

// "running", "completed", "quit", "recovered".
const char* EndingName(SessionInfo::Ending ending);

std::string SessionJson(const SessionInfo& info);
// text as a JSON string, quotes included; control bytes escaped, UTF-8 as it is.
std::string JsonQuoted(std::string_view text);
// The session read back; a text that is not such an object is refused (FileFailure::kMalformed,
// the description saying where and why).
Result<SessionInfo> ParseSessionJson(std::string_view text);

// "2026-12-06T15:04:05+01:00": the local time with its offset from UTC.
std::string IsoTime(std::time_t when);

}  // namespace cue
