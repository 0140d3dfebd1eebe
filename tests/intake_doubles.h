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

// Files and folders in memory, with errors injected per path. A failed append leaves the
// file as it was, as the disk layer promises.
class MemoryFileSystem final : public FileSystem {
 public:
  explicit MemoryFileSystem(EventLog& log, std::string currentFolder = "/lab")
      : log_(log), currentFolder_(std::move(currentFolder)) {
    folders.insert(currentFolder_);
  }

  std::string CurrentDirectory() const override { return currentFolder_; }

  std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(
      const std::string& path) override {
    if (auto it = openErrors.find(path); it != openErrors.end()) return it->second;
    std::optional<FileError> closeError;
    if (auto it = closeErrors.find(path); it != closeErrors.end()) closeError = it->second;
    return std::unique_ptr<AppendFile>(std::make_unique<Append>(*this, path, closeError));
  }

  std::variant<std::string, FileError> ReadAll(const std::string& path) const override {
    if (auto it = readErrors.find(path); it != readErrors.end()) return it->second;
    if (folders.contains(path)) return FileError{err::kPathFileAccess, "Is a directory", path};
    if (auto it = files.find(path); it != files.end()) return it->second;
    return FileError{err::kFileNotFound, "No such file or directory", path};
  }

  std::optional<FileError> MakeDirectory(const std::string& path) override {
    log_.push_back("MakeDirectory " + path);
    if (auto it = makeErrors.find(path); it != makeErrors.end()) return it->second;
    if (folders.contains(path) || files.contains(path)) {
      return FileError{err::kPathFileAccess, "File exists", path};
    }
    folders.insert(path);
    return std::nullopt;
  }

  bool IsDirectory(const std::string& path) const override { return folders.contains(path); }

  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::map<std::string, FileError> readErrors;
  std::map<std::string, FileError> openErrors;
  std::map<std::string, FileError> closeErrors;
  std::map<std::string, FileError> makeErrors;

 private:
  class Append final : public AppendFile {
   public:
    Append(MemoryFileSystem& fs, std::string path, std::optional<FileError> error)
        : fs_(fs), path_(std::move(path)), error_(std::move(error)) {}
    void Write(std::string_view text) override { pending_ += text; }
    std::optional<FileError> Close() override {
      if (error_) return error_;
      fs_.files[path_] += pending_;
      fs_.log_.push_back("Append " + path_);
      return std::nullopt;
    }

   private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::optional<FileError> error_;
    std::string pending_;
  };

  EventLog& log_;
  std::string currentFolder_;
};

// Recording doubles of everything the start-up screen works with, and its context.
struct IntakeDoubles {
  explicit IntakeDoubles(FileSystem& files) : files(files) {
    dialogs.onShow = [this](const Message& m) { log.push_back("Message " + m.text); };
  }

  GreetContext Context() {
    ExperimentScreens screens;
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
