#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/presenter.h"
#include "platform/sound.h"

namespace cue {

// What the program itself knows of each trial's timing, beside the results: one line per
// answered trial in "Res_Data/timing-<ID>.tsv" (written and read by labfolder/timing_format.h),
// in the results file's text format (TAB after
// every field, CR LF) under a header of column names without the "#". Times are microseconds of the
// monotonic clock (CLOCK_MONOTONIC on Linux), so other programs on the machine can compare them
// with their own readings; "-" marks what is not known (a cue that never played, an output that
// cannot tell its timing).
//
// Columns: trialNumber; clockStart (the reaction-time clock's start); cueTick (the cue
// timer's tick); cueOnset (when the cue's first sample was due at the output, as the sound
// output reports it); answer (the answer key's reading of the clock); feedbackOnset; and
// cueDelayMs = cueOnset - clockStart, feedbackDelayMs = feedbackOnset - answer, in ms;
// soundOutput: "ok" when the sound output worked from the trial's start to its answer, "lost"
// when it did not (the trial's sounds were then silent);
// then what the display reported: fieldOnset (the refresh at which the trial's field appeared,
// µs) and fieldMsc (its refresh count); rtFromOnset = keyArrival - fieldOnset (µs; answer -
// fieldOnset when the key was not stamped); missedFrames
// (refreshes that frames came late by since the previous trial's answer); refreshHz (the
// display's rate as measured before the first trial) and screen ("<width>x<height>" pixels);
// and presenter: "xpresent" when frames went through the X Present extension, "toolkit" when
// they were painted by the toolkit, whose onsets are not known ("-" in the display's columns);
// and keyArrival, when the answer key's event reached the program, stamped on an input thread
// ("-" when it was not); leadMs, how long before the field's refresh the trial's steps were
// started (the display's deadline, the steps' allowance and a margin), deadlineMs, the
// display's measured deadline, and stepsMs, how long the steps took from their start to the
// field's frame leaving for the display (all three "-" without frames through the display
// server); flickerShownRefreshes and flickerShownMs, the interval between flicker swaps as
// the screen showed it (the median of the trial's swaps, in refreshes and ms; "-" for a trial
// without a swap shown).
//
// A trial's line is written TIMING_WRITE_DELAY after its answer (the trial cycle asks for it),
// when the output has long reported the onsets of its cue and feedback sound and nothing is
// being timed: the blank screen has given way to the cross, which stays another 500 ms. A
// line still unwritten then goes with the next trial's start, and the last one when the run
// ends. Lines that cannot be written are kept, in order, and go out with the next write that
// succeeds (after the header again if the file had to be made anew); this file is a record
// of timing, not of the subject's answers, so a failure to write it never interrupts the run.
// ms from an answer to the writing of its trial's line: its cue is due at most 1000 ms after
// the answer, and the cross that follows the 1000 ms blank goes at 2000 ms.
inline constexpr int TIMING_WRITE_DELAY = 1500;

// What the display tells of a trial, beside its field's onset.
struct DisplayFacts {
  bool frameAccurate = false;
  double periodMicros = 0;  // 0: not measured
  int width = 0;
  int height = 0;
  std::uint64_t missedRefreshes = 0;
};

// When a trial's steps ran, with respect to its field's refresh (µs).
struct LeadFacts {
  double leadMicros = 0;
  double deadlineMicros = 0;  // 0: not measured
  double stepsMicros = 0;
};

class TimingLog {
 public:
  TimingLog(FileSystem& files, const SoundPlayer& sound) : files_(files), sound_(sound) {}

  // Names the file and writes the header line.
  void Open(const std::string& fileName);
  void TrialStarted(std::int16_t trial, std::uint64_t clockStartMicros);
  void CueStarted(std::uint64_t tickMicros, SoundPlayer::PlayId play);
  // keyMicros: the key's arrival, 0 when not stamped.
  void Answered(std::uint64_t answerMicros, SoundPlayer::PlayId feedback,
                std::uint64_t keyMicros = 0);
  // A frame of the latest trial's field appeared: its first is the field's onset, the later
  // ones are flicker swaps.
  void FieldShown(Refresh at);
  void Lead(const LeadFacts& facts);
  // The latest trial's display facts (without them: the toolkit's painting).
  void SetDisplay(const DisplayFacts& facts);
  // Writes every answered trial not yet written.
  void Flush();

 private:
  struct Trial {
    std::int16_t number = 0;
    std::uint64_t clockStart = 0;
    std::optional<std::uint64_t> cueTick;
    SoundPlayer::PlayId cuePlay = 0;
    std::optional<std::uint64_t> answer;
    std::optional<std::uint64_t> keyArrival;
    SoundPlayer::PlayId feedbackPlay = 0;
    bool soundOutput = true;  // the output worked from start to answer
    std::optional<Refresh> field;
    std::vector<Refresh> swaps;  // frames after the field's, at most MAX_SWAPS
    std::optional<LeadFacts> lead;
    DisplayFacts display;
  };
  // A trial left unanswered for an hour at 10 swaps a second stays within this.
  static constexpr std::size_t MAX_SWAPS = 40'000;
  static std::vector<std::string> FlickerFields(const Trial& trial);
  std::string Line(const Trial& trial) const;
  bool SoundWorked(const Trial& trial, const std::optional<std::uint64_t>& cueOnset) const;
  static std::vector<std::string> DisplayFields(const Trial& trial);
  // Appends the unwritten lines; keeps them when they cannot be written.
  void Write();

  FileSystem& files_;
  const SoundPlayer& sound_;
  std::string fileName_;
  std::vector<Trial> trials_;  // answered or running, not yet written
  std::string unwritten_;      // lines made but not yet on disk
  bool headerOnDisk_ = false;
};

}  // namespace cue
