#include "intake/qt/validation_guard.h"

#include <QEvent>
#include <QWidget>

namespace cue {

ValidationGuard::ValidationGuard(QWidget* window) : QObject(window), window_(window) {
  // Qt gives a press's focus to the nearest ancestor that takes focus by click, before any
  // event filter sees the press; the window must not be one.
  window->setFocusPolicy(Qt::NoFocus);
}

void ValidationGuard::AddBox(QWidget* box, Validate validate) {
  boxes_.emplace_back(box, std::move(validate));
  Guard(box);
}

void ValidationGuard::AddControl(QWidget* control) { Guard(control); }

void ValidationGuard::Guard(QWidget* control) {
  control->setFocusPolicy(Qt::TabFocus);
  control->installEventFilter(this);
}

bool ValidationGuard::MayLeave(const QWidget* to) {
  const QWidget* from = window_->focusWidget();
  if (from == nullptr || from == to) return true;
  for (const auto& [box, validate] : boxes_) {
    if (box == from) return validate();
  }
  return true;
}

bool ValidationGuard::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) {
    return false;
  }
  auto* control = static_cast<QWidget*>(watched);
  if (!MayLeave(control)) return true;
  if (window_->focusWidget() != control) control->setFocus(Qt::MouseFocusReason);
  return false;
}

}  // namespace cue
