#include "app/program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "check/qt/probes.h"

namespace cue {

namespace {

// Every draw folds the tick count into the generator, but two runs that started alike would
// still share a sequence; the generator therefore starts from the system's entropy.
std::uint64_t Entropy() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

// The launch's last step, once the subject is registered and the results folder made, first
// writes the session file.
// Before it, the experimenter is told when the subject's answer keys would not answer.
LaunchTargets WithSession(LaunchTargets targets, SessionRecord& session, Dialogs& dialogs) {
  targets.showBlankeCross = [pause = std::move(targets.showBlankeCross), &session, &dialogs](
                                std::int16_t hide1, std::int16_t show, std::int16_t hide2,
                                Startable& form) {
    if (const auto warning = check::KeyboardWarning(check::ProbeKeyboard())) {
      Message message{*warning, "KEYBOARD: THE ANSWER KEYS DO NOT ANSWER", Buttons::kOk,
                      Icon::kExclamation};
      message.keyProof = true;
      dialogs.Show(message);
    }
    session.Launched();
    pause(hide1, show, hide2, form);
  };
  return targets;
}

}  // namespace

Program::Program(const std::string& journalFolder, bool pilot)
    : journalFolder_(journalFolder),
      health_(
          sound_, clock_,
          [](const std::string& line) { std::fprintf(stderr, "cuesearch: %s\n", line.c_str()); }),
      generator_(Entropy()),
      experiment_(
          Services{clock_, scheduler_, dialogs_, files_, health_, generator_, windows_, ending_},
          metrics_, journalFolder),
      screens_(experiment_, metrics_),
      greet_(GreetContext{experiment_.state, experiment_.dialogs, files_, windows_, lifecycle_,
                          WithSession(screens_.Targets(), session_, experiment_.dialogs)}),
      session_(experiment_, sound_, screens_.presenter, pilot),
      lastChance_([this](int signal) { EndUnasked(signal); }) {
  session_.Watch(&health_);
}

void Program::Ending::EndProgram() {
  p_.session_.Ended();
  p_.lifecycle_.EndProgram();
}

// Until the first trial no sound is due: the output idles on its long buffer.
void Program::Start() {
  sound_.SetLowLatency(false);
  // Decoded while the experimenter types: the run's Open then finds every sound ready.
  sound_.Preload(SoundPaths(files_.CurrentDirectory()));
  soundWorked_ = sound_.OutputAvailable();
  QObject::connect(&soundWatch_, &QTimer::timeout, [this] { WatchSound(); });
  soundWatch_.start(500);
  recovered_ = RecoverJournals(files_, journalFolder_, files_.CurrentDirectory());
  SessionRecord::MarkRecovered(files_, recovered_);
  if (!recovered_.empty()) dialogs_.Show(RecoveryMessage(recovered_));
  greet_.Load();
}

void Program::WatchSound() {
  health_.Poll(screens_.presenter, experiment_.state.trialNumber);
  const bool works = sound_.OutputAvailable();
  if (works || !soundWorked_) {
    soundWorked_ = works;
    return;
  }
  soundWorked_ = false;
  Message message{"The sound output was lost (" + sound_.OutputError() +
                      ").\rThe rest of the run is silent until the sound server comes back; the "
                      "program tries to reconnect before each trial. Answers are still recorded, "
                      "and each trial's sound state is in the timing file (column soundOutput).\r"
                      "Press Enter or click OK to go on.",
                  "SOUND LOST: THE RUN IS SILENT", Buttons::kOk, Icon::kExclamation};
  message.keyProof = true;
  experiment_.dialogs.Show(message);
}

void Program::EndUnasked(int signal) {
  if (auto report = experiment_.display.results().LastChance()) {
    std::string text = report->title + ": " + report->text + "\n";
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::fputs(text.c_str(), stderr);
  }
  session_.Ended();  // quit at the trial it was on; a later start marks it recovered if it must
  std::fflush(nullptr);
  if (signal != 0) std::_Exit(128 + signal);
}

}  // namespace cue
