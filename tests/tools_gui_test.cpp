// Catches: a debug window not docked, toggled or scaled as told, a colour tester's wrong swatch.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

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
  QString Shown() const { return debug_.Window()->Ole1View()->toPlainText(); }

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
    EXPECT_TRUE(Shown().isEmpty()) << key;  // a view only
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

QColor Swatch(const TestColorForm& form) {
  return form.Label1()->palette().color(QPalette::Window);
}

TEST(TestColorFormTest, TypedValues) {
  const struct {
    const char* red;
    const char* green;
    const char* blue;
    int number;
  } rows[] = {
      // clang-format off
      {"255", "", "", 255}, {"", "255", "", 65280}, {"", "", "255", 16711680},
      {"300", "300", "300", 16777215},  // components above 255 count as 255
      {"12.5", "", "", 12}, {"13.5", "", "", 14},
      {"9\b", "", "", 0},    // an empty box is 0
      {"-1", "255", "", 0},  // a negative component changes nothing; "-" read 0
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.red) + '/' + row.green + '/' + row.blue);
    TestColorForm form;
    QTest::keyClicks(form.Text1(), QString::fromLatin1(row.red));
    QTest::keyClicks(form.Text2(), QString::fromLatin1(row.green));
    QTest::keyClicks(form.Text3(), QString::fromLatin1(row.blue));
    EXPECT_EQ(form.Label5()->text(), QString::number(row.number));
    EXPECT_EQ(Swatch(form), QColor(row.number & 0xFF, (row.number >> 8) & 0xFF, row.number >> 16));
  }
}

// In any box: the swatch and the number stay as they were until the value is fixed.
TEST(TestColorFormTest, AnOutOfRangeValueChangesNothing) {
  for (int box = 0; box < 3; ++box) {
    SCOPED_TRACE(box);
    TestColorForm form;
    EXPECT_EQ(form.Label6()->palette().color(QPalette::Window), QColor(255, 0, 0));  // reference
    QLineEdit* boxes[] = {form.Text1(), form.Text2(), form.Text3()};
    for (QLineEdit* b : boxes) QTest::keyClicks(b, QStringLiteral("1"));
    boxes[box]->setText(QStringLiteral("40000"));                 // pasted: one change
    QTest::keyClicks(boxes[(box + 1) % 3], QStringLiteral("2"));  // still stopped
    EXPECT_EQ(form.Label5()->text(), QStringLiteral("65793"));
    EXPECT_EQ(Swatch(form), QColor(1, 1, 1));
    QTest::keyClick(boxes[box], Qt::Key_Backspace);  // "4000": counts as 255
    int rgb[] = {1, 1, 1};
    rgb[box] = 255;
    rgb[(box + 1) % 3] = 12;
    EXPECT_EQ(form.Label5()->text(), QString::number(rgb[0] + 256 * rgb[1] + 65536 * rgb[2]));
    EXPECT_EQ(Swatch(form), QColor(rgb[0], rgb[1], rgb[2]));
  }
}

}  // namespace
}  // namespace cue
