// main() of the GUI test binaries: a QApplication around GoogleTest. The platform comes from
// QT_QPA_PLATFORM: offscreen unless the test asks for xcb and runs on the X server that
// scripts/test-env starts.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {
// The offscreen platform cannot raise windows and says so at every showing; nothing else is
// dropped.
void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  qt_message_output(type, context, message);
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {  // test discovery at build time
      ::testing::InitGoogleTest(&argc, argv);
      return RUN_ALL_TESTS();
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qgetenv("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
    std::fputs("no X server (DISPLAY is not set); run under scripts/test-env\n", stderr);
    return 77;  // CTest reports the test as skipped
  }
  qInstallMessageHandler(Filter);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
