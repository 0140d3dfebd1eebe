#include "tools/qt/debug_window.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/qt/key_ascii.h"
#include "platform/qt/qt_window_system.h"
#include "platform/qt/topmost.h"

namespace cue {

namespace {

// The file's bytes (8-bit text, one character each), or the one line that says why they are
// not shown. Opening does not wait (a FIFO without a writer, a device), and only a regular
// file within the limit is read.
QString FileView(const std::string& file, long maxBytes) {
  const QString name = QString::fromStdString(file);
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return QStringLiteral("Cannot show %1: %2.")
        .arg(name, QString::fromLocal8Bit(std::strerror(errno)));
  }
  struct stat st {};
  QString view;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    view = QStringLiteral("Cannot show %1: it is not a regular file.").arg(name);
  } else if (st.st_size > maxBytes) {
    view = QStringLiteral("Cannot show %1: it is larger than %2 bytes.").arg(name).arg(maxBytes);
  } else {
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;  // the file got shorter, or cannot be read on: what came is shown
      got += static_cast<std::size_t>(n);
    }
    view = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(got));
    view.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  }
  ::close(fd);
  return view;
}

}  // namespace

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
  ole1View_->setPlainText(FileView(file, kMaxShownBytes));
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
