#include <unistd.h>

#include <cstdio>

#include "check/qt/probes.h"

namespace cue::check {

int RunCheck(const std::string& lab, const std::string& journal, bool json) {
  std::vector<Line> lines;
  const auto add = [&lines](std::vector<Line> more) {
    lines.insert(lines.end(), more.begin(), more.end());
  };
  if (!json) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::printf("cuesearch check of %s, lab folder %s\n", host, lab.c_str());
    std::fflush(stdout);
  }
  add(JudgeDisplay(ProbeDisplay()));
  add(JudgeSound(ProbeSound(lab)));
  add(JudgeKeyboard(ProbeKeyboard()));
  add(JudgeDisk(ProbeDisk(lab, journal)));
  add(JudgeFonts(ProbeFonts()));
  const std::string out = json ? Json(lines) : Text(lines);
  std::fputs(out.c_str(), stdout);
  return static_cast<int>(Worst(lines));
}

}  // namespace cue::check
