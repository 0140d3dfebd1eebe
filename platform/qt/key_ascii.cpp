#include "platform/qt/key_ascii.h"

#include <QKeyEvent>

namespace cue {

int KeyAscii(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Delete:
      return -1;
    default:
      break;
  }
  // Ctrl with a letter types its control code (Ctrl+C 3, Ctrl+V 22, Ctrl+Z 26), as in X11's
  // key text. Some sources of key events (offscreen, synthesised keys) give the plain letter
  // or nothing instead, which would let Ctrl+V through a filter as "v" and on to a paste.
  const Qt::KeyboardModifiers mods = event->modifiers();
  if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && event->key() >= Qt::Key_A &&
      event->key() <= Qt::Key_Z) {
    return event->key() - Qt::Key_A + 1;
  }
  const QString text = event->text();
  if (text.isEmpty()) return -1;
  const char16_t c = text.at(0).unicode();
  return c == 127 ? -1 : static_cast<int>(c);
}

}  // namespace cue
