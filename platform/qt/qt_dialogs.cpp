#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace cue {

QString MessageText(const std::string& text) {
  // A lone CR is the line break of the system's messages; Qt breaks lines on LF.
  return QString::fromStdString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

namespace {

// Swallows every key meant for the box but Enter and Return.
class OnlyEnter final : public QObject {
 public:
  explicit OnlyEnter(QWidget* box) : box_(box) {}
  bool eventFilter(QObject* target, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
        event->type() != QEvent::ShortcutOverride) {
      return false;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return false;
    auto* widget = qobject_cast<QWidget*>(target);
    return widget != nullptr && (widget == box_ || box_->isAncestorOf(widget));
  }

 private:
  QWidget* box_;
};

}  // namespace

Answer QtDialogs::Show(const Message& message) {
  QMessageBox box(QApplication::activeWindow());
  box.setText(MessageText(message.text));
  box.setWindowTitle(MessageText(message.title));
  box.setWindowModality(Qt::ApplicationModal);
  switch (message.icon) {
    case Icon::kNone:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case Icon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case Icon::kExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
  }
  if (message.buttons == Buttons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  OnlyEnter filter(&box);
  if (message.keyProof) qApp->installEventFilter(&filter);
  const int result = box.exec();
  qApp->removeEventFilter(&filter);
  if (message.buttons == Buttons::kYesNo)
    return result == QMessageBox::Yes ? Answer::kYes : Answer::kNo;
  return Answer::kOk;
}

}  // namespace cue
