#pragma once

#include <string>
#include <vector>

namespace cue::check {

// How fit one part of the lab machine is for a study. The order is the severity: a report's
// verdict is its worst line's, and the check's exit status is that number (0, 1, 2).
enum class Verdict { kPass = 0, kConcern = 1, kFail = 2 };

// "PASS", "CONCERN", "FAIL".
const char* VerdictName(Verdict verdict);

// One finding: the section it belongs to ("display", "sound", "keyboard", "disk", "fonts"),
// what was checked, the figure found, and what to do about it (empty on a PASS that needs
// nothing).
struct Line {
  std::string section;
  Verdict verdict = Verdict::kPass;
  std::string what;
  std::string figure;
  std::string todo;
};

// The worst verdict of the lines; kPass when there are none.
Verdict Worst(const std::vector<Line>& lines);

// One line per finding, "PASS     display   refresh rate: 60.00 Hz ... -> what to do", and a
// last line with the overall verdict.
std::string Text(const std::vector<Line>& lines);

// {"verdict": "...", "lines": [{"section":..., "verdict":..., "what":..., "figure":...,
// "todo":...}, ...]}, UTF-8, locale-free.
std::string Json(const std::vector<Line>& lines);

}  // namespace cue::check
