#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/experiment.h"
#include "support/doubles.h"
#include "support/fake_sound_player.h"
#include "support/memory_files.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue::testing {

// The TAB-separated fields of every CR LF line of a results or timing file, headers left out.
inline std::vector<std::vector<std::string>> DataRows(const std::string& file) {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t at = 0, end; (end = file.find("\r\n", at)) != std::string::npos; at = end + 2) {
    if (file[at] == '#' || file.compare(at, 12, "trialNumber\t") == 0) continue;
    std::istringstream line(file.substr(at, end - at));
    rows.emplace_back();
    for (std::string field; std::getline(line, field, '\t');) rows.back().push_back(field);
  }
  return rows;
}

// A whole experiment on virtual time: the real cores with recording doubles for the forms,
// the sound, the files and the screen. Tests script the subject by reacting to OnShowDisplay.
class RunHarness {
 public:
  // labelMetrics sizes the number labels (by default a fixed-width fake); generator, if
  // given, draws instead of pcg.
  explicit RunHarness(std::uint64_t seed = 1, std::uint64_t startMicros = 1'000'000,
                      const LabelMetrics* labelMetrics = nullptr, Generator* generator = nullptr)
      : time(startMicros),
        pcg(seed),
        sound(time),
        lifecycle(&time),
        x(Services{time, time, dialogs, files, sound, generator != nullptr ? *generator : pcg,
                   windows, lifecycle},
          labelMetrics != nullptr ? *labelMetrics : metrics, "/prog"),
        blankeView(*this),
        displayView(*this) {
    files.folders.insert({"/lab/Res_Data", "/prog"});
    sound.onsetDelayMicros = kSoundLatencyMicros;
    x.blanke.SetView(&blankeView);
    x.display.SetView(&displayView);
    x.rest.SetForm(&restForm);
  }

  // Frames through a display refreshing every periodMs (a test without it has no presenter):
  // the experiment screen's frame goes to the presenter, which reports its onset.
  void UsePresenter(int periodMs) {
    presenter = std::make_unique<FakePresenter>(time, periodMs);
    x.display.SetPresenter(presenter.get());
    x.frameWaits.SetPresenter(presenter.get(), &time);
  }

  // Loads the experiment screen for a subject and starts the first pause, as the launch does.
  void Launch(std::int16_t subjectId, std::int16_t orderCondition) {
    x.state.subjectId = subjectId;
    x.state.orderCondition = orderCondition;
    x.display.Form_Resize(15360, 11520);
    x.display.Form_Load();
    x.blanke.ShowBlankeCross(1000, 1000, 500, x.display);
  }

  // Presses a key on the screen in front after ms milliseconds.
  void PressLater(int ms, int keyAscii) {
    time.After(ms, [this, keyAscii] { Press(keyAscii); });
  }
  // A key goes to the screen in front: the experiment screen, the rest screen or the blank one.
  void Press(int keyAscii) {
    if (front == Front::kDisplay)
      x.display.Form_KeyPress(keyAscii);
    else if (front == Front::kRest)
      x.rest.Form_KeyPress(keyAscii);
    else
      x.blanke.Form_KeyPress(keyAscii);
  }

  std::string Results() const {
    const auto it =
        files.files.find("/lab/Res_Data/R-" + std::to_string(x.state.subjectId) + ".txt");
    return it == files.files.end() ? std::string() : it->second;
  }

  std::uint64_t NowMs() const { return time.Micros() / 1000; }

  enum class Front { kNone, kBlanke, kDisplay, kRest };
  // The frames the doubles queue with a presenter, as FakePresenter::shown records them.
  static constexpr std::uint64_t kFieldFrame = 1, kBlankFrame = 2, kCrossFrame = 3, kRestFrame = 4;
  // How long after it is asked for a sound reaches the output.
  static constexpr std::uint64_t kSoundLatencyMicros = 4500;

  VirtualTime time;
  Pcg32 pcg;
  ScriptedDialogs dialogs;
  MemoryFileSystem files;
  FakeSoundPlayer sound;
  FakeWindows windows;
  FakeLifecycle lifecycle;
  FakeLabelMetrics metrics;
  Experiment x;
  std::unique_ptr<FakePresenter> presenter;
  Front front = Front::kNone;

  // Events seen by the doubles, in virtual milliseconds.
  std::vector<std::uint64_t> displayShownAt, restShownAt, blankeShownAt;
  std::vector<std::pair<std::uint64_t, bool>> crossChanges;
  std::function<void()> onShowDisplay, onFieldChanged, onShowRest;  // the scripted subject
  std::function<void()> onShowBlanke;

 private:
  void Frame(std::uint64_t frame) {
    if (presenter) presenter->Queue(frame, 0, {});
  }
  struct BlankeViewDouble final : BlankeView {
    explicit BlankeViewDouble(RunHarness& h) : h_(h) {}
    void ShowBlankeForm() override {
      h_.front = Front::kBlanke;
      h_.blankeShownAt.push_back(h_.NowMs());
      h_.Frame(kBlankFrame);
      if (h_.onShowBlanke) h_.onShowBlanke();
    }
    void SetCrossVisible(bool visible) override {
      h_.crossChanges.emplace_back(h_.NowMs(), visible);
      h_.Frame(visible ? kCrossFrame : kBlankFrame);
    }
    RunHarness& h_;
  };
  struct DisplayViewDouble final : DisplayView {
    explicit DisplayViewDouble(RunHarness& h) : h_(h) {}
    void ShowDisplay() override {
      h_.front = Front::kDisplay;
      h_.displayShownAt.push_back(h_.NowMs());
      if (h_.presenter)
        h_.presenter->Queue(kFieldFrame, 0, [this](Refresh at) { h_.x.display.FieldShown(at); });
      if (h_.onShowDisplay) h_.onShowDisplay();
    }
    void HideDisplay() override {
      if (h_.front == Front::kDisplay) h_.front = Front::kNone;
      h_.Frame(kBlankFrame);
    }
    void FieldChanged() override {
      if (h_.front == Front::kDisplay && h_.presenter)
        h_.presenter->Queue(kFieldFrame, 0, [this](Refresh at) { h_.x.display.FieldShown(at); });
      if (h_.onFieldChanged) h_.onFieldChanged();
    }
    RunHarness& h_;
  };
  struct RestFormDouble final : Form {
    explicit RestFormDouble(RunHarness& h) : h_(h) {}
    void Load() override {}
    void Show() override {
      h_.front = Front::kRest;
      h_.restShownAt.push_back(h_.NowMs());
      h_.Frame(kRestFrame);
      if (h_.onShowRest) h_.onShowRest();
    }
    void SetVisible(bool) override {}
    bool Visible() const override { return h_.front == Front::kRest; }
    RunHarness& h_;
  };

 public:
  BlankeViewDouble blankeView;
  DisplayViewDouble displayView;
  RestFormDouble restForm{*this};
};

}  // namespace cue::testing
