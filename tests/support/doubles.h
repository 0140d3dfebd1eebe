#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/experiment_state.h"
#include "intake/greet_logic.h"
#include "platform/lifecycle.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "stimulus/field.h"
#include "support/memory_files.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue::testing {

// What the doubles were asked to do, in order.
using EventLog = std::vector<std::string>;

// A 1024 x 768 screen at 15 twips per pixel; records where the pointer was sent, in log too.
class FakeWindows final : public WindowSystem {
 public:
  explicit FakeWindows(EventLog* log = nullptr) : log_(log) {}
  float ScreenWidthTwips() const override { return width; }
  float ScreenHeightTwips() const override { return height; }
  void SetCursorPos(int x, int y) override {
    cursor.emplace_back(x, y);
    if (log_ != nullptr)
      log_->push_back("SetCursorPos " + std::to_string(x) + " " + std::to_string(y));
  }
  std::vector<std::pair<int, int>> cursor;
  float width = 15360, height = 11520;  // 1024 x 768 pixels
  EventLog* log_;
};

// Counts (and logs) the ends of the program; given virtual time, stops it: nothing scheduled
// runs afterwards.
class FakeLifecycle final : public Lifecycle {
 public:
  explicit FakeLifecycle(VirtualTime* time = nullptr, EventLog* log = nullptr)
      : time_(time), log_(log) {}
  void EndProgram() override {
    ++ended;
    if (log_ != nullptr) log_->push_back("EndProgram");
    if (time_ != nullptr) time_->CancelAll();
  }
  int ended = 0;
  VirtualTime* time_;
  EventLog* log_;
};

// Labels 255 twips wide per character and 435 twips high, about an 18 pt bold digit.
class FakeLabelMetrics final : public LabelMetrics {
 public:
  std::pair<float, float> SizeOf(const std::string& caption) const override {
    return {255.0F * static_cast<float>(caption.size()), 435.0F};
  }
};

// A form that logs what is done to it: "Rest.Load", "Rest.Show", "Rest.Visible", "Rest.Hidden".
class RecordingForm final : public Form {
 public:
  RecordingForm(std::string name, EventLog& log) : name_(std::move(name)), log_(log) {}
  void Load() override { log_.push_back(name_ + ".Load"); }
  void Show() override { log_.push_back(name_ + ".Show"); }
  void SetVisible(bool v) override {
    visible_ = v;
    log_.push_back(name_ + (v ? ".Visible" : ".Hidden"));
  }
  bool Visible() const override { return visible_; }
  std::string name_;
  EventLog& log_;
  bool visible_ = false;
};

// Everything the start-up screen works with, logging into one log: the screens it hands over
// to, the pointer, the end of the program, the message boxes and, on the in-memory file
// system (or the one given), every append and folder made.
struct IntakeDoubles final : Startable {
  explicit IntakeDoubles(FileSystem* disk = nullptr) : files(disk ? *disk : memory) {
    dialogs.onShow = [this](const Message& m) { log.push_back("Message " + m.text); };
  }
  void Start() override {}  // the experiment screen's trial: only the pause before it is logged

  GreetContext Context() {
    LaunchTargets screens{&display, &rest, &blanke, this, {}, {}};
    screens.showBlankeCross = [this](std::int16_t hide1, std::int16_t show, std::int16_t hide2,
                                     Startable& form) {
      log.push_back("ShowBlankeCross " + std::to_string(hide1) + " " + std::to_string(show) + " " +
                    std::to_string(hide2) + (&form == this ? " Display" : " ?"));
    };
    screens.unloadBlanke = [this] { log.push_back("Unload Blanke"); };
    return GreetContext{state, dialogs, files, windows, lifecycle, std::move(screens)};
  }

  EventLog log;
  MemoryFileSystem memory{&log};
  FileSystem& files;
  ExperimentState state;
  ScriptedDialogs dialogs;
  FakeWindows windows{&log};
  FakeLifecycle lifecycle{nullptr, &log};
  RecordingForm display{"Display", log}, rest{"Rest", log}, blanke{"Blanke", log};
};

}  // namespace cue::testing
