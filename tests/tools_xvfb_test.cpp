// Catches: the debug window hidden behind the full-screen experiment screen shown or raised
// after it, or the real pointer parked anywhere but the bottom-right pixel. Asked of a real X
// server (scripts/test-env's Xvfb, no window manager) with the X utilities, as another client.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <initializer_list>

#include "platform/qt/qt_window_system.h"
#include "screens/layout.h"
#include "screens/qt/experiment_screen.h"
#include "tools/qt/debug_window.h"

namespace cue {
namespace {

// Output of an X utility (program, then arguments); fails the test if it cannot run.
QString XTool(std::initializer_list<QString> command) {
  QStringList arguments(command.begin() + 1, command.end());
  QProcess process;
  process.start(*command.begin(), arguments);
  EXPECT_TRUE(process.waitForFinished()) << command.begin()->toStdString() << " did not finish";
  EXPECT_EQ(process.exitCode(), 0)
      << command.begin()->toStdString() << ": " << process.readAllStandardError().toStdString();
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Lets every request reach the server and every answer and queued call come back.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QGuiApplication::sync();
    QCoreApplication::processEvents();
  }
}

QString Id(const QWidget& window) {
  return QStringLiteral("0x%1").arg(static_cast<qulonglong>(window.winId()), 0, 16);
}

class XvfbTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")); }
  // Whether top is stacked above other: xwininfo lists the root's children top first.
  static bool Above(const QWidget& top, const QWidget& other) {
    const QString tree =
        XTool({QStringLiteral("xwininfo"), QStringLiteral("-root"), QStringLiteral("-children")});
    const auto at = [&](const QWidget& w) { return tree.indexOf(u' ' + Id(w) + u' '); };
    EXPECT_TRUE(at(top) >= 0 && at(other) >= 0) << tree.toStdString();
    return at(top) < at(other);
  }

  ScaleMemory memory_;
  QtWindowSystem windows_;
  MyDebug debug_{memory_, windows_};
};

// Announced as above to window managers; without one, kept above the screens shown after it.
TEST_F(XvfbTest, TheDebugWindowIsTopmost) {
  debug_.Toggle();
  DebugWindow& debug = *debug_.Window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&debug));
  Settle();
  const QString state = XTool(
      {QStringLiteral("xprop"), QStringLiteral("-id"), Id(debug), QStringLiteral("_NET_WM_STATE")});
  EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();
  ExperimentScreen display("Display");
  display.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
  Settle();
  ASSERT_EQ(display.frameGeometry(), QGuiApplication::primaryScreen()->geometry());
  EXPECT_TRUE(Above(debug, display)) << "after the screen was shown";
  display.SetVisible(true);  // brought to the front again, as the next trial does
  Settle();
  EXPECT_TRUE(Above(debug, display)) << "after the screen was raised";
  display.activateWindow();
  Settle();
  EXPECT_TRUE(Above(debug, display)) << "after the screen took the keyboard";
}

TEST_F(XvfbTest, ParkCursorLeavesThePointerInTheBottomRightPixel) {
  XTool({QStringLiteral("xdotool"), QStringLiteral("mousemove"), QStringLiteral("10"),
         QStringLiteral("20")});
  ParkCursor(windows_);
  Settle();
  const QString where = XTool({QStringLiteral("xdotool"), QStringLiteral("getmouselocation")});
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(
      where.startsWith(QStringLiteral("x:%1 y:%2 ").arg(screen.right()).arg(screen.bottom())))
      << where.toStdString();
}

}  // namespace
}  // namespace cue
