#pragma once

class QKeyEvent;

namespace cue {

// The character code a key press types, as the key handlers receive it (8 backspace, 9 tab,
// 13 enter, 27 escape, 96 grave accent, ...), or -1 for keys that type nothing (arrows,
// Delete, function keys), which never reach the key handlers.
int KeyAscii(const QKeyEvent* event);

}  // namespace cue
