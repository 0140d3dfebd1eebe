#include "engine/trial_cycle.h"

#include <algorithm>
#include <cctype>
#include <variant>
#include <vector>

#include "engine/lead.h"
#include "screens/layout.h"
#include "screens/rest.h"
#include "stimulus/stimulus_field.h"

namespace cue {

namespace {

class NoView final : public DisplayView {
 public:
  void ShowDisplay() override {}
  void HideDisplay() override {}
  void FieldChanged() override {}
};
NoView noView;

std::string SoundPath(const FileSystem& files, const std::string& name) {
  return JoinPath(SoundFolderPath(files), name);
}

}  // namespace

TrialCycle::TrialCycle(ExperimentState& state, Services services, Blanke& blanke,
                       Waiter& flickerWaits, std::function<void()> showRest,
                       const LabelMetrics& metrics, std::string rescueFolder,
                       std::function<void()> endProgram)
    : state_(state),
      services_(services),
      blanke_(blanke),
      showRest_(std::move(showRest)),
      endProgram_(std::move(endProgram)),
      view_(&noView),
      schedule_(state, services.dialogs, services.generator, services.clock),
      clock_(services.clock),
      results_(services.files, services.dialogs, std::move(rescueFolder)),
      timing_(services.files, services.sound),
      timingWrite_(services.scheduler),
      field_(metrics),
      flicker_(field_, flickerWaits, services.generator, services.clock, [this] { Redraw(); }),
      cue_(services.clock, services.scheduler, services.sound, services.files, state.targetNumber) {
  // The output keeps its short buffer while a sound may be asked for at any moment (from a
  // trial's start to its answer) and while a cue is coming; in between it idles on its long
  // one, which costs a fraction of the processor.
  cue_.SetOnPrepare([this] {
    cueComing_ = true;
    services_.sound.SetLowLatency(true);
  });
  cue_.SetOnPlayed([this](SoundPlayer::PlayId play) {
    timing_.CueStarted(services_.clock.Micros(), play);
    cueComing_ = false;
    if (responseGiven) services_.sound.SetLowLatency(false);
  });
}

void TrialCycle::Redraw() { view_->FieldChanged(); }

void TrialCycle::Form_Resize(float formWidth, float formHeight) {
  const FieldSize size = FieldSizeOf(formWidth, formHeight);
  state_.fieldWidth = size.width;
  state_.fieldHeight = size.height;
}

void TrialCycle::Form_Load() {
  schedule_.BuildTrialTypes();
  BeginBlock = true;
  field_.AutoSizeAll();
  for (NumberLabel& label : field_.labels()) label.foreColor = ColourValue(LabelColour::kRed);
  results_.WriteHeader(ResultsFileName(services_.files, state_.subjectId));
  timing_.Open(TimingFileName(services_.files, state_.subjectId));
  GridVisible(field_, false);
  state_.trialNumber = 0;
  // The feedback sounds are opened once, here; so are the nine cues, so that every sound is
  // decoded before the first trial and a missing one is known now.
  auto correct = services_.sound.Open(SoundPath(services_.files, kCorrectSound));
  auto error = services_.sound.Open(SoundPath(services_.files, kErrorSound));
  if (const auto* id = std::get_if<SoundPlayer::SoundId>(&correct)) correctSound_ = *id;
  if (const auto* id = std::get_if<SoundPlayer::SoundId>(&error)) errorSound_ = *id;
  ReportMissingSounds();
  colourRandom_ = std::make_unique<MyRandom>(services_.generator, services_.clock);
  colourRandom_->SetInterval(1, 2);
  flickerRandom_ = std::make_unique<MyRandom>(services_.generator, services_.clock);
  flickerRandom_->SetInterval(kMinFlickerDelay, kMaxFlickerDelay);
  Redraw();
}

// A missing sound does not disturb a trial (it is silent), but the experimenter must learn of
// it before the first trial, not from the data.
void TrialCycle::ReportMissingSounds() {
  std::string problems;
  if (!services_.sound.OutputAvailable()) {
    problems += "No sound output: " + services_.sound.OutputError() + "\r";
  }
  for (const auto& path : SoundPaths(services_.files.CurrentDirectory())) {
    auto opened = services_.sound.Open(path);
    if (const auto* failure = std::get_if<SoundError>(&opened)) {
      problems += failure->path + ": " + failure->reason + "\r";
    }
  }
  if (problems.empty()) return;
  services_.dialogs.Show(Message{"These sounds cannot be played:\r" + problems +
                                     "\rThe experiment can go on; these sounds will be silent.",
                                 "SOUND PROBLEM", Buttons::kOk, Icon::kExclamation});
}

namespace {
// The steps' times the allowance is judged on: the latest trials'.
constexpr std::size_t kStepsKept = 32;
}  // namespace

// A single slow trial (the machine busy for a moment) comes a refresh late and says so in the
// timing file; it does not lengthen every later trial's RT.
double TrialCycle::ShowLeadMicros() const {
  if (presenter_ == nullptr || !presenter_->FrameAccurate() || presenter_->PeriodMicros() <= 0)
    return 0;
  // Until the deadline is measured, a whole refresh stands for it.
  const double deadline =
      presenter_->DeadlineMicros() > 0 ? presenter_->DeadlineMicros() : presenter_->PeriodMicros();
  double median = 0;
  if (!steps_.empty()) {
    std::vector<double> sorted = steps_;
    std::nth_element(sorted.begin(),
                     sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    median = std::min(sorted[sorted.size() / 2], presenter_->PeriodMicros());
  }
  return deadline + StepsAllowedMicros(median) + kLeadMarginMicros;
}

// Later frames of a trial's field are its flicker swaps (an expose's frame of a still field
// is none).
void TrialCycle::FieldShown(Refresh at) {
  const bool first = !fieldOnset_;
  if (first) fieldOnset_ = at.micros;
  if (first || state_.blockType != 1) timing_.FieldShown(at);
}

// Start's steps run when the pause before the trial ends, a lead before the field's refresh
// (which the pause named); the field goes to the display as their last step.
void TrialCycle::Start() {
  const std::uint64_t stepStart = services_.clock.Micros();
  const double lead = ShowLeadMicros();
  fieldOnset_.reset();
  // The output's short buffer for the feedback at the answer; it takes effect within the long
  // buffer (150 ms), before any but an anticipatory answer can come.
  services_.sound.SetLowLatency(true);
  state_.trialNumber = static_cast<std::int16_t>(state_.trialNumber + 1);
  ParkCursor(services_.windows);
  responseGiven = false;
  awaitingResponse = false;
  targetNumberCounter = 0;
  schedule_.SelectTrialType(TrialTypeDraw::kSpecial);
  schedule_.SetBlockType();

  const TargetFacts facts =
      SetDisplay(field_, FieldRequest{state_.fieldWidth, state_.fieldHeight, state_.trialType1},
                 services_.generator, services_.clock);
  state_.targetNumber = facts.targetNumber;
  state_.targetPosition = facts.targetPosition;
  state_.targetPositionX = facts.targetPositionX;
  state_.targetPositionY = facts.targetPositionY;
  targetNumberCounter = static_cast<std::int16_t>(targetNumberCounter + facts.counted);

  cue_.Arm(kCueDelay);
  PlaceGridLines(field_, state_.fieldWidth, state_.fieldHeight);
  awaitingResponse = true;
  clock_.StartClock();
  timing_.TrialStarted(state_.trialNumber, clock_.startMicros());
  if (BeginBlock) {
    const std::int16_t d = colourRandom_->GetNextRanWR();
    blockColour = d == 1 ? LabelColour::kRed : LabelColour::kGreen;
    BeginBlock = false;
  }
  ColourLabels(field_, blockColour);
  Redraw();
  view_->ShowDisplay();

  if (state_.blockType == 2) {
    state_.flickerDelay = kFixedFlickerDelay;
    flicker_.FlickerLabels(state_.flickerDelay, responseGiven);
  } else if (state_.blockType == 3) {
    state_.flickerDelay = flickerRandom_->GetNextRanWR();
    flicker_.FlickerLabels(state_.flickerDelay, responseGiven);
  }
  if (presenter_ == nullptr || !presenter_->FrameAccurate()) return;
  const std::uint64_t sent = presenter_->SendFrame();
  if (sent == 0) return;
  // From the moment the steps were due (the pause's timer can wake them late) to the frame's
  // leaving: what the lead must cover besides the display's deadline.
  const double due = TimeOfRefresh(*presenter_, presenter_->LastQueued()) - lead;
  const double steps =
      std::max(static_cast<double>(sent) - due, static_cast<double>(sent - stepStart));
  timing_.Lead(LeadFacts{lead, presenter_->DeadlineMicros(), steps});
  if (steps_.size() == kStepsKept) steps_.erase(steps_.begin());
  steps_.push_back(steps);
}

bool TrialCycle::KeyAfterOnset(std::uint64_t keyMicros) {
  if (presenter_ == nullptr || !presenter_->FrameAccurate()) return true;
  if (!fieldOnset_) presenter_->Poll();  // its report may wait unread behind the key
  return fieldOnset_ && keyMicros >= *fieldOnset_;
}

void TrialCycle::Form_KeyPress(int keyAscii) {
  switch (keyAscii) {
    case 27:
      blanke_.RequestUnload();
      return;
    case 9:
      return;
    case 96:
      if (toggleDebug_) toggleDebug_();
      return;
    case 'm':
    case 'n':
      if (awaitingResponse) Answer(static_cast<char>(keyAscii));
      return;
    default:  // Caps Lock ("M") or another layout's letter: counted, so the lab can tell
      if (awaitingResponse && (std::isalpha(keyAscii) != 0 || keyAscii >= 0xC0))
        ++ignoredLetterKeys;
      return;
  }
}

void TrialCycle::Answer(char key) {
  const std::int32_t rt = clock_.ReadClock();  // before anything else
  const std::uint64_t arrival = keys_ != nullptr ? keys_->CurrentKeyMicros() : 0;
  if (!KeyAfterOnset(arrival != 0 ? arrival : clock_.readMicros())) return;
  responseGiven = true;
  results_.Open();
  results_.WriteFields({std::int32_t{state_.trialNumber}, std::int32_t{schedule_.BlockNumber()},
                        std::int32_t{state_.blockType}, std::int32_t{state_.orderCondition},
                        std::int32_t{state_.trialType1}});
  results_.WriteFields({std::int32_t{state_.targetNumber}, std::int32_t{state_.targetPosition},
                        state_.targetPositionX, state_.targetPositionY,
                        std::int32_t{targetNumberCounter}, std::int32_t{state_.flickerDelay}});
  results_.WriteFields({std::string(key == 'm' ? "1" : "2"), rt, LineEnd()});
  const bool correct = (key == 'm') == (state_.trialType1 == 1);
  const SoundPlayer::SoundId feedback = correct ? correctSound_ : errorSound_;
  timing_.Answered(clock_.readMicros(), feedback >= 0 ? services_.sound.Play(feedback) : 0,
                   arrival);
  if (presenter_ != nullptr) {
    const std::uint64_t missed = presenter_->MissedRefreshes();
    timing_.SetDisplay(DisplayFacts{presenter_->FrameAccurate(), presenter_->PeriodMicros(),
                                    presenter_->Width(), presenter_->Height(),
                                    missed - missedBefore_});
    missedBefore_ = missed;
  }
  // The output keeps the short buffer until the feedback has played (and a coming cue too).
  if (!cueComing_) services_.sound.SetLowLatency(false);
  view_->HideDisplay();
  SetGreenLabelsVisible(field_, true);
  awaitingResponse = false;
  results_.Close();
  timingWrite_.Start(TIMING_WRITE_DELAY, [this] { timing_.Flush(); });

  if (state_.trialNumber == TOTAL_TRIALS) {
    EndExperiment();
  } else if (schedule_.BlockFinished()) {
    blanke_.ShowBlanke(kRestBlank, restThenUnwind_);
  } else {
    blanke_.ShowBlankeCross(kPauseBlank1, kPauseCross, kPauseBlank2, *this);
  }
}

void TrialCycle::RestThenUnwind::Start() {
  cycle_.showRest_();
  cycle_.flicker_.FinishSuspended();
}

void TrialCycle::FinalFlush() {
  results_.FinalFlush();
  timing_.Flush();
}

bool TrialCycle::EndExperiment() {
  if (state_.trialNumber != TOTAL_TRIALS) return false;
  services_.dialogs.Show(Message{"Well done experiment complete. Please call the experimenter.",
                                 "EXPERIMENT COMPLETE", Buttons::kOk, Icon::kNone});
  endProgram_();
  return true;
}

}  // namespace cue
