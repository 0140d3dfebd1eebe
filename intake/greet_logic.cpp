#include "intake/greet_logic.h"

#include "intake/registry.h"
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

}  // namespace

void GreetLogic::Form_Load() { c_.screens.blanke->Load(); }

void GreetLogic::Form_KeyPress(int& keyAscii) {
  if (keyAscii == 27) c_.screens.unloadBlanke();
}

void GreetLogic::Filter(Box box, int& keyAscii) {
  if (Allowed(box, keyAscii)) return;
  keyAscii = 0;
  c_.dialogs.Show(RefusedCharacter(box));
}

void GreetLogic::Text1_Validate(std::string_view text, bool& cancel) {
  c_.state.subjectId = ReadNumber16(text);
  if (text.empty()) {
    cancel = true;
    c_.dialogs.Show(EmptySubjectId());
    return;
  }
  const SubjectCheck check = IsNewSubject(c_.files, c_.state.subjectId);
  switch (check.result) {
    case SubjectCheck::Result::kNew:
      return;
    case SubjectCheck::Result::kRegistered:
      cancel = true;
      c_.dialogs.Show(SubjectExists(c_.state.subjectId, c_.files.CurrentDirectory()));
      return;
    case SubjectCheck::Result::kUnreadable:
      cancel = true;
      c_.dialogs.Show(UnreadableRegistry(check.error));
      return;
    case SubjectCheck::Result::kMalformed:
      cancel = true;
      c_.dialogs.Show(MalformedRegistry(check, RegistryPath(c_.files)));
      return;
  }
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
  state.orderCondition = ReadNumber16(orderCondition);
  const std::string line = RegistryLine(state.subjectId, initials, state.orderCondition);
  if (auto error = AppendRegistryLine(c_.files, RegistryPath(c_.files), line)) {
    return Stop(RegistryNotWritten(*error));
  }
  if (auto error = MakeFolder(c_.files, ResultsFolderPath(c_.files))) {
    return Stop(ResultsFolderNotMade(*error, state.subjectId));
  }
  ParkCursor(c_.windows);
  Form* const forms[] = {c_.screens.display, c_.screens.rest, c_.screens.blanke};
  LoadAndShowForms(forms);
  c_.screens.showBlankeCross(std::int16_t{PAUSE_BLANK_1}, std::int16_t{PAUSE_CROSS},
                             std::int16_t{PAUSE_BLANK_2}, *c_.screens.displayStart);
}

void GreetLogic::Stop(Message report) {
  c_.dialogs.Show(report);
  c_.lifecycle.EndProgram();
}

}  // namespace cue
