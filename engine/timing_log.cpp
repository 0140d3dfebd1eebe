#include "engine/timing_log.h"

#include <algorithm>
#include <charconv>
#include <variant>

#include "labfolder/timing_format.h"

namespace cue {

namespace {

std::string Micros(const std::optional<std::uint64_t>& value) {
  return value ? std::to_string(*value) : "-";
}

// to_chars: a point whatever the user's locale.
std::string Fixed3(double value) {
  char text[32];
  return std::string(
      text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3).ptr);
}

std::string DelayMs(const std::optional<std::uint64_t>& later,
                    const std::optional<std::uint64_t>& earlier) {
  if (!later || !earlier) return "-";
  return Fixed3((static_cast<double>(*later) - static_cast<double>(*earlier)) / 1000.0);
}

template <typename T>
T Median(std::vector<T> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

std::optional<std::uint64_t> Onset(const SoundPlayer& sound, SoundPlayer::PlayId play) {
  if (play == 0) return std::nullopt;
  return sound.OnsetMicros(play);
}

}  // namespace

void TimingLog::Open(const std::string& fileName) {
  fileName_ = fileName;
  unwritten_ = TimingHeaderLine();
  Write();
}

void TimingLog::Write() {
  if (unwritten_.empty() || fileName_.empty()) return;
  std::string text = unwritten_;
  if (headerOnDisk_ && !files_.Exists(fileName_)) text.insert(0, TimingHeaderLine());
  auto opened = files_.OpenForAppend(fileName_);
  auto* file = std::get_if<std::unique_ptr<AppendFile>>(&opened);
  if (file == nullptr) return;
  (*file)->Write(text);
  if ((*file)->Close()) return;  // kept for the next try
  unwritten_.clear();
  headerOnDisk_ = true;
}

void TimingLog::TrialStarted(std::int16_t trial, std::uint64_t clockStartMicros) {
  Flush();
  Trial started;
  started.number = trial;
  started.clockStart = clockStartMicros;
  started.soundOutput = sound_.OutputAvailable();
  trials_.push_back(std::move(started));
}

// A cue belongs to the latest trial that has started: its timer is re-armed at every start.
void TimingLog::CueStarted(std::uint64_t tickMicros, SoundPlayer::PlayId play) {
  if (trials_.empty()) return;
  trials_.back().cueTick = tickMicros;
  trials_.back().cuePlay = play;
  trials_.back().soundOutput = trials_.back().soundOutput && sound_.OutputAvailable();
}

void TimingLog::Answered(std::uint64_t answerMicros, SoundPlayer::PlayId feedback,
                         std::uint64_t keyMicros) {
  if (trials_.empty()) return;
  trials_.back().answer = answerMicros;
  if (keyMicros != 0) trials_.back().keyArrival = keyMicros;
  trials_.back().feedbackPlay = feedback;
  trials_.back().soundOutput = trials_.back().soundOutput && sound_.OutputAvailable();
}

void TimingLog::FieldShown(Refresh at) {
  if (trials_.empty() || trials_.back().answer) return;
  Trial& trial = trials_.back();
  if (!trial.field) {
    trial.field = at;
  } else if (trial.swaps.size() < MAX_SWAPS) {
    trial.swaps.push_back(at);
  }
}

void TimingLog::Lead(const LeadFacts& facts) {
  if (!trials_.empty()) trials_.back().lead = facts;
}

std::vector<std::string> TimingLog::FlickerFields(const Trial& t) {
  if (!t.field || t.swaps.empty()) return {"-", "-"};
  std::vector<std::uint64_t> refreshes;
  std::vector<std::uint64_t> micros;
  Refresh before = *t.field;
  for (const Refresh& swap : t.swaps) {
    refreshes.push_back(swap.msc - before.msc);
    micros.push_back(swap.micros - before.micros);
    before = swap;
  }
  return {std::to_string(Median(refreshes)), Fixed3(static_cast<double>(Median(micros)) / 1000.0)};
}

void TimingLog::SetDisplay(const DisplayFacts& facts) {
  if (!trials_.empty()) trials_.back().display = facts;
}

std::vector<std::string> TimingLog::DisplayFields(const Trial& t) {
  const DisplayFacts& d = t.display;
  if (!d.frameAccurate) return {"-", "-", "-", "-", "-", "-", "toolkit"};
  std::vector<std::string> fields;
  if (t.field && t.answer) {
    const std::uint64_t key = t.keyArrival.value_or(*t.answer);
    fields = {std::to_string(t.field->micros), std::to_string(t.field->msc),
              std::to_string(static_cast<std::int64_t>(key) -
                             static_cast<std::int64_t>(t.field->micros))};
  } else {
    fields = {"-", "-", "-"};
  }
  // to_chars: a point whatever the user's locale.
  const std::string hz = d.periodMicros > 0 ? Fixed3(1e6 / d.periodMicros) : "-";
  fields.insert(fields.end(),
                {std::to_string(d.missedRefreshes), hz,
                 std::to_string(d.width) + "x" + std::to_string(d.height), "xpresent"});
  return fields;
}

// A cue asked for that never started while the output is lost now (it stalled after an early
// answer, say) made the trial silent too.
bool TimingLog::SoundWorked(const Trial& t, const std::optional<std::uint64_t>& cueOnset) const {
  return t.soundOutput && (t.cuePlay == 0 || cueOnset || sound_.OutputAvailable());
}

std::string TimingLog::Line(const Trial& t) const {
  const auto cueOnset = Onset(sound_, t.cuePlay);
  const auto feedbackOnset = Onset(sound_, t.feedbackPlay);
  std::vector<std::string> fields = {std::to_string(t.number),
                                     std::to_string(t.clockStart),
                                     Micros(t.cueTick),
                                     Micros(cueOnset),
                                     Micros(t.answer),
                                     Micros(feedbackOnset),
                                     DelayMs(cueOnset, t.clockStart),
                                     DelayMs(feedbackOnset, t.answer),
                                     SoundWorked(t, cueOnset) ? "ok" : "lost"};
  const auto add = [&fields](const std::vector<std::string>& more) {
    fields.insert(fields.end(), more.begin(), more.end());
  };
  add(DisplayFields(t));
  fields.push_back(Micros(t.keyArrival));
  if (t.lead) {
    const LeadFacts& lead = *t.lead;
    add({Fixed3(lead.leadMicros / 1000.0),
         lead.deadlineMicros > 0 ? Fixed3(lead.deadlineMicros / 1000.0) : "-",
         Fixed3(lead.stepsMicros / 1000.0)});
  } else {
    add({"-", "-", "-"});
  }
  add(FlickerFields(t));
  return TimingLineText(fields);
}

void TimingLog::Flush() {
  std::size_t done = 0;
  for (; done < trials_.size() && trials_[done].answer; ++done) unwritten_ += Line(trials_[done]);
  trials_.erase(trials_.begin(), trials_.begin() + static_cast<std::ptrdiff_t>(done));
  Write();
}

}  // namespace cue
