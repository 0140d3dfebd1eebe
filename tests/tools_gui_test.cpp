// Catches: a debug window not docked, toggled, scaled or kept on top as told, a colour tester's
// wrong swatch, or the real pointer parked anywhere but the bottom-right pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "platform/qt/qt_window_system.h"
#include "screens/layout.h"
#include "screens/qt/experiment_screen.h"
#include "tools/qt/debug_window.h"
#include "tools/qt/test_color_form.h"

namespace cue {
namespace {

// Lets every request reach the X server, if there is one, and every answer, queued call and
// posted event (the docking after the first showing) come back.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QGuiApplication::sync();
    QCoreApplication::processEvents();
  }
}

int ScreenWidthPx() { return QGuiApplication::primaryScreen()->geometry().width(); }

// A debug window not yet created.
class DebugWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (DebugWindow* w = debug_.Window()) w->hide();
  }
  // Toggles as the screens' key handlers do, and lets the docking finish.
  DebugWindow& Toggle() {
    debug_.Toggle();
    Settle();
    return *debug_.Window();
  }
  static void Press(QWidget* target, char c) {
    QTest::keyClick(target, c);
    Settle();
  }

  ScaleMemory memory_;
  QtWindowSystem windows_;
  MyDebug debug_{memory_, windows_};
};

TEST_F(DebugWindowTest, EachGraveAccentTogglesItDockedAndGivesTheKeyboardBack) {
  QWidget experiment;  // the screen that has the keyboard
  experiment.show();
  experiment.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&experiment));
  DebugWindow& w = Toggle();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(w.frameGeometry().width(), ScreenWidthPx());
  // OLE1 (design 8415 x 1575 in a client area of 8445 x 1590) stretched in the ratio of the
  // window's outer width, docked, to its outer width at design; its height kept.
  const int frameWidth = w.frameGeometry().width() - w.width();
  const double designOuter = 8445.0 / 1590.0 * w.height() + frameWidth;
  const double designOle1 = 8415.0 / 1590.0 * w.height();
  EXPECT_NEAR(w.Ole1View()->width(), designOle1 * ScreenWidthPx() / designOuter, 1.0);
  EXPECT_NEAR(w.Ole1View()->height(), 1575.0 / 1590.0 * w.height(), 1.0);

  const QRect docked = w.geometry();
  const QRect view = w.Ole1View()->geometry();
  for (char key : {'a', 'm', 'n', ' ', '~', '\'', '\x1b'}) {
    Press(w.Ole1View(), key);
    EXPECT_TRUE(w.isVisible()) << key;
    EXPECT_EQ(w.geometry(), docked) << key;
    EXPECT_TRUE(w.Ole1View()->toPlainText().isEmpty()) << key;  // a view only
  }
  w.activateWindow();  // the experimenter clicks into it
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  Press(w.Ole1View(), '`');  // with OLE1 focused: the form previews the key
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&experiment));  // the keyboard goes back
  Toggle();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(&w, debug_.Window());  // the same window, in the same place
  EXPECT_EQ(w.geometry(), docked);
  EXPECT_EQ(w.Ole1View()->geometry(), view);
  Press(&w, '`');  // on the form itself
  EXPECT_FALSE(w.isVisible());
}

TEST_F(DebugWindowTest, AHeightChangeScalesOle1AWidthChangeIsUndone) {
  DebugWindow& w = Toggle();
  const int width = w.Ole1View()->width();
  const int height = w.Ole1View()->height();
  const int outer = w.frameGeometry().height();
  w.move(40, 30);  // moved, not resized: it stays there until its size changes
  w.resize(w.width(), w.height() * 3);
  Settle();
  // In the ratio of the window's outer heights.
  const double ratio = static_cast<double>(w.frameGeometry().height()) / outer;
  EXPECT_GT(ratio, 2.5);
  EXPECT_NEAR(w.Ole1View()->height(), height * ratio, 1.0);
  EXPECT_EQ(w.Ole1View()->width(), width);
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(0, 0));
  w.resize(w.width() / 2, w.height() - (w.frameGeometry().height() - outer));
  Settle();
  EXPECT_EQ(w.frameGeometry().width(), ScreenWidthPx());
  EXPECT_NEAR(w.Ole1View()->width(), width, 1.0);
  EXPECT_NEAR(w.Ole1View()->height(), height, 1.0);
}

