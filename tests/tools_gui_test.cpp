// The tools' forms under Qt's offscreen platform: the debug window's toggle, docking and
// scaling, its file view, and the colour tester typed into.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/qt/qt_window_system.h"
#include "tools/qt/debug_window.h"
#include "tools/qt/test_color_form.h"

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
}

class TestColorFormTest : public ::testing::Test {
 protected:
  void Type(QLineEdit* box, const char* text) { QTest::keyClicks(box, QString::fromLatin1(text)); }
  QString Number() const { return form_.Label5()->text(); }
  QColor Swatch() const { return form_.Label1()->palette().color(QPalette::Window); }

  TestColorForm form_;
};

TEST_F(TestColorFormTest, DesignAsLoaded) {
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("Form1"));
  EXPECT_EQ(form_.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Red"));
  EXPECT_EQ(form_.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral("Green"));
  EXPECT_EQ(form_.findChild<QLabel*>(QStringLiteral("Label4"))->text(), QStringLiteral("Blue"));
  EXPECT_EQ(form_.Label6()->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_TRUE(form_.Label6()->autoFillBackground());
  EXPECT_FALSE(form_.Label1()->autoFillBackground());  // default background until a change
  EXPECT_TRUE(Number().isEmpty());
  // Each caption stands level with its box, left of it; the swatches right of the boxes.
  const auto* red = form_.findChild<QLabel*>(QStringLiteral("Label2"));
  EXPECT_EQ(red->y(), form_.Text1()->y());
  EXPECT_LT(red->geometry().right(), form_.Text1()->x());
  EXPECT_LT(form_.Text1()->y(), form_.Text2()->y());
  EXPECT_LT(form_.Text2()->y(), form_.Text3()->y());
  EXPECT_GT(form_.Label1()->x(), form_.Text1()->geometry().right());
  EXPECT_GT(form_.Label6()->y(), form_.Label1()->geometry().center().y());
  EXPECT_EQ(form_.Label6()->x(), form_.Label1()->x());
  EXPECT_GT(form_.Label5()->y(), form_.Text3()->geometry().bottom());
  EXPECT_TRUE(QRect(QPoint(0, 0), form_.size()).contains(form_.Label1()->geometry()));
}

TEST_F(TestColorFormTest, TabGoesFromRedToGreenToBlue) {
  form_.show();
  form_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  EXPECT_EQ(QApplication::focusWidget(), form_.Text1());
  QTest::keyClick(form_.Text1(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form_.Text2());
  QTest::keyClick(form_.Text2(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form_.Text3());
}

TEST_F(TestColorFormTest, TypedValues) {
  const struct {
    const char* red;
    const char* green;
    const char* blue;
    int number;
  } cases[] = {{"255", "", "", 255},
               {"", "255", "", 65280},
               {"", "", "255", 16711680},
               {"300", "300", "300", 16777215},  // components above 255 count as 255
               {"12.5", "", "", 12},
               {"13.5", "", "", 14},
               {"7abc", "", "", 7}};
  for (const auto& c : cases) {
    TestColorForm form;
    QTest::keyClicks(form.Text1(), QString::fromLatin1(c.red));
    QTest::keyClicks(form.Text2(), QString::fromLatin1(c.green));
    QTest::keyClicks(form.Text3(), QString::fromLatin1(c.blue));
    EXPECT_EQ(form.Label5()->text(), QString::number(c.number)) << c.red << '/' << c.green;
    EXPECT_EQ(form.Label1()->palette().color(QPalette::Window),
              QColor(c.number & 0xFF, (c.number >> 8) & 0xFF, c.number >> 16))
        << c.red << '/' << c.green;
  }
}

TEST_F(TestColorFormTest, EmptyBoxIsZero) {
  Type(form_.Text1(), "9");
  QTest::keyClick(form_.Text1(), Qt::Key_Backspace);
  EXPECT_EQ(Number(), QStringLiteral("0"));
  EXPECT_EQ(Swatch(), QColor(0, 0, 0));
}

TEST_F(TestColorFormTest, OutOfRangeValueChangesNothingUntilItIsFixed) {
  Type(form_.Text2(), "1");
  Type(form_.Text1(), "100");
  ASSERT_EQ(Number(), QStringLiteral("356"));
  form_.Text1()->setText(QStringLiteral("40000"));  // pasted: one change
  EXPECT_EQ(Number(), QStringLiteral("356"));
  EXPECT_EQ(Swatch(), QColor(100, 1, 0));
  Type(form_.Text3(), "5");  // still stopped by the red box
  EXPECT_EQ(Number(), QStringLiteral("356"));
  EXPECT_EQ(Swatch(), QColor(100, 1, 0));
  QTest::keyClick(form_.Text1(), Qt::Key_Backspace);  // "4000": counts as 255
  EXPECT_EQ(Number(), QString::number(255 + 256 + 5 * 65536));
  EXPECT_EQ(Swatch(), QColor(255, 1, 5));
}

TEST_F(TestColorFormTest, NegativeComponentChangesNothing) {
  Type(form_.Text3(), "9");
  Type(form_.Text1(), "-3");
  EXPECT_EQ(Number(), QString::number(9 * 65536));
  EXPECT_EQ(Swatch(), QColor(0, 0, 9));
}

}  // namespace
}  // namespace cue
