#include <QApplication>

#include "app/program.h"

int main(int argc, char** argv) {
  // A change of what a screen shows is painted at the next turn of the event loop, not after
  // the toolkit's "update idle time" (up to 5 ms, to gather more events into one frame): the
  // benchmark saw it delay a repaint by 0.3 to 1.2 ms, varying, which lengthened or shortened
  // the cross, the blanks and every flicker swap. A lab may still set its own value.
  if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("cuesearch"));
  cue::Program program(QCoreApplication::applicationDirPath().toStdString());
  program.Start();
  return QApplication::exec();
}
