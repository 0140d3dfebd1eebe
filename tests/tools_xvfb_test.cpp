// What only a real X server can tell (scripts/test-env's Xvfb, no window manager): that the
// debug window stays stacked above a full-screen experiment screen shown or raised after it,
// and that ParkCursor leaves the real pointer in the bottom-right corner. The server is asked
// with the X utilities, as a second client would see it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
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

QString S(const char* text) { return QString::fromLatin1(text); }

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

// The root window's children, top of the stack first, as xwininfo lists them.
QStringList StackTopFirst() {
  QStringList ids;
  const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "));
  const QString tree = XTool({S("xwininfo"), S("-root"), S("-children")});
  for (const QString& line : tree.split(QLatin1Char('\n'))) {
    const QRegularExpressionMatch m = child.match(line);
    if (m.hasMatch()) ids.append(m.captured(1));
  }
  return ids;
}

class XvfbTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")); }
};

TEST_F(XvfbTest, XwininfoListsTheTopOfTheStackFirst) {
  // The stacking checks below rest on this order; a window raised last is on top.
  QWidget first;
  QWidget second;
  first.show();
  second.show();
  Settle();
  first.raise();
  Settle();
  const QStringList stack = StackTopFirst();
  ASSERT_TRUE(stack.contains(Id(first)) && stack.contains(Id(second)));
  EXPECT_LT(stack.indexOf(Id(first)), stack.indexOf(Id(second)));
}

class DebugTopMostTest : public XvfbTest {
 protected:
  void TearDown() override {
    if (DebugWindow* w = debug_.Window()) w->hide();
  }
  bool DebugAbove(const QWidget& other) {
    const QStringList stack = StackTopFirst();
    EXPECT_TRUE(stack.contains(Id(*debug_.Window())));
    EXPECT_TRUE(stack.contains(Id(other)));
    return stack.indexOf(Id(*debug_.Window())) < stack.indexOf(Id(other));
  }

  ScaleMemory memory_;
  QtWindowSystem windows_;
  MyDebug debug_{memory_, windows_};
};

TEST_F(DebugTopMostTest, AnnouncedAsAboveToWindowManagers) {
  debug_.Toggle();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(debug_.Window()));
  Settle();
  const QString state = XTool({S("xprop"), S("-id"), Id(*debug_.Window()), S("_NET_WM_STATE")});
  EXPECT_TRUE(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << state.toStdString();
}

TEST_F(DebugTopMostTest, StaysAboveAFullScreenScreenShownRaisedAndActivatedAfterIt) {
  debug_.Toggle();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(debug_.Window()));
  ExperimentScreen display("Display");
  display.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
  Settle();
  ASSERT_EQ(display.frameGeometry(), QGuiApplication::primaryScreen()->geometry());
  EXPECT_TRUE(DebugAbove(display)) << "after the screen was shown";

  display.SetVisible(true);  // brought to the front again, as the next trial does
  Settle();
  EXPECT_TRUE(DebugAbove(display)) << "after the screen was raised";

  display.activateWindow();
  Settle();
  EXPECT_TRUE(DebugAbove(display)) << "after the screen took the keyboard";

  ExperimentScreen rest("Rest");  // another screen loaded and shown later
  rest.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rest));
  Settle();
  EXPECT_TRUE(DebugAbove(rest)) << "after a second screen came up";
}

TEST_F(DebugTopMostTest, ShownAgainOverTheScreenAfterBeingHidden) {
  ExperimentScreen display("Display");
  display.Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
  debug_.Toggle();
  debug_.Toggle();
  display.SetVisible(true);
  debug_.Toggle();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(debug_.Window()));
  Settle();
  EXPECT_TRUE(DebugAbove(display));
  EXPECT_EQ(debug_.Window()->frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(debug_.Window()->frameGeometry().width(),
            QGuiApplication::primaryScreen()->geometry().width());
}

TEST_F(XvfbTest, ParkCursorLeavesThePointerInTheBottomRightPixel) {
  XTool({S("xdotool"), S("mousemove"), S("10"), S("20")});
  QtWindowSystem windows;
  ParkCursor(windows);
  Settle();
  const QString where = XTool({S("xdotool"), S("getmouselocation")});
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_TRUE(
      where.startsWith(QStringLiteral("x:%1 y:%2 ").arg(screen.right()).arg(screen.bottom())))
      << where.toStdString();
}

}  // namespace
}  // namespace cue
