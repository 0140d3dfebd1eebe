#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace cue {

Answer QtDialogs::Show(const Message& message) {
  QMessageBox box(QApplication::activeWindow());
  // A lone CR is the line break of the system's messages; Qt breaks lines on LF.
  QString text = QString::fromLatin1(message.text);
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  box.setText(text);
  box.setWindowTitle(QString::fromLatin1(message.title));
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
