#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/report.h"
#include "engine/lead.h"
#include "platform/presenter.h"

namespace cue::check {

// What the check measured, section by section; the probes fill these on the real machine,
// tests fill them by hand. The Judge functions turn them into lines with a verdict, the
// figure and what to do, and measure nothing themselves.

// How long the display is watched, and how long the frames run (seconds).
inline constexpr int kDisplaySeconds = 5;

struct DisplayFacts {
  std::string server;     // "X11 (The X.Org Foundation 12101007) on :1"; empty: no X server
  bool xwayland = false;  // the X server is a Wayland compositor's Xwayland
  // Why frames are not timed by the server; empty: X Present times them.
  std::string presentMissing;
  std::string compositor;  // the X compositing manager's name; empty: none
  // The refreshes at which consecutive frames of a full field appeared, one frame queued for
  // every refresh, in order.
  std::vector<Refresh> shown;
  std::uint64_t missedRefreshes = 0;  // refreshes those frames came late by
  std::vector<double> prepareMicros;  // making and sending each frame, µs
  // The display's deadline as the presenter measured it; 0: not measured.
  double deadlineMicros = 0;
  // For each shown frame: the program's clock when the server's notice of it arrived, minus
  // the refresh's stamp (µs). Small and positive when the server stamps on the program's
  // clock (CLOCK_MONOTONIC); anything else puts every onset in the timing file off.
  std::vector<double> noticeLagMicros;
  int width = 0, height = 0;  // pixels
};

struct WaveFacts {
  std::string name;   // "1.wav"
  std::string error;  // why it cannot be played; empty when it decoded
  double seconds = 0;
};

struct SoundFacts {
  std::string server, sink;  // asked for ("default": the session's)
  std::string outputError;   // empty: an output stream is open
  double latencyMs = 0;      // the output's lead from a play's request to its onset
  std::string waveFolder;
  bool waveFolderFound = false;
  std::vector<WaveFacts> waves;  // every sound the experiment plays, in its order
  // A cue asked for 1 s ahead: its onset at the output (as the timing file records it) minus
  // the moment it was asked for, µs; nullopt when no onset was reported.
  std::optional<double> cueErrorMicros;
};

struct KeyboardFacts {
  std::string unavailable;  // why the keyboard could not be read; empty when it was
  std::string layout;       // "us", "ru", ...
  bool capsLock = false;
  std::vector<std::string> missing;  // of "m", "n", "space": what no key of the layout gives
};

struct DiskFacts {
  std::string lab;
  std::string labError;  // empty: a file could be written, synced and removed there
  std::uint64_t freeBytes = 0;
  double writeSyncMs = 0;  // writing a results line and syncing it
  std::string journal;
  std::string journalError;
};

struct FontFacts {
  struct Font {
    std::string asked, got;
  };
  std::vector<Font> fonts;
};

// Figures of the display as a lab reads them: a steady refresh clock fitted to the stamps
// (least squares of the stamp against the refresh count, so a skipped refresh counts as
// one), and how far the stamps lie from it: what an onset's stamp may be off by.
struct RefreshStats {
  double hz = 0;
  double periodUs = 0;
  double jitterUs = 0;  // the 99th percentile of a stamp's distance from the fitted clock
  double worstUs = 0;   // the largest such distance
};
RefreshStats Refreshes(const std::vector<Refresh>& shown);

// The p-th percentile (0..100) of values, nearest rank; 0 for none.
double Percentile(std::vector<double> values, double p);

// A session needs about this much disk (results, timing, session file, summary, with room).
inline constexpr std::uint64_t kSessionBytes = 2u << 20;

std::vector<Line> JudgeDisplay(const DisplayFacts& facts);
std::vector<Line> JudgeSound(const SoundFacts& facts);
std::vector<Line> JudgeKeyboard(const KeyboardFacts& facts);
std::vector<Line> JudgeDisk(const DiskFacts& facts);
std::vector<Line> JudgeFonts(const FontFacts& facts);

// What the experimenter must hear before the first trial when the subject's answer keys
// would not answer (Caps Lock on, a layout without "m" or "n"); nullopt when they will.
std::optional<std::string> KeyboardWarning(const KeyboardFacts& facts);

}  // namespace cue::check
