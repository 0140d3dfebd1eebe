// main() of the GUI test binaries: a QApplication around GoogleTest. The platform comes from
// QT_QPA_PLATFORM (offscreen unless the test is labelled xvfb and runs on a real X server).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
