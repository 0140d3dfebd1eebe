#include "screens/qt/experiment_screen.h"

#include <QChildEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <utility>

#include "platform/qt/key_ascii.h"
#include "platform/qt/qt_window_system.h"
#include "screens/qt/frame_window.h"

namespace cue {

ExperimentScreen::ExperimentScreen(const char* caption, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), twips_(ScreenTwips()) {
  setWindowTitle(QString::fromLatin1(caption));
  setObjectName(QString::fromLatin1(caption));
  setFocusPolicy(Qt::StrongFocus);
}

void ExperimentScreen::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (frames_ != nullptr) CoverScreen();  // a page is never shown: it takes the screen's size now
  OnLoad();
}

void ExperimentScreen::Show() {
  Load();
  CoverScreen();
  if (frames_ != nullptr) {
    frames_->Raise(this);
    return;
  }
  show();
  raise();
  activateWindow();
}

void ExperimentScreen::SetVisible(bool visible) {
  if (frames_ != nullptr) {
    if (!visible) {
      frames_->Remove(this);
      return;
    }
    CoverScreen();
    frames_->Raise(this);
    return;
  }
  if (visible) {
    CoverScreen();
    show();
    raise();
    activateWindow();
  } else {
    hide();
  }
}

bool ExperimentScreen::Visible() const {
  return frames_ != nullptr ? frames_->Contains(this) : isVisible();
}

void ExperimentScreen::Redraw(const QRect& rect) {
  changes_ += rect.isEmpty() ? this->rect() : rect;  // for the experiment window's drawing
  if (frames_ != nullptr) {
    frames_->Changed(this);
  } else if (rect.isEmpty()) {
    update();
  } else {
    update(rect);
  }
}

QRegion ExperimentScreen::TakeChanges() { return std::exchange(changes_, QRegion()); }

void ExperimentScreen::PaintContent(QPainter& painter, const QRegion& region) {
  render(&painter, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
}

void ExperimentScreen::CoverScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  if (geometry() != screen->geometry()) {
    setGeometry(screen->geometry());
    // A hidden widget gets its resize event only when shown, and a page is never shown.
    if (frames_ != nullptr) OnResize();
  }
  setWindowState(windowState() | Qt::WindowFullScreen);
}

FormSize ExperimentScreen::SizeTwips() const {
  return FormSize{twips_.FromPixels(width()), twips_.FromPixels(height())};
}

std::vector<ExperimentScreen::Caption> ExperimentScreen::Captions() const {
  std::vector<Caption> captions;
  for (const QWidget* w : findChildren<QWidget*>()) {
    if (!w->isVisibleTo(this)) continue;
    if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
      captions.push_back({label->text(), label->font(), label->alignment(), label->geometry()});
    } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
      captions.push_back({button->text(), button->font(), Qt::AlignCenter, button->geometry()});
    }
  }
  return captions;
}

void ExperimentScreen::FitCaption(Control& control, const QFont& font, const QString& text,
                                  Qt::Alignment alignment) const {
  // The rectangle the text is drawn in, its glyphs' overhang included: a box narrower than
  // this clips the text.
  const QSize size =
      QFontMetrics(font).boundingRect(QRect(), static_cast<int>(alignment), text).size();
  const auto anchor = [](Qt::Alignment a, Qt::Alignment end, Qt::Alignment centre) {
    return (a & end) ? Anchor::kEnd : (a & centre) ? Anchor::kCenter : Anchor::kStart;
  };
  FitText(control, twips_.FromPixels(size.width()), twips_.FromPixels(size.height()),
          anchor(alignment, Qt::AlignRight, Qt::AlignHCenter),
          anchor(alignment, Qt::AlignBottom, Qt::AlignVCenter));
}

void ExperimentScreen::Place(QWidget* widget, const Control& control) const {
  const auto px = [this](float t) { return static_cast<int>(std::lround(twips_.ToPixels(t))); };
  widget->setGeometry(px(control.left), px(control.top), px(control.width), px(control.height));
  widget->setVisible(control.visible);
}

bool ExperimentScreen::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  // Message boxes are children of the form they open over, but their keys are their own.
  if (static_cast<QWidget*>(watched)->window() != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  // Tab moves the focus between controls and types nothing into them.
  if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
  const int ascii = KeyAscii(key);
  if (ascii < 0) return false;
  const int left = FormKeyPress(ascii);
  if (left == 0) return true;
  return ControlKeyPress(static_cast<QWidget*>(watched), left) == 0;
}

void ExperimentScreen::keyPressEvent(QKeyEvent* event) {
  // A key that a focused control ignored comes up to its window after the control's preview
  // in eventFilter(), which has already given it to FormKeyPress.
  if (const QWidget* focus = focusWidget(); focus != nullptr && focus != this) return;
  const int ascii = KeyAscii(event);
  if (ascii >= 0) FormKeyPress(ascii);
}

void ExperimentScreen::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  OnResize();
}

// Key preview: every child control reports its keys to the form first.
void ExperimentScreen::childEvent(QChildEvent* event) {
  QWidget::childEvent(event);
  if (event->added() && event->child()->isWidgetType()) event->child()->installEventFilter(this);
}

}  // namespace cue
