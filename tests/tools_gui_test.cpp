// The debug window under Qt's offscreen platform: toggle, docking, scaling, file view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/qt/qt_window_system.h"
#include "tools/qt/debug_window.h"

namespace cue {
namespace {

// Lets queued calls and posted events (the docking after the first showing) run.
void Settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

int ScreenWidthPx() { return QGuiApplication::primaryScreen()->geometry().width(); }

class DebugWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (DebugWindow* w = debug_.Window()) w->hide();
  }

  // Toggles and lets the docking finish.
  DebugWindow& Toggle() {
    debug_.Toggle();
    Settle();
    return *debug_.Window();
  }

  static void Press(QWidget* target, char c) {
    QTest::keyClick(target, c);
    Settle();
  }

  void ResizeTo(int width, int height) {
    debug_.Window()->resize(width, height);
    Settle();
  }

  ScaleMemory memory_;
  QtWindowSystem windows_;
  MyDebug debug_{memory_, windows_};
};

TEST_F(DebugWindowTest, FirstToggleCreatesLoadsShowsAndDocks) {
  EXPECT_EQ(debug_.Window(), nullptr);  // nothing exists before the first use
  DebugWindow& w = Toggle();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("My Debug Window"));
  EXPECT_EQ(w.TopMost(), 1);
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(w.frameGeometry().width(), ScreenWidthPx());
  // OLE1 (design 8415 x 1575 in a client area of 8445 x 1590) stretched in the ratio of the
  // window's outer width, docked, to its outer width at design; its height kept.
  const int frameWidth = w.frameGeometry().width() - w.width();
  const double designOuter = 8445.0 / 1590.0 * w.height() + frameWidth;
  const double designOle1 = 8415.0 / 1590.0 * w.height();
  EXPECT_NEAR(w.Ole1View()->width(), designOle1 * ScreenWidthPx() / designOuter, 1.0);
  EXPECT_NEAR(w.Ole1View()->height(), 1575.0 / 1590.0 * w.height(), 1.0);
}

TEST_F(DebugWindowTest, EachToggleFlipsAndTheWindowReturnsToItsPlace) {
  DebugWindow& w = Toggle();
  const QRect docked = w.geometry();
  const QRect view = w.Ole1View()->geometry();
  Toggle();
  EXPECT_FALSE(w.isVisible());
  Toggle();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(&w, debug_.Window());  // the same window, not a new one
  EXPECT_EQ(w.geometry(), docked);
  EXPECT_EQ(w.Ole1View()->geometry(), view);
}

TEST_F(DebugWindowTest, GraveAccentInTheWindowHidesItOtherKeysDoNothing) {
  DebugWindow& w = Toggle();
  const QRect docked = w.geometry();
  for (char key : {'a', 'm', 'n', ' ', '~', '\''}) {
    Press(w.Ole1View(), key);
    EXPECT_TRUE(w.isVisible()) << key;
    EXPECT_EQ(w.geometry(), docked) << key;
    EXPECT_TRUE(w.Ole1View()->toPlainText().isEmpty()) << key;
  }
  QTest::keyClick(w.Ole1View(), Qt::Key_Escape);
  EXPECT_TRUE(w.isVisible());
  Press(w.Ole1View(), '`');  // with OLE1 focused: the form previews the key
  EXPECT_FALSE(w.isVisible());
  Toggle();
  Press(&w, '`');  // on the form itself
  EXPECT_FALSE(w.isVisible());
}

TEST_F(DebugWindowTest, HeightChangeScalesOle1AndKeepsTheCorner) {
  DebugWindow& w = Toggle();
  const int width = w.Ole1View()->width();
  const int height = w.Ole1View()->height();
  const int outer = w.frameGeometry().height();
  ResizeTo(w.width(), w.height() * 3);
  // In the ratio of the window's outer heights.
  const double ratio = static_cast<double>(w.frameGeometry().height()) / outer;
  EXPECT_GT(ratio, 2.5);
  EXPECT_NEAR(w.Ole1View()->height(), height * ratio, 1.0);
  EXPECT_EQ(w.Ole1View()->width(), width);
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(0, 0));
  ResizeTo(w.width(), w.height() - (w.frameGeometry().height() - outer));
  EXPECT_NEAR(w.Ole1View()->height(), height, 1.0);
}

