#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/experiment_state.h"
#include "intake/greet_logic.h"
#include "support/memory_files.h"
#include "support/scripted.h"

namespace cue::testing {

// One log of what the doubles were asked to do, in order.
using EventLog = std::vector<std::string>;

// Doubles of everything the start-up screen works with, recording into one log: the screens
// it hands over to, the pointer (a 1024 x 768 screen at 15 twips per pixel), the end of the
// program, the message boxes and, on the in-memory file system, every append and folder made.
// Given a file system, it works on that one instead.
struct IntakeDoubles final : WindowSystem, Lifecycle, Startable {
  struct Screen final : Form {
    Screen(std::string name, EventLog& log) : name(std::move(name)), log(log) {}
    void Load() override { log.push_back(name + ".Load"); }
    void Show() override { log.push_back(name + ".Show"); }
    void SetVisible(bool v) override {
      visible = v;
      log.push_back(name + (v ? ".Visible" : ".Hidden"));
    }
    bool Visible() const override { return visible; }
    std::string name;
    EventLog& log;
    bool visible = false;
  };

  explicit IntakeDoubles(FileSystem* disk = nullptr) : files(disk ? *disk : memory) {
    dialogs.onShow = [this](const Message& m) { log.push_back("Message " + m.text); };
  }
  float ScreenWidthTwips() const override { return 15360; }
  float ScreenHeightTwips() const override { return 11520; }
  void SetCursorPos(int x, int y) override {
    log.push_back("SetCursorPos " + std::to_string(x) + " " + std::to_string(y));
  }
  void EndProgram() override { log.push_back("EndProgram"); }
  void Start() override {}  // Display.Start: the recorded ShowBlankeCross never calls it

  GreetContext Context() {
    LaunchTargets screens{&display, &rest, &blanke, this, {}, {}};
    screens.showBlankeCross = [this](std::int16_t hide1, std::int16_t show, std::int16_t hide2,
                                     Startable& form) {
      log.push_back("ShowBlankeCross " + std::to_string(hide1) + " " + std::to_string(show) + " " +
                    std::to_string(hide2) + (&form == this ? " Display" : " ?"));
    };
    screens.unloadBlanke = [this] { log.push_back("Unload Blanke"); };
    return GreetContext{state, dialogs, files, *this, *this, std::move(screens)};
  }

  EventLog log;
  MemoryFileSystem memory{&log};
  FileSystem& files;
  ExperimentState state;
  ScriptedDialogs dialogs;
  Screen display{"Display", log};
  Screen rest{"Rest", log};
  Screen blanke{"Blanke", log};
};

}  // namespace cue::testing