// Output of an X utility's command line; fails the test if it cannot run.
std::string XTool(const QString& command) {
  QProcess process;
  process.startCommand(command);
  EXPECT_TRUE(process.waitForFinished() && process.exitCode() == 0)
      << command.toStdString() << ": " << process.readAllStandardError().toStdString();
  return process.readAllStandardOutput().toStdString();
}

std::string Id(const QWidget& window) {
  return QStringLiteral("0x%1").arg(window.winId(), 0, 16).toStdString();
}

// On a real X server only (scripts/test-env's Xvfb, no window manager), asked with the X
// utilities as another client: the run under xcb takes these, the offscreen one skips them.
class XvfbTest : public DebugWindowTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "not on X";
  }
  // Whether top is stacked above other: xwininfo lists the root's children top first.
  static bool Above(const QWidget& top, const QWidget& other) {
    const std::string tree = XTool(QStringLiteral("xwininfo -root -children"));
    const auto at = [&](const QWidget& w) { return tree.find(' ' + Id(w) + ' '); };
    EXPECT_TRUE(at(top) != std::string::npos && at(other) != std::string::npos) << tree;
    return at(top) < at(other);
  }
};

// Announced as above to window managers; without one, kept above the screens shown after it.
TEST_F(XvfbTest, TheDebugWindowIsTopmost) {
  debug_.Toggle();
  DebugWindow& debug = *debug_.Window();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&debug));
  Settle();
  const std::string state =
      XTool(QString::fromStdString("xprop -id " + Id(debug) + " _NET_WM_STATE"));
  EXPECT_NE(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
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
  XTool(QStringLiteral("xdotool mousemove 10 20"));
  ParkCursor(windows_);
  Settle();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const std::string bottomRight =
      "x:" + std::to_string(screen.right()) + " y:" + std::to_string(screen.bottom());
  const std::string at = XTool(QStringLiteral("xdotool getmouselocation"));
  EXPECT_TRUE(at.starts_with(bottomRight + " ")) << at;
}

TEST(TestColorFormTest, TypedValues) {
  const struct {
    const char *red, *green, *blue;
    int number;
  } rows[] = {
      // clang-format off
      {"255", "", "", 255}, {"", "255", "", 65280}, {"", "", "255", 16711680},
      {"300", "300", "300", 16777215},  // components above 255 count as 255
      {"12.5", "", "", 12}, {"13.5", "", "", 14},
      {"9\b", "", "", 0},    // an empty box is 0
      {"-1", "255", "", 0},  // a negative component changes nothing; "-" read 0
      // A value out of 16 bits, in any box, changes nothing: the last one typed before stays.
      {"40000", "2", "", 255}, {"", "40000", "2", 65280}, {"1", "", "40000", 16711681},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.red) + '/' + row.green + '/' + row.blue);
    TestColorForm form;
    EXPECT_EQ(form.Label6()->palette().color(QPalette::Window),
              QColor(255, 0, 0));  // the reference
    QTest::keyClicks(form.Text1(), QString::fromLatin1(row.red));
    QTest::keyClicks(form.Text2(), QString::fromLatin1(row.green));
    QTest::keyClicks(form.Text3(), QString::fromLatin1(row.blue));
    EXPECT_EQ(form.Label5()->text(), QString::number(row.number));
    EXPECT_EQ(form.Label1()->palette().color(QPalette::Window),
              QColor(row.number & 0xFF, (row.number >> 8) & 0xFF, row.number >> 16));
  }
}

}  // namespace
}  // namespace cue
