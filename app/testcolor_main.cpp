// The colour tester: a stand-alone window, opened by nothing else in the system.
#include <QApplication>

#include "tools/qt/test_color_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  cue::TestColorForm form;
  form.show();
  return QApplication::exec();
}
