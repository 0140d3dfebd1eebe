#include "platform/qt/qt_window_system.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace cue {

Twips ScreenTwips() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return Twips(screen != nullptr ? screen->logicalDotsPerInch() : 96.0);
}

float QtWindowSystem::ScreenWidthTwips() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? ScreenTwips().FromPixels(screen->geometry().width()) : 0.0F;
}

float QtWindowSystem::ScreenHeightTwips() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? ScreenTwips().FromPixels(screen->geometry().height()) : 0.0F;
}

void QtWindowSystem::SetCursorPos(int x, int y) {
  // Qt passes the point on to the window system, which keeps the pointer on the screen; the
  // clamp here does the same where the platform would not (the offscreen platform).
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->geometry();
    x = std::clamp(x, area.left(), area.right());
    y = std::clamp(y, area.top(), area.bottom());
  }
  QCursor::setPos(x, y);
}

}  // namespace cue
