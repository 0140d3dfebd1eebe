#pragma once

#include <string>

namespace cue {

// The application's title: the caption of message boxes that have none of their own.
inline constexpr const char* kAppTitle = "cuesearch";

enum class Buttons { kOk, kYesNo };
enum class Icon { kNone, kQuestion, kExclamation };
enum class Answer { kOk, kYes, kNo };

struct Message {
  std::string text;  // may hold CR (code 13) as a line break
  std::string title = kAppTitle;
  Buttons buttons = Buttons::kOk;
  Icon icon = Icon::kNone;
  // Answered only by a click or by Enter on its button: a subject's keys (space, "m", "n",
  // Esc) do not close it, so a warning meant for the experimenter stays until read.
  bool keyProof = false;
};

// Modal message boxes. Show() returns when the user has answered.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual Answer Show(const Message& message) = 0;
};

}  // namespace cue
