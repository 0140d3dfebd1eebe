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
  const QString text = event->text();
  if (text.isEmpty()) return -1;
  const char16_t c = text.at(0).unicode();
  return c == 127 ? -1 : static_cast<int>(c);
}

}  // namespace cue
