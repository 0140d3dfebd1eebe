#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace cue {

QString MessageText(const std::string& text) {
  // A lone CR is the line break of the system's messages; Qt breaks lines on LF.
  return QString::fromStdString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

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
  const int result = box.exec();
  if (message.buttons == Buttons::kYesNo) return result == QMessageBox::Yes ? Answer::kYes : Answer::kNo;
  return Answer::kOk;
}

}  // namespace cue
