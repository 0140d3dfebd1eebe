#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/experiment_state.h"
#include "intake/greet_logic.h"
#include "platform/files.h"
#include "platform/lifecycle.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "support/memory_files.h"
#include "support/scripted.h"

namespace cue::testing {

// One log of what the doubles were asked to do, in order.
using EventLog = std::vector<std::string>;

class RecordingForm final : public Form {
 public:
  RecordingForm(std::string name, EventLog& log) : name_(std::move(name)), log_(log) {}
  void Load() override { log_.push_back(name_ + ".Load"); }
  void Show() override { log_.push_back(name_ + ".Show"); }
  void SetVisible(bool visible) override {
    visible_ = visible;
    log_.push_back(name_ + (visible ? ".Visible" : ".Hidden"));
  }
  bool Visible() const override { return visible_; }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  EventLog& log_;
  bool visible_ = false;
};

class RecordingStartable final : public Startable {
 public:
  explicit RecordingStartable(EventLog& log) : log_(log) {}
  void Start() override { log_.push_back("Display.Start"); }

 private:
  EventLog& log_;
};

// A 1024 x 768 pixel screen at 15 twips per pixel.
class RecordingWindows final : public WindowSystem {
 public:
  explicit RecordingWindows(EventLog& log) : log_(log) {}
  float ScreenWidthTwips() const override { return 15360; }
  float ScreenHeightTwips() const override { return 11520; }
  void SetCursorPos(int x, int y) override {
    log_.push_back("SetCursorPos " + std::to_string(x) + " " + std::to_string(y));
  }

 private:
  EventLog& log_;
};

class RecordingLifecycle final : public Lifecycle {
 public:
  explicit RecordingLifecycle(EventLog& log) : log_(log) {}
  void EndProgram() override { log_.push_back("EndProgram"); }

 private:
  EventLog& log_;
};

// Recording doubles of everything the start-up screen works with, and its context.
struct IntakeDoubles {
  explicit IntakeDoubles(FileSystem& files) : files(files) {
    dialogs.onShow = [this](const Message& m) { log.push_back("Message " + m.text); };
  }

  GreetContext Context() {
    LaunchTargets screens;
    screens.display = &display;
    screens.rest = &rest;
    screens.blanke = &blanke;
    screens.displayStart = &displayStart;
    screens.showBlankeCross = [this](std::int16_t hide1, std::int16_t show, std::int16_t hide2,
                                     Startable& form) {
      log.push_back("ShowBlankeCross " + std::to_string(hide1) + " " + std::to_string(show) + " " +
                    std::to_string(hide2) + (&form == &displayStart ? " Display" : " ?"));
    };
    screens.unloadBlanke = [this] { log.push_back("Unload Blanke"); };
    return GreetContext{state, dialogs, files, windows, lifecycle, std::move(screens)};
  }

  EventLog log;
  ExperimentState state;
  ScriptedDialogs dialogs;
  FileSystem& files;
  RecordingWindows windows{log};
  RecordingLifecycle lifecycle{log};
  RecordingForm display{"Display", log};
  RecordingForm rest{"Rest", log};
  RecordingForm blanke{"Blanke", log};
  RecordingStartable displayStart{log};
};

}  // namespace cue::testing
