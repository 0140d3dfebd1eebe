#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace cue {

// The three entry boxes of the start-up screen.
enum class Box {
  kSubjectId,       // Text1
  kInitials,        // Text2
  kOrderCondition,  // Text3
};

// How many characters a box holds.
int MaxLength(Box box);

// Whether the box's key filter lets a typed character code through. Backspace (8) passes every
// filter; any code outside a box's table is refused, whatever its size (the toolkit's codes are
// UTF-16 units, 0 to 65535, so this takes an int rather than the 16-bit KeyAscii).
bool Allowed(Box box, int keyAscii);

// The message a box's filter shows for a refused character: title "ERROR", OK, exclamation.
Message RefusedCharacter(Box box);

// A box's text read as a decimal number, as a 16-bit signed integer: leading digits only,
// an empty text (or one without leading digits) reads as 0. The boxes hold at most three
// digits; longer texts are outside the contract and saturate at 32767 rather than wrap.
std::int16_t ReadNumber16(std::string_view text);

// The messages of the validations that keep the focus in a box.
Message EmptySubjectId();       // "Please insert subject id!", no icon
Message ShortInitials();        // "Please insert subject initials!", no icon
Message EmptyOrderCondition();  // "Please insert Order Condition!", no icon

// The two-line refusal of a registered ID; the line break is a lone CR (code 13).
// currentFolder is the process's current folder without a trailing separator.
Message SubjectExists(std::int16_t subjectId, const std::string& currentFolder);

}  // namespace cue
