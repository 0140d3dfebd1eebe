#include "screens/qt/frame_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <algorithm>

#include "platform/clock.h"

namespace cue {

FrameWindow::FrameWindow(X11Presenter& presenter, X11KeyArrivals& keys)
    : ExperimentScreen("Experiment"), presenter_(presenter), keys_(keys) {
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
  presenter_.SetFrameSender([this] { return Send(); });
}

void FrameWindow::Raise(ExperimentScreen* page) {
  std::erase(stack_, page);
  stack_.push_back(page);
  const bool first = !isVisible();
  Show();
  if (first) {
    presenter_.Attach(static_cast<std::uint32_t>(winId()));
    keys_.Watch(static_cast<std::uint32_t>(winId()));
  }
  Due();
}

void FrameWindow::Remove(ExperimentScreen* page) {
  const bool wasTop = !stack_.empty() && stack_.back() == page;
  std::erase(stack_, page);
  if (wasTop) Due();
}

void FrameWindow::Changed(ExperimentScreen* page) {
  if (!stack_.empty() && stack_.back() == page) Due();
}

bool FrameWindow::Contains(const ExperimentScreen* page) const {
  return std::find(stack_.begin(), stack_.end(), page) != stack_.end();
}

void FrameWindow::Due() {
  due_ = true;
  if (posted_) return;
  posted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        posted_ = false;
        Send();
      },
      Qt::QueuedConnection);
}

// Drawn only where the screen changes, and sent for the refresh a wait named (or the next);
// the page on top learns when it appeared. A frame with nothing changed is still sent, so
// that a screen shown again has an onset.
std::uint64_t FrameWindow::Send() {
  if (!due_ || stack_.empty() || !exposed_ || presenter_.Canvas().isNull()) return 0;
  due_ = false;
  if (!canvas_) canvas_ = std::make_unique<FrameCanvas>(&presenter_.Canvas());
  ExperimentScreen* page = stack_.back();
  presenter_.CanvasWillChange();
  const QRegion changed = canvas_->Draw(*page, std::exchange(wholeNext_, false));
  presenter_.Present(changed, presenter_.TakeNextTarget(), [this, page](Refresh at) {
    if (Contains(page)) page->FrameShown(at);
  });
  return SteadyClock().Micros();
}

int FrameWindow::FormKeyPress(int keyAscii) {
  return stack_.empty() ? keyAscii : stack_.back()->KeyPress(keyAscii);
}

void FrameWindow::keyPressEvent(QKeyEvent* event) {
  keys_.SetCurrent(static_cast<std::uint32_t>(event->timestamp()), event->nativeScanCode());
  ExperimentScreen::keyPressEvent(event);
  keys_.ClearCurrent();
}

// The first expose shows the page then on top: the pages raised at the launch before it are
// never drawn.
void FrameWindow::paintEvent(QPaintEvent*) {
  exposed_ = true;
  wholeNext_ = true;  // what was over the window left its own pixels there
  Due();
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  FormKeyPress(27);
}

}  // namespace cue
