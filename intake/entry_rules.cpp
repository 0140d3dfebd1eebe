#include "intake/entry_rules.h"

#include "platform/files.h"

namespace cue {

namespace {

constexpr const char* kErrorTitle = "ERROR";

Message Refusal(std::string text, Icon icon) {
  return Message{std::move(text), kErrorTitle, Buttons::kOk, icon};
}

}  // namespace

int MaxLength(Box box) { return box == Box::kOrderCondition ? 1 : 3; }

bool Allowed(Box box, int keyAscii) {
  if (keyAscii == 8) return true;
  switch (box) {
    case Box::kSubjectId:
      return keyAscii >= '0' && keyAscii <= '9';
    case Box::kInitials:
      return (keyAscii >= 'A' && keyAscii <= 'Z') || (keyAscii >= 'a' && keyAscii <= 'z');
    case Box::kOrderCondition:
      return keyAscii >= '1' && keyAscii <= '3';
  }
  return false;
}

Message RefusedCharacter(Box box) {
  switch (box) {
    case Box::kSubjectId:
      return Refusal("Please enter numbers only!", Icon::kExclamation);
    case Box::kInitials:
      return Refusal("Please enter letters only!", Icon::kExclamation);
    case Box::kOrderCondition:
      break;
  }
  return Refusal("Please enter numbers 1 to 3 only!", Icon::kExclamation);
}

std::int16_t ReadNumber16(std::string_view text) {
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT16_MAX) return INT16_MAX;
  }
  return static_cast<std::int16_t>(value);
}

Message EmptySubjectId() { return Refusal("Please insert subject id!", Icon::kNone); }
Message ShortInitials() { return Refusal("Please insert subject initials!", Icon::kNone); }
Message EmptyOrderCondition() { return Refusal("Please insert Order Condition!", Icon::kNone); }

Message SubjectExists(std::int16_t subjectId, const std::string& currentFolder) {
  std::string text = "Sorry subject " + std::to_string(subjectId) + " allready exsists.";
  text += '\r';
  text += "Look in " + currentFolder + PathSeparator() + "CurrentSubjects" +
          " to see current subjects.";
  return Refusal(std::move(text), Icon::kExclamation);
}

}  // namespace cue
