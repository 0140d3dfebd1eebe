#include <QDialog>
#include <QLabel>
#include <QResizeEvent>
#include <QTimer>
#include <functional>

#include "intake_greet_fixture.h"

namespace cue::testing {
namespace {

const std::string kNumbersOnly = "Please enter numbers only!";

TEST_F(GreetTest, LoadingLoadsBlankeHiddenShowsTheWindowAndFocusesTheIdBox) {
  EXPECT_EQ(doubles_.log, (EventLog{"Blanke.Load"}));
  EXPECT_TRUE(greet_->isVisible());
  EXPECT_EQ(Focus(), text1_);
}

TEST_F(GreetTest, ControlsAsDesigned) {
  const auto label = [this](const char* name) {
    return greet_->findChild<QLabel*>(QString::fromLatin1(name));
  };
  EXPECT_EQ(label("Label1")->text(), QString());
  EXPECT_EQ(label("Label2")->text(), QStringLiteral("Welcome  please enter subject information:"));
  EXPECT_EQ(label("Label3")->text(), QStringLiteral("Subject ID"));
  EXPECT_EQ(label("Label4")->text(), QStringLiteral("Subject Initials"));
  EXPECT_EQ(label("Label5")->text(), QStringLiteral("Order Condition 1-3"));
  EXPECT_EQ(command1_->text(), QStringLiteral("Start"));
  EXPECT_TRUE(label("Label2")->alignment() & Qt::AlignHCenter);
  for (const char* name : {"Label3", "Label4", "Label5"}) {
    EXPECT_TRUE(label(name)->alignment() & Qt::AlignRight) << name;
    EXPECT_EQ(label(name)->font().pointSizeF(), 18.0) << name;
    EXPECT_TRUE(label(name)->font().bold()) << name;
  }
  EXPECT_EQ(label("Label2")->font().pointSizeF(), 24.0);
  EXPECT_FALSE(label("Label2")->font().bold());
  EXPECT_FALSE(text1_->font().bold());
  EXPECT_FALSE(text2_->font().bold());
  EXPECT_TRUE(text3_->font().bold());  // the window's font
  EXPECT_EQ(text3_->font().pointSizeF(), 18.0);
  EXPECT_EQ(command1_->font().pointSizeF(), 8.25);
  EXPECT_FALSE(command1_->font().bold());
  EXPECT_EQ(text1_->maxLength(), 3);
  EXPECT_EQ(text2_->maxLength(), 3);
  EXPECT_EQ(text3_->maxLength(), 1);
  EXPECT_FALSE(command1_->isDefault());
  EXPECT_TRUE(greet_->windowFlags() & Qt::FramelessWindowHint);
}

// Every row of the failure table, through the real form.
struct FailureRow {
  const char* name;
  std::function<void(GreetTest&)> act;  // ends with the failing key or move
  const char* message;
  Icon icon;
  const char* focus;  // the box that keeps the focus
  int subjectId;      // -1: not checked
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class GreetFailureTest : public GreetTest, public ::testing::WithParamInterface<FailureRow> {};

// The duplicate-ID message names the current folder, which each test makes afresh.
constexpr const char* kDuplicateOf12 = "<the duplicate-ID message for 12>";

TEST_P(GreetFailureTest, Row) {
  const FailureRow& row = GetParam();
  row.act(*this);
  ASSERT_EQ(doubles_.dialogs.shown.size(), 1U);
  const Message& m = doubles_.dialogs.shown[0];
  const std::string expected = row.message == kDuplicateOf12
                                   ? "Sorry subject 12 allready exsists.\rLook in " +
                                         dir_.string() + "/CurrentSubjects to see current subjects."
                                   : row.message;
  EXPECT_EQ(m.text, expected);
  EXPECT_EQ(m.title, "ERROR");
  EXPECT_EQ(m.buttons, Buttons::kOk);
  EXPECT_EQ(m.icon, row.icon);
  EXPECT_EQ(Focus()->objectName().toStdString(), row.focus);
  if (row.subjectId >= 0) {
    EXPECT_EQ(doubles_.state.subjectId, row.subjectId);
  }
  EXPECT_FALSE(Launched());
}

INSTANTIATE_TEST_SUITE_P(
    Table, GreetFailureTest,
    ::testing::Values(FailureRow{"RefusedCharacterInText1",
                                 [](GreetTest& t) {
                                   t.Type(t.Box(1), "1a");
                                   EXPECT_EQ(t.Box(1)->text(), QStringLiteral("1"));
                                 },
                                 "Please enter numbers only!", Icon::kExclamation, "Text1", -1},
                      FailureRow{"RefusedCharacterInText2",
                                 [](GreetTest& t) {
                                   t.Type(t.Box(1), "12");
                                   t.Tab();
                                   t.Type(t.Box(2), "A1");
                                   EXPECT_EQ(t.Box(2)->text(), QStringLiteral("A"));
                                 },
                                 "Please enter letters only!", Icon::kExclamation, "Text2", -1},
                      FailureRow{"RefusedCharacterInText3",
                                 [](GreetTest& t) {
                                   t.Type(t.Box(1), "12");
                                   t.Tab();
                                   t.Type(t.Box(2), "AB");
                                   t.Tab();
                                   t.Type(t.Box(3), "4");
                                   EXPECT_EQ(t.Box(3)->text(), QString());
                                 },
                                 "Please enter numbers 1 to 3 only!", Icon::kExclamation, "Text3",
                                 -1},
                      FailureRow{"Text1EmptyWhenLeft", [](GreetTest& t) { t.Tab(); },
                                 "Please insert subject id!", Icon::kNone, "Text1", 0},
                      FailureRow{"Text1RegisteredWhenLeft",
                                 [](GreetTest& t) {
                                   t.Register(12);
                                   t.Type(t.Box(1), "12");
                                   t.Tab();
                                 },
                                 kDuplicateOf12, Icon::kExclamation, "Text1", 12},
                      FailureRow{"Text2ShortWhenLeft",
                                 [](GreetTest& t) {
                                   t.Type(t.Box(1), "12");
                                   t.Tab();
                                   t.Type(t.Box(2), "A");
                                   t.Tab();
                                 },
                                 "Please insert subject initials!", Icon::kNone, "Text2", -1},
                      FailureRow{"Text3EmptyWhenLeft",
                                 [](GreetTest& t) {
                                   t.Type(t.Box(1), "12");
                                   t.Tab();
                                   t.Type(t.Box(2), "AB");
                                   t.Tab();
                                   t.Tab();
                                 },
                                 "Please insert Order Condition!", Icon::kNone, "Text3", -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GreetTest, EnterSpaceAndEscAreRefusedInEveryBox) {
  struct Row {
    QLineEdit* box;
    std::string message;
  };
  Type(text1_, "12");
  Type(text2_, "AB");
  Type(text3_, "1");
  const Row rows[] = {{text1_, kNumbersOnly},
                      {text2_, "Please enter letters only!"},
                      {text3_, "Please enter numbers 1 to 3 only!"}};
  for (const Row& row : rows) {
    const QString before = row.box->text();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Escape}) {
      doubles_.dialogs.shown.clear();
      Key(row.box, key);
      ASSERT_EQ(Messages().size(), 1U) << row.message << " key " << key;
      EXPECT_EQ(Messages()[0], row.message);
      EXPECT_EQ(row.box->text(), before);
    }
  }
  EXPECT_FALSE(Launched());
}

TEST_F(GreetTest, EscDeclinedThenRefusedByTheFilter) {
  Key(text1_, Qt::Key_Escape);
  EXPECT_EQ(doubles_.log, (EventLog{"Blanke.Load", "Unload Blanke", "Message " + kNumbersOnly}));
  // On the button there is no filter: the quit question only.
  Type(text1_, "12");
  Click(command1_);
  doubles_.log.clear();
  Key(command1_, Qt::Key_Escape);
  EXPECT_EQ(doubles_.log, (EventLog{"Unload Blanke"}));
}

TEST_F(GreetTest, RegistryThatCannotBeCheckedLetsNoIdPass) {
  std::filesystem::create_directory(dir_ / "CurrentSubjects.txt");
  Type(text1_, "13");
  Click(command1_);
  ASSERT_EQ(Messages().size(), 1U);
  EXPECT_EQ(Messages()[0].rfind("The subject registry " + (dir_ / "CurrentSubjects.txt").string() +
                                    " cannot be read.\rError 75: ",
                                0),
            0U);
  EXPECT_EQ(Focus(), text1_);

  std::filesystem::remove(dir_ / "CurrentSubjects.txt");
  std::ofstream(dir_ / "CurrentSubjects.txt", std::ios::binary) << "S12 AB 1\r\n";
  Tab();
  ASSERT_EQ(Messages().size(), 2U);
  EXPECT_EQ(Messages()[1].rfind("Line 1 of the subject registry ", 0), 0U);
  EXPECT_EQ(Focus(), text1_);
  EXPECT_FALSE(Launched());
}

// The focus rules

TEST_F(GreetTest, TabOrderRunsThroughTheBoxesToStartAndAround) {
  Type(text1_, "12");
  Tab();
  EXPECT_EQ(Focus(), text2_);
  Type(text2_, "AB");
  Tab();
  EXPECT_EQ(Focus(), text3_);
  Type(text3_, "2");
  Tab();
  EXPECT_EQ(Focus(), command1_);
  Tab();
  EXPECT_EQ(Focus(), text1_);
  Backtab();
  EXPECT_EQ(Focus(), command1_);
  Backtab();
  EXPECT_EQ(Focus(), text3_);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(Launched());
}

TEST_F(GreetTest, ClickOnAnotherBoxValidatesFirst) {
  Click(text3_);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Please insert subject id!"}));
  EXPECT_EQ(Focus(), text1_);
  Type(text1_, "13");
  Click(text3_);  // Text2 is skipped: only the box being left is validated
  EXPECT_EQ(Focus(), text3_);
  Click(text2_);
  EXPECT_EQ(Messages().size(), 2U);
  EXPECT_EQ(Messages()[1], "Please insert Order Condition!");
  EXPECT_EQ(Focus(), text3_);
}

TEST_F(GreetTest, ClickOnStartWithARegisteredIdStartsNothing) {
  Register(12);
  const std::string before = Registry();
  Type(text1_, "12");
  Click(command1_);
  ASSERT_EQ(Messages().size(), 1U);
  EXPECT_EQ(Messages()[0].rfind("Sorry subject 12 allready exsists.\r", 0), 0U);
  EXPECT_FALSE(Launched());
  EXPECT_EQ(Registry(), before);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Res_Data"));
  EXPECT_EQ(Focus(), text1_);
  EXPECT_FALSE(command1_->isDown());
}

TEST_F(GreetTest, StartWithInitialsAndConditionNeverVisitedLaunchesWithBlanks) {
  Type(text1_, "12");
  Click(command1_);
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(Launched());
  EXPECT_EQ(doubles_.state.orderCondition, 0);
  const std::string line = Registry();
  ASSERT_EQ(line.size(), 33U);
  EXPECT_EQ(line.substr(0, 14), " 12" + std::string(11, ' '));
  EXPECT_EQ(line.substr(14, 14), std::string(14, ' '));
  EXPECT_EQ(line.substr(28), " 0 \r\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Res_Data"));
  EXPECT_EQ(doubles_.log, (EventLog{"Blanke.Load", "SetCursorPos 15360 11520", "Display.Load",
                                    "Display.Visible", "Rest.Load", "Rest.Visible", "Blanke.Load",
                                    "Blanke.Visible", "ShowBlankeCross 1000 1000 500 Display"}));
}

// A double click, or a click queued before the experiment screens cover this one.
TEST_F(GreetTest, SecondClickOnStartLaunchesNothingMore) {
  Type(text1_, "12");
  Click(command1_);
  Click(command1_);
  EXPECT_EQ(Registry(), RegistryLine(12, "", 0));
  EXPECT_EQ(
      std::count(doubles_.log.begin(), doubles_.log.end(), "ShowBlankeCross 1000 1000 500 Display"),
      1);
}

TEST_F(GreetTest, FullEntryLaunchesWithTheBoxesAsTyped) {
  Type(text1_, "12");
  Tab();
  Type(text2_, "AB");
  Tab();
  Type(text3_, "1");
  Tab();
  ASSERT_EQ(Focus(), command1_);
  Key(command1_, Qt::Key_Return);  // Enter on the focused button presses it
  ASSERT_TRUE(Launched());
  EXPECT_EQ(Registry(), RegistryLine(12, "AB", 1));
  EXPECT_EQ(doubles_.state.subjectId, 12);
  EXPECT_EQ(doubles_.state.orderCondition, 1);
}

TEST_F(GreetTest, LeadingZerosNameTheSameSubject) {
  Register(7);
  Type(text1_, "007");
  Tab();
  EXPECT_EQ(doubles_.state.subjectId, 7);
  ASSERT_EQ(Messages().size(), 1U);
  EXPECT_EQ(Messages()[0].rfind("Sorry subject 7 allready exsists.\r", 0), 0U);
  for (int i = 0; i < 3; ++i) Key(text1_, Qt::Key_Backspace);
  Type(text1_, "7");
  Tab();
  ASSERT_EQ(Messages().size(), 2U);
  EXPECT_EQ(Messages()[1], Messages()[0]);
  EXPECT_EQ(Focus(), text1_);
}

TEST_F(GreetTest, EveryActivationFocusesTheIdBox) {
  Type(text1_, "12");
  Tab();
  ASSERT_EQ(Focus(), text2_);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  greet_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
  EXPECT_EQ(Focus(), text1_);
  EXPECT_TRUE(Messages().empty());  // moving the focus on activation validates nothing
}

TEST_F(GreetTest, ComingBackFromAMessageBoxIsNoActivation) {
  // The message box is a real modal window that closes itself.
  doubles_.dialogs.onShow = [](const Message&) {
    QDialog box;
    QTimer::singleShot(0, &box, &QDialog::accept);
    box.exec();
  };
  Type(text1_, "12");
  Tab();
  Type(text2_, "A");
  Tab();
  ASSERT_EQ(Messages().size(), 1U);
  // A window manager gives the activation back to the window under a closed dialog; the
  // offscreen platform leaves that to the program.
  greet_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
  EXPECT_EQ(Focus(), text2_);
}

// The layout

TEST_F(GreetTest, WorkedExampleOnA1024By768Screen) {
  greet_->setGeometry(0, 0, 1024, 768);  // 15360 x 11520 twips at 96 dots per inch
  const GreetLayout& layout = greet_->layout();
  EXPECT_FLOAT_EQ(layout.label1.left, 7432.5F);
  EXPECT_FLOAT_EQ(layout.label1.top, 5512.5F);
  EXPECT_FLOAT_EQ(layout.text1.left, 7440 + 832.5F);
  EXPECT_FLOAT_EQ(layout.text1.top, 4320 + 232.5F);
  EXPECT_FLOAT_EQ(layout.command1.left, 6360 + 832.5F);
  EXPECT_FLOAT_EQ(layout.label2.top, 2880 + 232.5F);
  // Drawn at whole pixels, 15 twips each: 8272.5 / 15 = 551.5 and 4552.5 / 15 = 303.5.
  EXPECT_EQ(text1_->geometry(), QRect(552, 304, 81, 41));

  // A second layout at the same size moves nothing.
  QResizeEvent again(greet_->size(), greet_->size());
  QApplication::sendEvent(greet_.get(), &again);
  EXPECT_FLOAT_EQ(layout.text1.left, 7440 + 832.5F);
  EXPECT_EQ(text1_->geometry(), QRect(552, 304, 81, 41));
}

}  // namespace
}  // namespace cue::testing
