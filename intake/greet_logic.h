#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "engine/experiment_state.h"
#include "intake/entry_rules.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/lifecycle.h"
#include "platform/window_system.h"
#include "screens/form.h"

namespace cue {

// The screens built elsewhere that the start-up screen hands over to, and the two operations
// of Blanke it uses. Every member must be set before the start-up screen loads.
struct LaunchTargets {
  Form* display = nullptr;  // its load prepares the subject's results file inside Res_Data
  Form* rest = nullptr;
  Form* blanke = nullptr;             // loaded, hidden, by the start-up screen's load
  Startable* displayStart = nullptr;  // Display.Start: runs a trial
  // Blanke.ShowBlankeCross(hideCrossTime1, showCrossTime, hideCrossTime2, myForm), times in
  // ms: blank screen, fixation cross, blank screen, then myForm.Start().
  std::function<void(std::int16_t, std::int16_t, std::int16_t, Startable&)> showBlankeCross;
  // Asks to unload Blanke, whose unload query asks the quit question: Yes ends the program
  // and does not return; No returns and everything goes on.
  std::function<void()> unloadBlanke;
};

// What the start-up screen works with. The references must outlive it.
struct GreetContext {
  ExperimentState& state;
  Dialogs& dialogs;
  FileSystem& files;
  WindowSystem& windows;
  Lifecycle& lifecycle;
  LaunchTargets screens;
};

// The start-up screen's event handlers, without the toolkit: the key filters, the validations,
// the Esc key and the launch. The Qt form turns its events into these calls and passes the
// boxes' texts; it decides nothing itself.
//
// Key codes are the toolkit's character codes (UTF-16 units, 0 to 65535), so they are ints
// rather than the 16-bit KeyAscii; setting one to 0 drops the character.
class GreetLogic {
 public:
  explicit GreetLogic(GreetContext context) : c_(std::move(context)) {}

  // The part of Form_Load outside the form: loads Blanke without showing it, so that Esc can
  // reach its quit question.
  void Form_Load();
  // The window's key handler, run before the focused box's filter. Esc asks to unload Blanke
  // and, when the quit is declined, leaves the key to the box's filter.
  void Form_KeyPress(int keyAscii);

  // The filters: each returns the code the box gets, 0 for a refused one, whose message is
  // shown before the call returns.
  int Text1_KeyPress(int keyAscii) { return Filter(Box::kSubjectId, keyAscii); }
  int Text2_KeyPress(int keyAscii) { return Filter(Box::kInitials, keyAscii); }
  int Text3_KeyPress(int keyAscii) { return Filter(Box::kOrderCondition, keyAscii); }

  // The validations, run when the focus is about to leave a box; cancel keeps it there.
  // Text1_Validate sets subjectId from the text before it tests anything. Besides refusing
  // an empty box and a registered ID, it refuses while the registry cannot be checked (an
  // unreadable file, a line it cannot read), so no registered ID ever passes unseen.
  void Text1_Validate(std::string_view text, bool& cancel);
  void Text2_Validate(std::string_view text, bool& cancel);
  void Text3_Validate(std::string_view text, bool& cancel);

  // The Start button: RegisterAndLaunch with the current texts of Text2 and Text3.
  void Command1_Click(std::string_view initials, std::string_view orderCondition) {
    RegisterAndLaunch(initials, orderCondition);
  }

 private:
  int Filter(Box box, int keyAscii);
  // IsNewSubject for subjectId; anything but "new" is reported. True when new.
  bool CheckNewSubject();
  // Registers the subject and starts the experiment, in this order: orderCondition from the
  // text; the registry line appended; Res_Data made; the pointer parked; Display, Rest and
  // Blanke loaded and shown; ShowBlankeCross(1000, 1000, 500, Display). A failure to write the
  // registry or to make the folder is reported and ends the program, before the next step.
  // It runs once per run: the launch returns as soon as the first pause is scheduled, so a
  // second press of Start (a double click, a click queued before the experiment screens came
  // up) would register the subject again and start a second chain of trials. Later presses
  // do nothing. Two runs never share a subject: the check and the line are made again under
  // the registry's lock, and the run then holds its subject's lock until it ends.
  void RegisterAndLaunch(std::string_view initials, std::string_view orderCondition);
  void Stop(Message report);

  GreetContext c_;
  bool launched_ = false;
  std::unique_ptr<FileLock> runLock_;
};

}  // namespace cue
