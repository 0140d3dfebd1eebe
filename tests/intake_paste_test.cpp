// Catches: text reaching a start-up box past its filter: paste, drop, menu, X selection.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <functional>

#include "intake_greet_fixture.h"

namespace cue::testing {
namespace {

// Digits could go into the ID box, but only by typing: each way offers digits, which nothing
// else would stop.
const QString kDigits = QStringLiteral("12");

TEST_F(GreetTest, CtrlVIsARefusedCharacter) {
  QGuiApplication::clipboard()->setText(kDigits);
  QTest::keyClick(text1_, Qt::Key_V, Qt::ControlModifier);
  Keys("12\t");
  // In the initials box the letter v would pass: Ctrl+V must arrive as code 22.
  QGuiApplication::clipboard()->setText(QStringLiteral("AB"));
  QTest::keyClick(text2_, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Texts(), "12||");
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Please enter numbers only!", "Please enter letters only!"}));
}

TEST_F(GreetTest, NoOtherWayInTakesText) {
  QGuiApplication::clipboard()->setText(kDigits);
  QMimeData data;
  data.setText(kDigits);
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"Shift+Insert", [&] { QTest::keyClick(text1_, Qt::Key_Insert, Qt::ShiftModifier); }},
      {"the Paste key",
       [&] {
         QKeyEvent paste(QEvent::KeyPress, Qt::Key_Paste, Qt::NoModifier);
         QApplication::sendEvent(text1_, &paste);
       }},
      {"a drag and drop",
       [&] {
         QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
         QApplication::sendEvent(text1_, &enter);
         QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
         QApplication::sendEvent(text1_, &drop);
       }},
      {"an input method",
       [&] {
         QInputMethodEvent commit;
         commit.setCommitString(kDigits);
         QApplication::sendEvent(text1_, &commit);
       }},
      // Behind these, the boxes take no text that their filters would refuse.
      {"text with a letter", [&] { text1_->insert(QStringLiteral("9z")); }},
      {"text with a backspace", [&] { text1_->insert(QStringLiteral("9\x08")); }},
  };
  for (const auto& [name, way] : ways) {
    SCOPED_TRACE(name);
    way();
    EXPECT_EQ(text1_->text(), QString());
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(GreetTest, NoContextMenuOpens) {
  bool menuOpened = false;
  // A menu that did open would block in its own loop: note it and close it.
  QTimer::singleShot(0, [&] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      menuOpened = true;
      popup->close();
    }
  });
  QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                            text1_->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(text1_, &request);
  QCoreApplication::processEvents();
  EXPECT_FALSE(menuOpened);
  EXPECT_EQ(text1_->findChild<QMenu*>(), nullptr);
}

TEST_F(GreetTest, MiddleClickPastesNoSelection) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) GTEST_SKIP() << "no X11 selection on this platform";
  clipboard->setText(kDigits, QClipboard::Selection);
  QTest::mouseClick(text1_, Qt::MiddleButton);
  QTest::mouseClick(text2_, Qt::MiddleButton);  // after a refused move, too
  EXPECT_EQ(Texts(), "||");
}

}  // namespace
}  // namespace cue::testing
