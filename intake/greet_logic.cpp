#include "intake/greet_logic.h"

#include <variant>

#include "intake/registry.h"
#include "labfolder/layout.h"
#include "screens/layout.h"

namespace cue {

namespace {

// Reports of the errors that end the program. The title is the application's, as for every
// error the system does not expect.
Message RegistryNotWritten(const FileError& error) {
  return Message{FileErrorText("The subject could not be added to the registry " + error.path + ".",
                               error, "The registry is unchanged. The program ends."),
                 kAppTitle, Buttons::kOk, Icon::kExclamation};
}

Message ResultsFolderNotMade(const FileError& error, std::int16_t subjectId) {
  return Message{FileErrorText("The results folder " + error.path + " could not be created.", error,
                               "Subject " + std::to_string(subjectId) +
                                   " is already in the registry. The program ends."),
                 kAppTitle, Buttons::kOk, Icon::kExclamation};
}

// Held by another start (FileFailure::kInUse), or not to be taken at all: a lock file this
// account may not write, or something in its place.
Message RegistryLocked(const FileError& error) {
  if (error.cause != FileFailure::kInUse) {
    return Message{
        FileErrorText("The subject registry's lock " + error.path + " cannot be taken.", error,
                      "Nothing was registered. The program cannot register subjects in this "
                      "lab folder until the lock file can be written."),
        kAppTitle, Buttons::kOk, Icon::kExclamation};
  }
  return Message{FileErrorText("The subject registry is in use: its lock " + error.path +
                                   " is held by another start of the program.",
                               error, "Nothing was registered. Press Start again in a moment."),
                 kAppTitle, Buttons::kOk, Icon::kExclamation};
}

Message SubjectRunning(const FileError& error, std::int16_t subjectId) {
  if (error.cause != FileFailure::kInUse) {
    return Message{FileErrorText("The lock of subject " + std::to_string(subjectId) +
                                     "'s results, " + error.path + ", cannot be taken.",
                                 error, "No results are written without it. The program ends."),
                   kAppTitle, Buttons::kOk, Icon::kExclamation};
  }
  return Message{
      FileErrorText("Subject " + std::to_string(subjectId) +
                        " is being run by another program: its lock " + error.path + " is held.",
                    error, "That run's results file is left untouched. The program ends."),
      kAppTitle, Buttons::kOk, Icon::kExclamation};
}

}  // namespace

void GreetLogic::Form_Load() { c_.screens.blanke->Load(); }

void GreetLogic::Form_KeyPress(int keyAscii) {
  if (keyAscii == 27) c_.screens.unloadBlanke();
}

int GreetLogic::Filter(Box box, int keyAscii) {
  if (Allowed(box, keyAscii)) return keyAscii;
  c_.dialogs.Show(RefusedCharacter(box));
  return 0;
}

void GreetLogic::Text1_Validate(std::string_view text, bool& cancel) {
  c_.state.subjectId = ReadNumber16(text);
  if (text.empty()) {
    cancel = true;
    c_.dialogs.Show(EmptySubjectId());
    return;
  }
  cancel = !CheckNewSubject();
}

bool GreetLogic::CheckNewSubject() {
  const SubjectCheck check = IsNewSubject(c_.files, c_.state.subjectId);
  switch (check.result) {
    case SubjectCheck::Result::kNew:
      return true;
    case SubjectCheck::Result::kRegistered:
      c_.dialogs.Show(SubjectExists(c_.state.subjectId, c_.files.CurrentDirectory()));
      return false;
    case SubjectCheck::Result::kUnreadable:
      c_.dialogs.Show(UnreadableRegistry(check.error));
      return false;
    case SubjectCheck::Result::kMalformed:
      c_.dialogs.Show(MalformedRegistry(check, RegistryPath(c_.files)));
      return false;
  }
  return false;
}

void GreetLogic::Text2_Validate(std::string_view text, bool& cancel) {
  if (text.size() >= 2) return;
  cancel = true;
  c_.dialogs.Show(ShortInitials());
}

void GreetLogic::Text3_Validate(std::string_view text, bool& cancel) {
  if (!text.empty()) return;
  cancel = true;
  c_.dialogs.Show(EmptyOrderCondition());
}

void GreetLogic::RegisterAndLaunch(std::string_view initials, std::string_view orderCondition) {
  if (launched_) return;
  launched_ = true;
  ExperimentState& state = c_.state;
  // The check that the ID is new and the line that registers it are made under the
  // registry's lock, so two programs started at once in one lab folder (on one machine or on
  // two sharing it) cannot both register the same subject. Refused, nothing has changed and
  // Start can be pressed again.
  auto registryLock = c_.files.Lock(RegistryLockPath(c_.files));
  if (auto* error = std::get_if<FileError>(&registryLock)) {
    launched_ = false;
    c_.dialogs.Show(RegistryLocked(*error));
    return;
  }
  if (!CheckNewSubject()) {
    launched_ = false;
    return;
  }
  state.orderCondition = ReadNumber16(orderCondition);
  const std::string line = RegistryLine(state.subjectId, initials, state.orderCondition);
  if (auto error = AppendRegistryLine(c_.files, RegistryPath(c_.files), line)) {
    return Stop(RegistryNotWritten(*error));
  }
  if (auto error = MakeFolder(c_.files, ResultsFolderPath(c_.files))) {
    return Stop(ResultsFolderNotMade(*error, state.subjectId));
  }
  // Held until the program ends: no other run writes this subject's results meanwhile.
  auto runLock = c_.files.Lock(RunLockPath(ResultsFileName(c_.files, state.subjectId)));
  if (auto* error = std::get_if<FileError>(&runLock))
    return Stop(SubjectRunning(*error, state.subjectId));
  runLock_ = std::move(std::get<std::unique_ptr<FileLock>>(runLock));
  std::get<std::unique_ptr<FileLock>>(registryLock).reset();  // others may register now
  ParkCursor(c_.windows);
  Form* const forms[] = {c_.screens.display, c_.screens.rest, c_.screens.blanke};
  LoadAndShowForms(forms);
  c_.screens.showBlankeCross(std::int16_t{kPauseBlank1}, std::int16_t{kPauseCross},
                             std::int16_t{kPauseBlank2}, *c_.screens.displayStart);
}

void GreetLogic::Stop(Message report) {
  c_.dialogs.Show(report);
  c_.lifecycle.EndProgram();
}

}  // namespace cue
