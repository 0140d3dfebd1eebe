#include "check/judge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cue::check {

namespace {

// printf into a string; numbers with a decimal point whatever the locale (the program sets
// LC_NUMERIC to "C").
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

Verdict Grade(double value, double concernAbove, double failAbove) {
  if (value > failAbove) return Verdict::kFail;
  return value > concernAbove ? Verdict::kConcern : Verdict::kPass;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

}  // namespace

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank =
      static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

RefreshStats Refreshes(const std::vector<Refresh>& shown) {
  RefreshStats stats;
  if (shown.size() < 2 || shown.back().msc == shown.front().msc) return stats;
  // Relative to the first refresh, so that the sums keep their precision.
  const auto x = [&](const Refresh& r) {
    return static_cast<double>(r.msc) - static_cast<double>(shown.front().msc);
  };
  const auto y = [&](const Refresh& r) {
    return static_cast<double>(r.micros) - static_cast<double>(shown.front().micros);
  };
  double mx = 0, my = 0;
  for (const Refresh& r : shown) mx += x(r), my += y(r);
  mx /= static_cast<double>(shown.size());
  my /= static_cast<double>(shown.size());
  double sxy = 0, sxx = 0;
  for (const Refresh& r : shown) sxy += (x(r) - mx) * (y(r) - my), sxx += (x(r) - mx) * (x(r) - mx);
  stats.periodUs = sxy / sxx;
  if (stats.periodUs <= 0) return {};
  stats.hz = 1e6 / stats.periodUs;
  std::vector<double> off;
  for (const Refresh& r : shown)
    off.push_back(std::fabs(y(r) - (my + (x(r) - mx) * stats.periodUs)));
  stats.jitterUs = Percentile(off, 99);
  stats.worstUs = Percentile(off, 100);
  return stats;
}

std::vector<Line> JudgeDisplay(const DisplayFacts& f) {
  const char* s = "display";
  std::vector<Line> lines;
  if (f.server.empty()) {
    lines.push_back({s, Verdict::kFail, "display server", "no X server",
                     "start the program in an X11 session, or a Wayland session with Xwayland"});
    return lines;
  }
  lines.push_back({s, Verdict::kPass, "display server",
                   f.server + (f.xwayland ? ", Xwayland of a Wayland compositor" : ""), ""});
  if (!f.presentMissing.empty()) {
    lines.push_back({s, Verdict::kFail, "frame timing",
                     "painted by the toolkit, onsets unknown (" + f.presentMissing + ")",
                     "use an X server with the Present extension (Xorg or Xwayland)"});
    return lines;
  }
  lines.push_back({s, Verdict::kPass, "frame timing",
                   "X Present: the server reports each frame's refresh", ""});
  if (f.xwayland) {
    lines.push_back(
        {s, Verdict::kConcern, "compositor",
         "frames pass through the Wayland compositor, which decides when they reach the screen",
         "for a study, log in to an X11 (Xorg) session, or confirm onsets with a photodiode"});
  } else if (!f.compositor.empty()) {
    lines.push_back({s, Verdict::kConcern, "compositor",
                     f.compositor + " composites the screen: frames may come a refresh late",
                     "turn compositing off for the study (the window manager's settings)"});
  } else {
    lines.push_back({s, Verdict::kPass, "compositor", "none", ""});
  }
  const RefreshStats r = Refreshes(f.shown);
  if (f.shown.size() < 10 || r.hz <= 0) {
    lines.push_back({s, Verdict::kFail, "refresh rate",
                     Format("%zu refreshes reported in %d s", f.shown.size(), kDisplaySeconds),
                     "the display does not report its refreshes: check the graphics driver"});
    return lines;
  }
  Verdict steady = Grade(r.jitterUs / r.periodUs, 0.10, 0.25);
  if (r.hz < 50) steady = std::max(steady, Verdict::kConcern);
  lines.push_back(
      {s, steady, "refresh rate",
       Format("%.2f Hz (period %.3f ms); 99%% of %zu stamps within %.3f ms of a steady refresh "
              "clock (worst %.3f ms)",
              r.hz, r.periodUs / 1000, f.shown.size(), r.jitterUs / 1000, r.worstUs / 1000),
       steady == Verdict::kPass ? ""
                                : "on a screen: set a fixed mode of 60 Hz or more and turn off "
                                  "variable refresh (FreeSync, "
                                  "G-Sync); a virtual or nested server (Xvfb, Xwayland) stamps "
                                  "refreshes by its own timer"});
  // Beyond two refreshes a notice is not late: the stamp is on another clock.
  const double lag = Percentile(f.noticeLagMicros, 50);
  const bool sameClock = !f.noticeLagMicros.empty() && lag >= 0 && lag < 2 * r.periodUs;
  lines.push_back(
      {s, sameClock ? Verdict::kPass : Verdict::kFail, "refresh stamps",
       Format("the server's notice comes %.3f ms after the stamp (median)", lag / 1000),
       sameClock ? ""
                 : "the server stamps refreshes on another clock than the program's: onsets in the "
                   "timing file would be off; use Xorg"});
  const auto frames = static_cast<double>(f.shown.size());
  const Verdict missed = f.missedRefreshes == 0
                             ? Verdict::kPass
                             : Grade(static_cast<double>(f.missedRefreshes) / frames, 0, 0.01);
  lines.push_back({s, missed, "a full field at every refresh",
                   Format("%zu frames in %d s, %llu refreshes missed", f.shown.size(),
                          kDisplaySeconds, static_cast<unsigned long long>(f.missedRefreshes)),
                   missed == Verdict::kPass
                       ? ""
                       : "close other programs and set the CPU governor to performance; "
                         "each missed refresh shows a screen a refresh late"});
  // A frame made slower than its allowance misses the lead's margin, and beyond that its refresh.
  const double p50 = Percentile(f.prepareMicros, 50), p99 = Percentile(f.prepareMicros, 99);
  const double allowed = StepsAllowedMicros(std::min(p50, r.periodUs));
  const Verdict prepare = p99 <= allowed                       ? Verdict::kPass
                          : p99 <= allowed + kLeadMarginMicros ? Verdict::kConcern
                                                               : Verdict::kFail;
  lines.push_back(
      {s, prepare, "frame preparation",
       Format("p50 %.2f ms, p99 %.2f ms against the %.2f ms a trial's field is allowed (lead %.2f "
              "ms with "
              "the display's deadline of %.2f ms)",
              p50 / 1000, p99 / 1000, allowed / 1000,
              (f.deadlineMicros + allowed + kLeadMarginMicros) / 1000, f.deadlineMicros / 1000),
       prepare == Verdict::kPass
           ? ""
           : "the machine is too busy or too slow to draw a field in time: close other programs"});
  const bool small = f.width < 800 || f.height < 600;
  lines.push_back(
      {s, small ? Verdict::kConcern : Verdict::kPass, "screen",
       Format("%d x %d pixels", f.width, f.height),
       small ? "the screens are laid out for 800 x 600 or more: use a larger mode" : ""});
  return lines;
}

std::vector<Line> JudgeSound(const SoundFacts& f) {
  const char* s = "sound";
  std::vector<Line> lines;
  if (!f.outputError.empty()) {
    lines.push_back({s, Verdict::kFail, "output", "none (" + f.outputError + ")",
                     "start the sound server (PulseAudio, or PipeWire's PulseAudio service) and "
                     "check the output device"});
  } else {
    lines.push_back({s, Verdict::kPass, "output", "server " + f.server + ", sink " + f.sink, ""});
    const Verdict latency = Grade(f.latencyMs, 20, 100);
    lines.push_back({s, latency, "output latency",
                     Format("%.1f ms from request to onset", f.latencyMs),
                     latency == Verdict::kPass
                         ? ""
                         : "lower the output's buffer (PULSE_LATENCY_MSEC) or use another device"});
  }
  if (!f.waveFolderFound) {
    lines.push_back(
        {s, Verdict::kFail, "sound files", "no folder " + f.waveFolder,
         "make the sounds (cuesearch-make-sounds LABFOLDER) or copy the lab's recordings there"});
  } else {
    for (const WaveFacts& w : f.waves) {
      if (!w.error.empty() || w.seconds <= 0) {
        lines.push_back({s, Verdict::kFail, w.name, w.error.empty() ? "empty" : w.error,
                         "replace it with a WAV file of the same name (cuesearch-make-sounds makes "
                         "missing ones)"});
      } else {
        lines.push_back({s, Verdict::kPass, w.name, Format("decodes, %.3f s", w.seconds), ""});
      }
    }
  }
  if (!f.outputError.empty()) return lines;
  if (!f.cueErrorMicros) {
    lines.push_back(
        {s, Verdict::kFail, "cue 1 s ahead", "no onset reported by the output",
         "the output cannot tell its timing: use PulseAudio or PipeWire with a real device"});
  } else {
    const Verdict cue = Grade(std::fabs(*f.cueErrorMicros), 1000, 5000);
    lines.push_back(
        {s, cue, "cue 1 s ahead", Format("onset %+.3f ms from its time", *f.cueErrorMicros / 1000),
         cue == Verdict::kPass
             ? ""
             : "the output starts sounds off their time: check the device and the machine's load"});
  }
  return lines;
}

std::vector<Line> JudgeKeyboard(const KeyboardFacts& f) {
  const char* s = "keyboard";
  if (!f.unavailable.empty()) {
    return {{s, Verdict::kConcern, "keys", "not read (" + f.unavailable + ")",
             "check by hand that Caps Lock is off and that typing m, n and space gives them"}};
  }
  std::vector<Line> lines;
  lines.push_back(f.capsLock
                      ? Line{s, Verdict::kFail, "Caps Lock",
                             "on: \"m\" and \"n\" would answer nothing", "turn Caps Lock off"}
                      : Line{s, Verdict::kPass, "Caps Lock", "off", ""});
  if (f.missing.empty()) {
    lines.push_back({s, Verdict::kPass, "layout", f.layout + " gives m, n and space", ""});
  } else {
    lines.push_back({s, Verdict::kFail, "layout", f.layout + " gives no " + Join(f.missing),
                     "switch to a Latin layout for the session (e.g. setxkbmap us)"});
  }
  return lines;
}

std::vector<Line> JudgeDisk(const DiskFacts& f) {
  const char* s = "disk";
  std::vector<Line> lines;
  if (!f.labError.empty()) {
    lines.push_back(
        {s, Verdict::kFail, "lab folder", f.lab + ": " + f.labError,
         "choose a folder you can write (--lab DIR) or give yourself the right to write it"});
  } else {
    lines.push_back({s, Verdict::kPass, "lab folder", f.lab + " writable", ""});
    const double sessions = static_cast<double>(f.freeBytes) / static_cast<double>(kSessionBytes);
    const Verdict room = sessions < 10    ? Verdict::kFail
                         : sessions < 100 ? Verdict::kConcern
                                          : Verdict::kPass;
    lines.push_back(
        {s, room, "free space",
         Format("%.2f GB, room for %.0f sessions", static_cast<double>(f.freeBytes) / 1e9,
                sessions),
         room == Verdict::kPass ? "" : "free disk space or choose a lab folder on another disk"});
    const Verdict sync = Grade(f.writeSyncMs, 20, 100);
    lines.push_back({s, sync, "write and sync", Format("%.2f ms", f.writeSyncMs),
                     sync == Verdict::kPass ? ""
                                            : "the disk is slow to sync (a network folder?): use a "
                                              "local disk for the lab folder"});
  }
  if (!f.journalError.empty()) {
    lines.push_back(
        {s, Verdict::kFail, "journal folder", f.journal + ": " + f.journalError,
         "the journal keeps answers the lab folder cannot take: make the folder writable"});
  } else {
    lines.push_back({s, Verdict::kPass, "journal folder", f.journal + " writable", ""});
  }
  return lines;
}

std::vector<Line> JudgeFonts(const FontFacts& f) {
  std::vector<Line> lines;
  for (const FontFacts::Font& font : f.fonts) {
    if (font.got == font.asked || font.got == "Liberation Sans") {
      lines.push_back({"fonts", Verdict::kPass, font.asked, "drawn with " + font.got, ""});
    } else {
      lines.push_back({"fonts", Verdict::kConcern, font.asked,
                       "drawn with " + font.got + ", wider than the intended Liberation Sans",
                       "install fonts-liberation so that captions keep their size"});
    }
  }
  return lines;
}

std::optional<std::string> KeyboardWarning(const KeyboardFacts& f) {
  if (!f.unavailable.empty() || (!f.capsLock && f.missing.empty())) return std::nullopt;
  std::string text = "The subject's answer keys will not answer:\r";
  if (f.capsLock) text += "Caps Lock is on. Turn it off.\r";
  if (!f.missing.empty())
    text += "The keyboard layout (" + f.layout + ") gives no " + Join(f.missing) +
            ". Switch to a Latin layout.\r";
  return text +
         "\rThe trials wait for \"m\" or \"n\". Fix this before the subject starts, then click OK.";
}

}  // namespace cue::check
