#pragma once

#include <string>

#include "check/judge.h"

namespace cue::check {

// The measurements of the lab machine, each on the real system (a QApplication must exist
// for the display and the fonts). None of them changes anything but a temporary file, and the
// journal folder, made if missing as the experiment would make it.

// The X server, its frame timing, and kDisplaySeconds of full-field frames queued for every
// refresh on a full-screen window of its own (the experiment's presenter and lead).
DisplayFacts ProbeDisplay();
// The X server's part of the display facts: its name, Xwayland, a compositing manager.
// Without an X server, f.server stays empty.
void ProbeServer(DisplayFacts& f);
// Caps Lock and the letters of the current layout's group, from the X keyboard extension.
KeyboardFacts ProbeKeyboard();
// Every sound of lab/wave decoded, and a cue played 1 s ahead through the experiment's player.
SoundFacts ProbeSound(const std::string& lab);
// A results-sized line written and synced in the lab folder, the free space, the journal folder.
DiskFacts ProbeDisk(const std::string& lab, const std::string& journal);
// The family the screens' font stands on.
FontFacts ProbeFonts();

// Runs every probe, prints the lines (or the JSON report with json) on standard output and
// returns the worst verdict as the exit status (0 pass, 1 concern, 2 fail).
int RunCheck(const std::string& lab, const std::string& journal, bool json);

}  // namespace cue::check