TEST_F(DebugWindowTest, WidthChangeIsUndoneAtOnce) {
  DebugWindow& w = Toggle();
  const QRect view = w.Ole1View()->geometry();
  ResizeTo(w.width() / 2, w.height());
  EXPECT_EQ(w.frameGeometry().width(), ScreenWidthPx());
  EXPECT_NEAR(w.Ole1View()->width(), view.width(), 1.0);
  EXPECT_EQ(w.Ole1View()->height(), view.height());
}

TEST_F(DebugWindowTest, MovedWithoutResizeStaysUntilItsSizeChanges) {
  DebugWindow& w = Toggle();
  w.move(40, 30);
  Settle();
  EXPECT_EQ(w.pos(), QPoint(40, 30));
  ResizeTo(w.width(), w.height() + 10);
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(0, 0));
}

TEST_F(DebugWindowTest, HidingWithItsOwnKeyGivesTheKeyboardBack) {
  QWidget experiment;
  experiment.show();
  experiment.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&experiment));
  DebugWindow& w = Toggle();
  w.activateWindow();  // the experimenter clicks into it
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  Press(w.Ole1View(), '`');
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&experiment));
}

class DebugFileViewTest : public DebugWindowTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cue-view.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = (dir_ / "R-12.txt").string();
  }
  void TearDown() override {
    DebugWindowTest::TearDown();
    std::filesystem::remove_all(dir_);
  }
  void Append(const std::string& bytes) {
    std::ofstream(file_, std::ios::binary | std::ios::app) << bytes;
  }
  QString Shown() const { return debug_.Window()->Ole1View()->toPlainText(); }

  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(DebugFileViewTest, ShowsTheFileAndFollowsItAsItGrows) {
  Append("# R-12\r\n1\tm\t512\r\n");
  debug_.OpenFile(file_);
  EXPECT_EQ(Shown(), QStringLiteral("# R-12\n1\tm\t512\n"));
  EXPECT_TRUE(debug_.Window()->Ole1View()->isReadOnly());
  Append("2\tn\t498\r\n");
  debug_.Window()->PollFile();
  EXPECT_EQ(Shown(), QStringLiteral("# R-12\n1\tm\t512\n2\tn\t498\n"));
}

TEST_F(DebugFileViewTest, FollowsOnlyWhileShownAndCatchesUpWhenShownAgain) {
  Append("a\r\n");
  debug_.OpenFile(file_);  // opened hidden: shown at once, not followed yet
  EXPECT_EQ(Shown(), QStringLiteral("a\n"));
  EXPECT_FALSE(debug_.Window()->Following());
  DebugWindow& w = Toggle();
  EXPECT_TRUE(w.Following());
  Toggle();
  EXPECT_FALSE(w.Following());
  Append("b\r\n");
  EXPECT_EQ(Shown(), QStringLiteral("a\n"));
  Toggle();
  EXPECT_TRUE(w.Following());
  EXPECT_EQ(Shown(), QStringLiteral("a\nb\n"));
}

TEST_F(DebugFileViewTest, UnreadableFileShowsOneClearLine) {
  debug_.OpenFile(file_);  // not there yet
  EXPECT_TRUE(Shown().startsWith(QStringLiteral("Cannot read the file: 53:")))
      << Shown().toStdString();
  EXPECT_TRUE(Shown().contains(QString::fromStdString(file_)));
  Append("now here\r\n");
  debug_.Window()->PollFile();
  EXPECT_EQ(Shown(), QStringLiteral("now here\n"));
  debug_.OpenFile(dir_.string());  // a folder
  EXPECT_TRUE(Shown().startsWith(QStringLiteral("Cannot read the file: 75:")))
      << Shown().toStdString();
}

}  // namespace
}  // namespace cue
