#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/experiment_state.h"
#include "engine/reaction_clock.h"
#include "engine/results_log.h"
#include "engine/timing_log.h"
#include "engine/trial_schedule.h"
#include "labfolder/layout.h"
#include "platform/key_arrivals.h"
#include "platform/presenter.h"
#include "platform/services.h"
#include "random/my_random.h"
#include "screens/blanke.h"
#include "screens/form.h"
#include "stimulus/auditory_cue.h"
#include "stimulus/field.h"
#include "stimulus/flicker.h"

namespace cue {

// What the experiment screen's form does for the trial cycle.
class DisplayView {
 public:
  virtual ~DisplayView() = default;
  // Shows the form modeless and brings it to the front.
  virtual void ShowDisplay() = 0;
  virtual void HideDisplay() = 0;
  // The field's labels or lines changed: draw them anew.
  virtual void FieldChanged() = 0;
};

// What may be read of the trial cycle from outside at one moment (the session record, the
// tests): a copy, so that nothing outside the cycle depends on its members.
struct TrialCycleSnapshot {
  std::int16_t trialNumber = 0;
  std::int16_t trialType1 = 0;                  // 1 target present, 2 absent
  bool awaitingResponse = false;                // the trial takes its answer key
  bool responseGiven = false;                   // the trial was answered (its flicker ends)
  LabelColour blockColour = LabelColour::kRed;  // the labels' colour in this block
  int ignoredLetterKeys = 0;
};

// The experiment screen's procedures: Form_Load prepares the run, Start begins one trial,
// Form_KeyPress takes the answer, and the pauses of the blank screen lead from one trial to
// the next, with the rest screen between blocks, until trial 360 ends the run.
//
// A trial is a sequence of short steps on the event loop: Start (setting up, then waiting
// for the answer), the answer procedure, a pause on the blank screen, the next Start. Two
// flags keep exactly one answer per trial: awaitingResponse (the trial takes its key) and
// responseGiven (the flicker ends).
class TrialCycle final : public Startable {
 public:
  // services.dialogs must hold back the steps that follow a wait while a message box is open
  // (GatedDialogs). endProgram closes what is open and ends the program (no quit question).
  // flickerWaits times the flicker's swaps; showRest starts the rest screen between blocks.
  TrialCycle(ExperimentState& state, Services services, Blanke& blanke, Waiter& flickerWaits,
             std::function<void()> showRest, const LabelMetrics& metrics, std::string rescueFolder,
             std::function<void()> endProgram);

  void SetView(DisplayView* view) { view_ = view; }
  void SetDebugToggle(std::function<void()> toggle) { toggleDebug_ = std::move(toggle); }
  // The display's presenter. When it is frame-accurate, a trial's steps run just in time: a
  // lead before the refresh its field is meant for (the display's measured deadline, the
  // steps' allowance and a margin), so that the reaction-time clock starts a small,
  // nearly constant time before the onset; and an answer key counts only from the field's
  // onset on.
  void SetPresenter(Presenter* presenter) { presenter_ = presenter; }
  // Where the answer key's arrival is stamped (the timing file's keyArrival and rtFromOnset).
  void SetKeyArrivals(const KeyArrivals* keys) { keys_ = keys; }

  // Form_Resize: the field follows the form's outer size (twips).
  void Form_Resize(float formWidth, float formHeight);
  void Form_Load();
  void Start() override;
  double ShowLeadMicros() const override;
  void Form_KeyPress(int keyAscii);
  // A frame of the experiment screen reached the display (the first one of a trial is its
  // field's onset).
  void FieldShown(Refresh at);
  // Ends the run after trial 360: the completion message, then the end of the program.
  bool EndExperiment();
  // Puts everything kept in memory on disk: at the end of the run and on quit.
  void FinalFlush();

  // Display's own state.
  bool BeginBlock = false;
  bool responseGiven = false;
  bool awaitingResponse = false;
  std::int16_t targetNumberCounter = 0;
  LabelColour blockColour = LabelColour::kRed;  // drawn at the first trial of each block
  int ignoredLetterKeys =
      0;  // letters other than "m" and "n" typed while a trial awaited its answer

  TrialCycleSnapshot Snapshot() const {
    return {state_.trialNumber, state_.trialType1, awaitingResponse,
            responseGiven,      blockColour,       ignoredLetterKeys};
  }
  const StimulusField& field() const { return field_; }
  StimulusField& field() { return field_; }
  ResultsLog& results() { return results_; }
  TrialSchedule& schedule() { return schedule_; }
  const ReactionClock& reactionClock() const { return clock_; }

 private:
  void Answer(char key);
  // Whether the key being handled came once the field was on the screen (always, without a
  // frame-accurate presenter). A key before the onset is a key during the pause.
  bool KeyAfterOnset(std::uint64_t keyMicros);
  void ReportMissingSounds();
  void Redraw();

  // The rest screen's Start, after which the flicker loops suspended in the block finish.
  class RestThenUnwind final : public Startable {
   public:
    explicit RestThenUnwind(TrialCycle& cycle) : cycle_(cycle) {}
    void Start() override;

   private:
    TrialCycle& cycle_;
  };

  ExperimentState& state_;
  Services services_;
  Blanke& blanke_;
  std::function<void()> showRest_;
  RestThenUnwind restThenUnwind_{*this};
  std::function<void()> endProgram_;
  std::function<void()> toggleDebug_;
  DisplayView* view_ = nullptr;
  Presenter* presenter_ = nullptr;
  const KeyArrivals* keys_ = nullptr;
  std::uint64_t missedBefore_ = 0;           // the presenter's missed refreshes at the last answer
  std::optional<std::uint64_t> fieldOnset_;  // this trial's field's onset (µs), once reported
  std::vector<double> steps_;                // the latest trials' steps, due to frame sent (µs)

  TrialSchedule schedule_;
  ReactionClock clock_;
  ResultsLog results_;
  TimingLog timing_;
  // Writes the answered trial's timing line in the pause: never inside a reaction time (the
  // next trial's start would otherwise write it between the clock's start and the showing).
  Timer timingWrite_;
  StimulusField field_;
  Flicker flicker_;
  AuditoryCue cue_;
  std::unique_ptr<MyRandom> colourRandom_;
  std::unique_ptr<MyRandom> flickerRandom_;
  SoundPlayer::SoundId correctSound_ = -1;  // MMControl2
  SoundPlayer::SoundId errorSound_ = -1;    // MMControl3
  bool cueComing_ = false;                  // the output is getting ready for this trial's cue
};

}  // namespace cue
