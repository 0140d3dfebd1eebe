#include "app/session_record.h"

#include <unistd.h>

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <variant>

#include "cue_version.h"
#include "intake/registry.h"
#include "platform/audio/pulse_output.h"
#include "platform/qt/fonts.h"
#include "stimulus/auditory_cue.h"
#include "study/qt/summary_page.h"
#include "study/summary.h"

namespace cue {

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

void Replace(FileSystem& files, const std::string& path, const std::string& text) {
  if (auto error = files.Replace(path, text)) {
    std::fprintf(stderr, "The session file is not written: %s\n", Describe(*error).c_str());
  }
}

}  // namespace

void SessionRecord::Launched() {
  launched_ = true;
  FileSystem& files = x_.platform.files;
  info_.programVersion = CUE_VERSION;
  info_.start = IsoTime(std::time(nullptr));
  info_.subjectId = x_.state.subjectId;
  info_.orderCondition = x_.state.orderCondition;
  info_.pilot = pilot_;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) info_.host = host;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    info_.screenWidthPx = screen->geometry().width() * screen->devicePixelRatio();
    info_.screenHeightPx = screen->geometry().height() * screen->devicePixelRatio();
    info_.dpi = screen->logicalDotsPerInch();
  }
  info_.screenWidthTwips = x_.platform.windows.ScreenWidthTwips();
  info_.screenHeightTwips = x_.platform.windows.ScreenHeightTwips();
  // The refresh rate is written at the end: the presenter measures it before the first trial.
  // The toolkit's own figure is the mode's nominal rate, not what the screen does.
  info_.font = QFontInfo(MsSansSerif(18, true)).family().toStdString();
  info_.soundServer = Env("PULSE_SERVER", "default");
  info_.soundSink = Env("PULSE_SINK", "default");
  if (sound_.OutputAvailable()) {
    info_.soundLatencyMs = static_cast<double>(audio::PulseOptions{}.Lead()) / 1000.0;
  } else {
    info_.soundError = sound_.OutputError();
  }
  // What the run could not play: missing, unreadable, or without a single sample.
  for (const auto& path : SoundPaths(files.CurrentDirectory())) {
    if (std::holds_alternative<SoundError>(sound_.Open(path))) info_.missingSounds.push_back(path);
  }
  Write();
}

void SessionRecord::Ended() {
  if (!launched_) return;
  launched_ = false;
  const TrialCycleSnapshot now = x_.display.Snapshot();
  const std::int32_t trial = now.trialNumber;
  info_.trialsAnswered = trial - (now.awaitingResponse ? 1 : 0);
  info_.end = IsoTime(std::time(nullptr));
  if (presenter_.FrameAccurate() && presenter_.PeriodMicros() > 0) {
    info_.refreshHz = 1e6 / presenter_.PeriodMicros();
  }
  if (info_.trialsAnswered >= TOTAL_TRIALS) {
    info_.ended = SessionInfo::Ending::kCompleted;
  } else {
    info_.ended = SessionInfo::Ending::kQuit;
    info_.quitAtTrial = trial;
  }
  if (health_) {
    health_->Poll(presenter_, trial);
    const check::SessionVerdict v = health_->Verdict();
    info_.timingOk = v.timingOk;
    info_.soundOk = v.soundOk && info_.missingSounds.empty();
    info_.verdictReasons = v.reasons;
    if (!info_.missingSounds.empty())
      info_.verdictReasons.push_back(std::to_string(info_.missingSounds.size()) +
                                     " sounds missing");
    info_.missedRefreshes = static_cast<std::int32_t>(v.missedRefreshes);
    info_.cuesLost = v.cuesLost;
  }
  Write();
  WriteSummary();
}

void SessionRecord::MarkRecovered(FileSystem& files, const std::vector<RecoveredJournal>& found) {
  for (const RecoveredJournal& r : found) {
    if (r.rows == 0 || r.error || !r.kept.empty()) continue;
    const std::filesystem::path results(r.resultsFile);
    const auto id = ResultsFileId(results.filename().string());
    if (!id) continue;
    const std::string path = SessionFileName(results.parent_path().string(), *id);
    const auto read = files.ReadAll(path);
    const auto* text = std::get_if<std::string>(&read);
    if (text == nullptr) continue;  // a run from before session files: left as it is
    auto parsed = ParseSessionJson(*text);
    auto* info = std::get_if<SessionInfo>(&parsed);
    if (info == nullptr) continue;  // a damaged one: left as it is
    info->ended = SessionInfo::Ending::kRecovered;
    Replace(files, path, SessionJson(*info));
  }
}

void SessionRecord::Write() {
  info_.ignoredLetterKeys = x_.display.Snapshot().ignoredLetterKeys;
  FileSystem& files = x_.platform.files;
  Replace(files, SessionFileName(ResultsFolderPath(files), x_.state.subjectId), SessionJson(info_));
}

// The summary is drawn from the files on disk, read back as the export reads them, so it
// shows what the data holds.
void SessionRecord::WriteSummary() {
  FileSystem& files = x_.platform.files;
  const std::string id = std::to_string(x_.state.subjectId);
  LabFiles lab;
  lab.folder = files.CurrentDirectory();
  lab.registry =
      RegistryLine(x_.state.subjectId, "", x_.state.orderCondition);  // this subject only
  const std::int16_t subject = x_.state.subjectId;
  for (const std::string& name :
       {ResultsBaseName(subject), TimingBaseName(subject), SessionBaseName(subject)}) {
    const auto read = files.ReadAll(JoinPath(ResultsFolderPath(files), name));
    if (const auto* text = std::get_if<std::string>(&read))
      lab.files[std::string(kResultsFolder) + "/" + name] = *text;
  }
  Study study;
  AddLab(study, lab);
  if (study.sessions.empty()) return;
  const Session& s = study.sessions.front();
  Summary summary = Summarise({&s}, "Subject " + id + (pilot_ ? " (pilot)" : ""));
  summary.about.push_back("order condition " + std::to_string(info_.orderCondition) + ", " +
                          info_.start + " to " + info_.end + ", " + EndingName(info_.ended) + ", " +
                          std::to_string(s.rows.size()) + " trials answered");
  summary.about.push_back("machine " + info_.host + ", program " + info_.programVersion);
  for (const auto& p : study.problems) {
    if (p.attention) summary.about.push_back("check: " + p.text);
  }
  // A page that cannot be written is no loss: it is drawn from the files, which stay.
  (void)WriteSummaryPng(files, summary,
                        SummaryFileName(ResultsFolderPath(files), x_.state.subjectId));
}

}  // namespace cue
