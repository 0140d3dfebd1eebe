#include "screens/qt/frame_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <algorithm>

namespace cue {

FrameWindow::FrameWindow(X11Presenter& presenter, X11KeyArrivals& keys)
    : ExperimentScreen("Experiment"), presenter_(presenter), keys_(keys) {
  setAttribute(Qt::WA_PaintOnScreen);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_OpaquePaintEvent);
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
  PresentTop();
}

void FrameWindow::Remove(ExperimentScreen* page) {
  const bool wasTop = !stack_.empty() && stack_.back() == page;
  std::erase(stack_, page);
  if (wasTop) PresentTop();
}

void FrameWindow::Changed(ExperimentScreen* page) {
  if (!stack_.empty() && stack_.back() == page) PresentTop();
}

bool FrameWindow::Contains(const ExperimentScreen* page) const {
  return std::find(stack_.begin(), stack_.end(), page) != stack_.end();
}

// A frame not kept yet is drawn and sent now, only where it differs from the frame before; the
// server shows it at the next refresh (or the one a wait named), copying only that part, and
// tells the page when.
void FrameWindow::PresentTop() {
  if (stack_.empty() || !exposed_) return;
  ExperimentScreen* page = stack_.back();
  QRect changed;
  const Frame& frame = FrameOf(page, changed);
  if (wholeNext_) changed = rect();
  wholeNext_ = false;
  last_ = frame;
  presenter_.Queue(last_.id, 0, [this, page](Refresh at) {
    if (Contains(page)) page->FrameShown(at);
  }, changed);
}

const FrameWindow::Frame& FrameWindow::FrameOf(ExperimentScreen* page, QRect& changed) {
  std::vector<Frame>& kept = frames_[page];
  const std::uint64_t key = page->FrameKey();
  const auto found = std::find_if(kept.begin(), kept.end(), [key](const Frame& f) { return f.key == key; });
  if (found != kept.end()) {
    std::rotate(found, found + 1, kept.end());
    changed = last_.id != 0 ? X11Presenter::ChangedRect(kept.back().image, last_.image) : rect();
    return kept.back();
  }
  Frame frame{key, 0, page->RenderFrame()};
  changed = last_.id != 0 ? X11Presenter::ChangedRect(frame.image, last_.image) : rect();
  frame.id = presenter_.Upload(frame.image, last_.id, changed);
  kept.push_back(std::move(frame));
  if (kept.size() > FRAMES_KEPT) {
    // The server holds a queued frame's pixmap until it is copied, but the base of the next
    // upload must stay.
    const auto old = kept.front().id != last_.id ? kept.begin() : kept.begin() + 1;
    presenter_.Release(old->id);
    kept.erase(old);
  }
  return kept.back();
}

void FrameWindow::FormKeyPress(int& keyAscii) {
  if (!stack_.empty()) stack_.back()->KeyPress(keyAscii);
}

void FrameWindow::keyPressEvent(QKeyEvent* event) {
  keys_.SetCurrent(static_cast<std::uint32_t>(event->timestamp()), event->nativeScanCode());
  ExperimentScreen::keyPressEvent(event);
  keys_.ClearCurrent();
}

// The first expose presents the page then on top: the pages raised at the launch before it
// are never drawn.
void FrameWindow::paintEvent(QPaintEvent*) {
  exposed_ = true;
  wholeNext_ = true;  // what was over the window left its own pixels there
  PresentTop();
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  int esc = 27;
  FormKeyPress(esc);
}

}  // namespace cue
