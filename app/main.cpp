#include <QApplication>

#include "app/program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("cuesearch"));
  cue::Program program(QCoreApplication::applicationDirPath().toStdString());
  program.Start();
  return QApplication::exec();
}
