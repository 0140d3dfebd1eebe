#include "tools/qt/debug_window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <cmath>

#include "platform/qt/key_ascii.h"
#include "platform/qt/qt_window_system.h"
#include "platform/qt/topmost.h"

namespace cue {

DebugWindow::DebugWindow(ScaleMemory& memory, WindowSystem& windows)
    : QWidget(nullptr, Qt::Window),
      memory_(memory),
      windows_(windows),
      twips_(ScreenTwips()),
      ole1View_(new QPlainTextEdit(this)) {
  setWindowTitle(QString::fromLatin1(kDebugCaption));
  setObjectName(QStringLiteral("myDebug"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  resize(Px(kDebugDesignClient.width), Px(kDebugDesignClient.height));

  ole1View_->setObjectName(QStringLiteral("OLE1"));
  ole1View_->setReadOnly(true);
  ole1View_->setUndoRedoEnabled(false);
  ole1View_->setLineWrapMode(QPlainTextEdit::NoWrap);  // the results file's columns stay put
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  ole1View_->setFont(fixed);
  ole1View_->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 8);
  ole1View_->installEventFilter(this);
  PlaceOle1();

  // Reading a file is no experiment interval: a coarse timer lets the system batch wake-ups.
  followTimer_.setTimerType(Qt::CoarseTimer);
  followTimer_.setInterval(kFollowMs);
  connect(&followTimer_, &QTimer::timeout, this, &DebugWindow::PollFile);
}

void DebugWindow::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void DebugWindow::Show() { SetVisible(true); }

void DebugWindow::SetVisible(bool visible) {
  if (visible) {
    Load();
    if (!isVisible()) {
      QWidget* active = QApplication::activeWindow();
      keyboardReturn_ = active != this ? active : nullptr;
      show();
    }
    raise();
    return;
  }
  const bool hadKeyboard = isActiveWindow();
  hide();
  if (hadKeyboard && keyboardReturn_ != nullptr && keyboardReturn_->isVisible()) {
    keyboardReturn_->activateWindow();
  }
}

bool DebugWindow::Visible() const { return isVisible(); }

void DebugWindow::OpenFile(const std::string& file) {
  Load();
  follower_.emplace(file);
  ole1View_->clear();
  PollFile();
  if (isVisible()) followTimer_.start();
}

void DebugWindow::PollFile() {
  if (!follower_) return;
  const FileFollower::Update update = follower_->Poll();
  if (update.kind == FileFollower::Update::Kind::kNone) return;
  QScrollBar* bar = ole1View_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  // The system's files are 8-bit text; Latin-1 shows every byte as one character.
  const QString text =
      QString::fromLatin1(update.text.data(), static_cast<qsizetype>(update.text.size()));
  if (update.kind == FileFollower::Update::Kind::kReplace) {
    ole1View_->setPlainText(text);
  } else {
    QTextCursor end(ole1View_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
  }
  if (atEnd) bar->setValue(bar->maximum());  // keep following the end, unless scrolled back
}

void DebugWindow::Form_Load() {
  topMost_ = 1;
  SetTopMost(*this, topMost_);
}

void DebugWindow::Form_Resize() {
  const QRect outer = frameGeometry();
  const FormSize form{twips_.FromPixels(outer.width()), twips_.FromPixels(outer.height())};
  const WindowPlace place = DebugFormResize(form, ole1_, memory_, windows_.ScreenWidthTwips());
  PlaceOle1();
  // The first resize comes while the window is being shown, before it is on the screen,
  // where a new geometry would not raise the handler again; dock once it is shown.
  if (isVisible()) {
    Dock(place);
  } else {
    QMetaObject::invokeMethod(
        this, [this, place] { Dock(place); }, Qt::QueuedConnection);
  }
}

void DebugWindow::Dock(const WindowPlace& place) {
  if (!isVisible()) return;
  const QPoint corner(Px(place.left), Px(place.top));  // outer edges, as move() takes them
  if (pos() != corner) move(corner);
  const int clientWidth = Px(place.width) - (frameGeometry().width() - width());
  // The height stays the user's; a new width raises Form_Resize again.
  if (clientWidth != width()) resize(clientWidth, height());
}

void DebugWindow::Form_KeyPress(int& keyAscii) {
  if (keyAscii != kDebugToggleKey) return;
  keyAscii = 0;
  SetVisible(!Visible());
}

void DebugWindow::PlaceOle1() {
  ole1View_->setGeometry(Px(ole1_.left), Px(ole1_.top), Px(ole1_.width), Px(ole1_.height));
}

int DebugWindow::Px(float twips) const {
  return static_cast<int>(std::lround(twips_.ToPixels(twips)));
}

void DebugWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void DebugWindow::keyPressEvent(QKeyEvent* event) {
  int ascii = KeyAscii(event);
  if (ascii >= 0) Form_KeyPress(ascii);
  if (ascii != 0) QWidget::keyPressEvent(event);
}

// Key preview: the form's key handler sees OLE1's keys first.
bool DebugWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != ole1View_ || event->type() != QEvent::KeyPress) return false;
  int ascii = KeyAscii(static_cast<QKeyEvent*>(event));
  if (ascii < 0) return false;
  Form_KeyPress(ascii);
  return ascii == 0;
}

void DebugWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (follower_) {
    PollFile();
    followTimer_.start();
  }
}

void DebugWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  followTimer_.stop();
}

void MyDebug::Toggle() {
  DebugWindow& window = Loaded();
  window.SetVisible(!window.Visible());
}

void MyDebug::OpenFile(const std::string& file) { Loaded().OpenFile(file); }

DebugWindow& MyDebug::Loaded() {
  if (!window_) {
    window_ = std::make_unique<DebugWindow>(memory_, windows_);
    window_->Load();
  }
  return *window_;
}

}  // namespace cue
