#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

#include "intake_greet_fixture.h"

namespace cue::testing {
namespace {

// Digits could be typed into the ID box, but only by typing: every other way in is closed,
// so the tests of those ways offer digits, which nothing else would stop. Text that typing
// could never put there is for the last line of defence behind them.
const QString kDigits = QStringLiteral("12");
const QString kSmuggled = QStringLiteral("9z");

TEST_F(GreetTest, CtrlVIsARefusedCharacter) {
  QGuiApplication::clipboard()->setText(kDigits);
  Key(text1_, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(text1_->text(), QString());
  // In the initials box the letter v would pass: Ctrl+V must arrive as code 22.
  Type(text1_, "12");
  Tab();
  QGuiApplication::clipboard()->setText(QStringLiteral("AB"));
  Key(text2_, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(text2_->text(), QString());
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Please enter numbers only!", "Please enter letters only!"}));
}

TEST_F(GreetTest, PasteKeysWithoutACharacterPasteNothing) {
  QGuiApplication::clipboard()->setText(kDigits);
  Key(text1_, Qt::Key_Insert, Qt::ShiftModifier);
  QKeyEvent pasteKey(QEvent::KeyPress, Qt::Key_Paste, Qt::NoModifier);
  QApplication::sendEvent(text1_, &pasteKey);
  EXPECT_EQ(text1_->text(), QString());
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
  QTest::mouseClick(text1_, Qt::RightButton);
  QCoreApplication::processEvents();
  EXPECT_FALSE(menuOpened);
  EXPECT_EQ(text1_->findChild<QMenu*>(), nullptr);
  EXPECT_EQ(text1_->text(), QString());
}

TEST_F(GreetTest, MiddleClickPastesNoSelection) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) GTEST_SKIP() << "no X11 selection on this platform";
  clipboard->setText(kDigits, QClipboard::Selection);
  QTest::mouseClick(text1_, Qt::MiddleButton);
  QTest::mouseClick(text2_, Qt::MiddleButton);  // after a refused move, too
  EXPECT_EQ(text1_->text(), QString());
  EXPECT_EQ(text2_->text(), QString());
}

TEST_F(GreetTest, DropsAreRefused) {
  EXPECT_FALSE(text1_->acceptDrops());
  QMimeData data;
  data.setText(kDigits);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(text1_, &enter);
  EXPECT_FALSE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(text1_, &drop);
  EXPECT_EQ(text1_->text(), QString());
}

TEST_F(GreetTest, InputMethodTextIsNotTaken) {
  QInputMethodEvent commit;
  commit.setCommitString(kDigits);
  QApplication::sendEvent(text1_, &commit);
  EXPECT_EQ(text1_->text(), QString());
}

TEST_F(GreetTest, TextFromOutsideTheKeysIsHeldToTheFilter) {
  text1_->insert(kSmuggled);
  EXPECT_EQ(text1_->text(), QString());
  text1_->insert(kDigits);
  EXPECT_EQ(text1_->text(), kDigits);
  text2_->insert(QStringLiteral("A\x08"));
  EXPECT_EQ(text2_->text(), QString());
}

}  // namespace
}  // namespace cue::testing
