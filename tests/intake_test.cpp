// Catches: a registry line written wrongly, a character past a box's filter, or a start-up
// screen whose texts, fonts, messages, focus moves or launch steps differ from what is expected.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "intake/entry_rules.h"
#include "intake/qt/greet.h"
#include "intake/registry.h"
#include "support/doubles.h"
#include "support/scratch_dir.h"

namespace cue::testing {
namespace {

using Result = SubjectCheck::Result;

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

// The registry lines the system writes for 12 AB 1 and 7 CD 2.
const std::string kLine12 = " 12" + Blanks(11) + "AB" + Blanks(12) + " 1 \r\n";
const std::string kLine7 = " 7" + Blanks(12) + "CD" + Blanks(12) + " 2 \r\n";
const std::string kPath = "/lab/CurrentSubjects.txt";

TEST(EntryFilterTest, EdgesOfEveryTable) {
  const struct {
    Box box;
    std::vector<int> allowed, refused;
  } rows[] = {
      {Box::kSubjectId, {8, '0', '9'}, {'/', ':', 'a', 0, 7, 9, 0x0661, 0xB2}},
      {Box::kInitials, {8, 'A', 'Z', 'a', 'z'}, {'@', '[', '`', '{', '1', 0xC4}},
      {Box::kOrderCondition, {8, '1', '3'}, {'0', '4'}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.box));
    for (const int code : row.allowed) EXPECT_TRUE(Allowed(row.box, code)) << code;
    // Also refused by every box: blank, Enter, Esc, the clipboard and undo keys, DEL and beyond.
    std::vector<int> refused = {32, 13, 27, 3, 22, 24, 26, 127, 128, 255, 0x4E00, 0xFFFF};
    refused.insert(refused.end(), row.refused.begin(), row.refused.end());
    for (const int code : refused) EXPECT_FALSE(Allowed(row.box, code)) << code;
  }
}

// A set-up that makes the memory file system's `errors` (open, close or make) fail at path.
std::function<void(MemoryFileSystem&)> Fail(
    std::map<std::string, FileError> MemoryFileSystem::*errors, const std::string& path,
    FileFailure cause, int code, const std::string& text) {
  return [=](MemoryFileSystem& m) { (m.*errors)[path] = {cause, code, path, text}; };
}

// Start pressed: with nothing in the way, every step in order. With the disk or another program
// in the way, each cause is told in the application's box (a registration lost meanwhile in the
// entry's), and the program ends only where the subject can no longer be started again.
TEST(GreetLaunchTest, StepsAndWhatStopsThem) {
  const std::string folder = "/lab/Res_Data", appended = "Append " + kPath,
                    made = "MakeDirectory " + folder;
  const std::string registryLock = kPath + ".lock", runLock = folder + "/R-12.txt.lock";
  const std::string notAdded =
      "Message The subject could not be added to the registry " + kPath + ".\rError ";
  const std::string noFolder = "Message The results folder " + folder + " could not be created.\r";
  const std::string ends = ".\rThe registry is unchanged. The program ends.";
  const std::string ends12 = ".\rSubject 12 is already in the registry. The program ends.";
  const std::string locked = ".\rError 70: Locked by another run.\r";
  using enum FileFailure;
  const auto open = &MemoryFileSystem::openErrors, close = &MemoryFileSystem::closeErrors,
             make = &MemoryFileSystem::makeErrors;
  // clang-format off
  const EventLog launched = {appended, made, "SetCursorPos 15360 11520", "Display.Load",
                             "Display.Visible", "Rest.Load", "Rest.Visible", "Blanke.Load",
                             "Blanke.Visible", "ShowBlankeCross 1000 1000 500 Display"};
  // clang-format on
  // The title is the message's ("" for none); lineEnd is added to the registry before the new line.
  const struct {
    const char* name;
    std::function<void(MemoryFileSystem&)> setUp;
    EventLog log;
    std::string title = kAppTitle, lineEnd = "";
  } rows[] = {
      {"nothing in the way", [](auto&) {}, launched, ""},
      // The registry ends without a line end, with a lone LF, with a lone CR.
      {"no line end", [&](auto& m) { m.files[kPath] = " 5 X 1"; }, launched, "", "\r\n"},
      {"a lone LF", [&](auto& m) { m.files[kPath] = " 5 X 1\n"; }, launched, ""},
      {"a lone CR", [&](auto& m) { m.files[kPath] = " 5 X 1\r"; }, launched, ""},
      // clang-format off
      {"not opened", Fail(open, kPath, kRefused, EACCES, "Permission denied"),
       {notAdded + "75: Permission denied" + ends, "EndProgram"}},
      {"not closed", Fail(close, kPath, kDiskFull, ENOSPC, "No space left on device"),
       {notAdded + "61: No space left on device" + ends, "EndProgram"}},
      {"no folder", Fail(make, folder, kPathNotFound, ENOENT, "Gone"),
       {appended, made, noFolder + "Error 76: Gone" + ends12, "EndProgram"}},
      // "Already there" is no error only where a folder is there.
      {"exists and no folder", Fail(make, folder, kExists, EEXIST, "File exists"),
       {appended, made, noFolder + "Error 75: File exists" + ends12, "EndProgram"}},
      // Two programs in one lab folder: the check is made again under the registry's lock,
      // and the subject's lock is held for the whole run.
      {"registry locked", [&](auto& m) { m.locked.insert(registryLock); },
       {"Message The subject registry is in use: its lock " + registryLock +
        " is held by another start of the program" + locked +
        "Nothing was registered. Press Start again in a moment."}},
      {"registry lock not writable",
       Fail(open, registryLock, kRefused, EACCES, "Permission denied: x"),
       {"Message The subject registry's lock " + registryLock +
        " cannot be taken.\rError 75: Permission denied: x.\r"
        "Nothing was registered. The program cannot register subjects in this lab folder until the "
        "lock file can be written."}},
      {"registered meanwhile", [&](auto& m) { m.files[kPath] += kLine12; },
       {"Message Sorry subject 12 allready exsists.\rLook in /lab/CurrentSubjects to see current "
        "subjects."}, "ERROR"},
      {"subject running", [&](auto& m) { m.locked.insert(runLock); },
       {appended, made, "Message Subject 12 is being run by another program: its lock " + runLock +
        " is held" + locked + "That run's results file is left untouched. The program ends.",
        "EndProgram"}},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    IntakeDoubles d;
    d.memory.files[kPath] = kLine7;
    row.setUp(d.memory);
    const std::string before = d.memory.files[kPath];
    GreetLogic logic(d.Context());
    logic.Form_Load();
    ASSERT_EQ(d.log, EventLog{"Blanke.Load"});
    d.log.clear();
    d.state.subjectId = 12;
    logic.Command1_Click("AB", "1");
    EXPECT_EQ(d.log, row.log);
    EXPECT_EQ(d.memory.files[kPath],
              before + (row.log[0] == appended ? row.lineEnd + kLine12 : ""));
    ASSERT_EQ(d.dialogs.shown.size(), row.title.empty() ? 0U : 1U);
    if (row.title.empty()) {
      EXPECT_EQ(d.state.orderCondition, 1);
      EXPECT_EQ(IsNewSubject(d.files, 12).result, Result::kRegistered);  // read back
      EXPECT_TRUE(IsNewSubject(d.files, 13).IsNew());
      continue;
    }
    EXPECT_EQ(d.dialogs.shown[0].title, row.title);
    EXPECT_EQ(d.dialogs.shown[0].icon, Icon::kExclamation);
    if (row.log.back() == "EndProgram") continue;
    d.memory.locked.clear();
    d.memory.openErrors.clear();
    d.memory.files[kPath] = kLine7;
    logic.Command1_Click("AB", "1");  // refused without a change: Start works again
    EXPECT_EQ(d.memory.files[kPath], kLine7 + kLine12);
    EXPECT_EQ(d.memory.locked, (std::set<std::string>{runLock}));  // for the whole run
  }
}

// The start-up screen, loaded and active, in a fresh current folder, with recording doubles
// of the screens it hands over to and scripted message boxes.
class GreetTest : public ::testing::Test {
 protected:
  GreetTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.Path());
  }
  ~GreetTest() override {
    greet_.reset();
    std::filesystem::current_path(previous_);
  }
  void SetUp() override { Start(); }

  // Loads the screen afresh, with fresh doubles, as the next run in the same folder does.
  void Start() {
    greet_.reset();
    doubles_.emplace(&files_);
    greet_ = std::make_unique<Greet>(doubles_->Context());
    greet_->Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
    text1_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text1"));
    text2_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text2"));
    text3_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text3"));
    command1_ = greet_->findChild<QPushButton*>(QStringLiteral("Command1"));
    ASSERT_TRUE(text1_ && text2_ && text3_ && command1_);
  }

  // Types into whichever control has the focus, as the experimenter would: '\t' is Tab,
  // '\v' Shift+Tab, '\b' Backspace, '\r' Enter, '\x1b' Esc; '\2' and '\3' click Text2 and
  // Text3, '\4' clicks Start.
  void Keys(const char* keys) {
    for (; *keys != '\0'; ++keys) {
      if (*keys >= 2 && *keys <= 4) {
        QTest::mouseClick(std::array<QWidget*, 3>{text2_, text3_, command1_}[*keys - 2],
                          Qt::LeftButton);
      } else {
        QTest::keyClick(Focus(), *keys);
      }
    }
  }
  QWidget* Focus() const { return greet_->focusWidget(); }
  // The three boxes' texts, "Text1|Text2|Text3".
  std::string Texts() const {
    return (text1_->text() + u'|' + text2_->text() + u'|' + text3_->text()).toStdString();
  }
  std::string Registry() const {
    return std::get<std::string>(files_.ReadAll(RegistryPath(files_)));
  }
  // How often the experiment was started.
  long Launches() const {
    return std::ranges::count(doubles_->log, "ShowBlankeCross 1000 1000 500 Display");
  }
  std::vector<std::string> Messages() const { return doubles_->dialogs.Texts(); }

  std::filesystem::path previous_;
  ScratchDir dir_;
  DiskFileSystem files_;
  std::optional<IntakeDoubles> doubles_;
  std::unique_ptr<Greet> greet_;
  QLineEdit *text1_ = nullptr, *text2_ = nullptr, *text3_ = nullptr;
  QPushButton* command1_ = nullptr;
};

// Every row of the failure table, and what passes, typed into a fresh screen with 12 and 7
// registered.
TEST_F(GreetTest, EntryTable) {
  constexpr Icon kWarn = Icon::kExclamation, kNone = Icon::kNone;
  const std::string look = "\rLook in " + dir_.Path() + "/CurrentSubjects to see current subjects.";
  // The message ("" for none) and its icon; where the focus is afterwards, Text1|Text2|Text3.
  const struct {
    const char* keys;
    std::string message;
    Icon icon;
    const char *focus, *texts;
    int subjectId;
  } rows[] = {
      // A refused character is dropped; its box shows the message and keeps the focus.
      {"1\r", "Please enter numbers only!", kWarn, "Text1", "1||", 0},
      {"13\tA\x1b", "Please enter letters only!", kWarn, "Text2", "13|A|", 13},
      {"13\tAB\t4", "Please enter numbers 1 to 3 only!", kWarn, "Text3", "13|AB|", 13},
      // A box left empty, too short or with a registered ID keeps the focus; an ID box
      // emptied after a valid ID leaves no ID behind.
      {"13\tAB\v\b\b\t", "Please insert subject id!", kNone, "Text1", "|AB|", 0},
      {"12\t", "Sorry subject 12 allready exsists." + look, kWarn, "Text1", "12||", 12},
      {"007\t", "Sorry subject 7 allready exsists." + look, kWarn, "Text1", "007||", 7},
      {"13\tA\t", "Please insert subject initials!", kNone, "Text2", "13|A|", 13},
      {"13\tA\v", "Please insert subject initials!", kNone, "Text2", "13|A|", 13},
      {"13\tAB\t\t", "Please insert Order Condition!", kNone, "Text3", "13|AB|", 13},
      // What passes, and how much a box holds.
      {"0\t", "", kNone, "Text2", "0||", 0},
      {"1234\t", "", kNone, "Text2", "123||", 123},
      {"13\tabcd\t", "", kNone, "Text3", "13|abc|", 13},
      {"13\tAB\t12", "", kNone, "Text3", "13|AB|1", 13},
      {"13\tAB\v", "", kNone, "Text1", "13|AB|", 13},
      // On the button Esc meets no filter: the quit question only.
      {"13\tAB\t1\t\x1b", "", kNone, "Command1", "13|AB|1", 13},
      // A press on another control validates the box being left first; a refusal swallows it.
      {"\3", "Please insert subject id!", kNone, "Text1", "||", 0},
      {"12\4", "Sorry subject 12 allready exsists." + look, kWarn, "Text1", "12||", 12},
      {"13\3", "", kNone, "Text3", "13||", 13},  // past Text2, which is not validated
      {"13\3\2", "Please insert Order Condition!", kNone, "Text3", "13||", 13},
  };
  std::ofstream(dir_.File("CurrentSubjects.txt"), std::ios::binary)
      << RegistryLine(12, "XY", 2) << kLine7;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    Start();
    Keys(row.keys);
    EXPECT_EQ(Focus()->objectName().toStdString(), row.focus);
    EXPECT_EQ(Texts(), row.texts);
    EXPECT_EQ(doubles_->state.subjectId, row.subjectId);
    EXPECT_EQ(Launches(), 0);
    EXPECT_FALSE(command1_->isDown());
    // Only Esc asks the quit question.
    EXPECT_EQ(std::ranges::count(doubles_->log, "Unload Blanke"),
              std::ranges::count(std::string_view(row.keys), '\x1b'));
    const std::vector<Message>& shown = doubles_->dialogs.shown;
    EXPECT_EQ(shown.size(), row.message.empty() ? 0U : 1U);
    if (shown.size() == 1) {
      EXPECT_EQ(Shown(shown[0]), std::tuple(row.message, "ERROR", Buttons::kOk, row.icon));
    }
  }
}

// Every caption as the experimenter reads it, and every font; a control without its own font
// takes the window's, 18 pt bold.
TEST_F(GreetTest, CaptionsAndFonts) {
  const std::tuple<const char*, const char*, double, bool> rows[] = {
      // clang-format off
      {"Label2", "Welcome  please enter subject information:", 24, false},
      {"Label3", "Subject ID", 18, true}, {"Label4", "Subject Initials", 18, true},
      {"Label5", "Order Condition 1-3", 18, true}, {"Text1", "", 18, false},
      {"Text2", "", 18, false}, {"Text3", "", 18, true}, {"Command1", "Start", 8.25, false},
      // clang-format on
  };
  for (const auto& [name, text, points, bold] : rows) {
    SCOPED_TRACE(name);
    const auto* control = greet_->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->property("text").toString().toStdString(), text);
    EXPECT_EQ(control->font().pointSizeF(), points);
    EXPECT_EQ(control->font().bold(), bold);
  }
}

TEST_F(GreetTest, ARegistryThatCannotBeCheckedLetsNoIdPass) {
  const std::string path = dir_.File("CurrentSubjects.txt");
  std::filesystem::create_directory(path);
  Keys("13\4");
  std::filesystem::remove(path);
  std::ofstream(path, std::ios::binary) << kLine7 << "  S12\x01" << std::string(100, 'z') << "\r\n";
  Keys("\t");
  ASSERT_EQ(Messages().size(), 2U);
  EXPECT_EQ(Messages()[0], "The subject registry " + path +
                               " cannot be read.\rError 75: " + std::strerror(EISDIR) +
                               ".\rNo subject ID can be checked until the file can be read.");
  EXPECT_EQ(Messages()[1], "Line 2 of the subject registry " + path +
                               " does not begin with a subject ID:\r\"S12?" + std::string(26, 'z') +
                               "...\"\rNo subject ID can be checked until that line is corrected.");
  EXPECT_EQ(Focus(), text1_);
  EXPECT_EQ(Launches(), 0);
}

// The first run types every box and presses Enter on Start; the next run in the folder clicks
// Start twice without visiting the initials and the order condition.
TEST_F(GreetTest, TwoRunsWriteTheRegistryByteForByte) {
  Keys("12\tAB\t1\t\r");
  EXPECT_EQ(Launches(), 1);
  EXPECT_EQ(Registry(), kLine12);

  Start();
  // Two clicks: a double click, or a click queued before the experiment screens came up.
  Keys("12\t\b\b13\4\4");
  EXPECT_EQ(Messages().size(), 1U);  // the refusal of 12
  EXPECT_EQ(Launches(), 1);
  EXPECT_EQ(doubles_->state.orderCondition, 0);
  EXPECT_EQ(Registry(), kLine12 + " 13" + Blanks(25) + " 0 \r\n");
}

// Coming back from a message box is no activation: the focus stays in the refusing box.
// Every real activation puts it in the ID box.
TEST_F(GreetTest, ActivationFocusesTheIdBox) {
  doubles_->dialogs.onShow = [](const Message&) {  // a real modal window that closes itself
    QDialog box;
    QTimer::singleShot(0, &box, &QDialog::accept);
    box.exec();
  };
  Keys("13\tA\t");
  ASSERT_EQ(Messages().size(), 1U);
  // A window manager gives the activation back to the window under a closed dialog; the
  // offscreen platform leaves that to the program.
  greet_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
  EXPECT_EQ(Focus(), text2_);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  greet_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
  EXPECT_EQ(Focus(), text1_);
  EXPECT_EQ(Messages().size(), 1U);  // moving the focus on activation validates nothing
}

// Label1 is centred; every other control moves with it, and after another size and back, again
// only as far as it moved.
TEST_F(GreetTest, LayoutOnA1024By768Screen) {
  greet_->setGeometry(0, 0, 1024, 768);  // 15360 x 11520 twips
  greet_->setGeometry(0, 0, 800, 600);
  greet_->setGeometry(0, 0, 1024, 768);
  const GreetLayout design;
  const GreetLayout& layout = greet_->layout();  // Label1's own place: CenterControlTest
  for (const auto c : {&GreetLayout::label1, &GreetLayout::label2, &GreetLayout::label3,
                       &GreetLayout::label4, &GreetLayout::label5, &GreetLayout::text1,
                       &GreetLayout::text2, &GreetLayout::text3, &GreetLayout::command1}) {
    SCOPED_TRACE((design.*c).name);
    EXPECT_FLOAT_EQ((layout.*c).left - (design.*c).left, 832.5F);
    EXPECT_FLOAT_EQ((layout.*c).top - (design.*c).top, 232.5F);
  }
  // Drawn at whole pixels, 15 twips each: 8272.5 / 15 = 551.5 and 4552.5 / 15 = 303.5.
  EXPECT_EQ(text1_->geometry(), QRect(552, 304, 81, 41));
}

// Digits could go into the ID box, but only by typing: each way offers digits, which nothing
// else would stop. These run again on a real X server, where the middle button pastes the
// selection.
using PasteTest = GreetTest;
const QString kDigits = QStringLiteral("12");

// In the initials box the letter v would pass: Ctrl+V must arrive as code 22, and paste nothing.
TEST_F(PasteTest, CtrlVIsARefusedCharacter) {
  Keys("12\t");
  QGuiApplication::clipboard()->setText(QStringLiteral("AB"));
  QTest::keyClick(text2_, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Texts(), "12||");
  EXPECT_EQ(Messages(), std::vector<std::string>{"Please enter letters only!"});
}

TEST_F(PasteTest, NoOtherWayInTakesText) {
  QGuiApplication::clipboard()->setText(kDigits);
  QGuiApplication::clipboard()->setText(kDigits, QClipboard::Selection);  // where X has one
  QMimeData data;
  data.setText(kDigits);
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"Shift+Insert", [&] { QTest::keyClick(text1_, Qt::Key_Insert, Qt::ShiftModifier); }},
      {"the middle button", [&] { QTest::mouseClick(text1_, Qt::MiddleButton); }},
      {"a drag and drop",
       [&] {
         QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
         QApplication::sendEvent(text1_, &drop);
       }},
      {"an input method",
       [&] {
         QInputMethodEvent commit;
         commit.setCommitString(kDigits);
         QApplication::sendEvent(text1_, &commit);
       }},
      {"a context menu",
       [&] {  // a line edit's menu pops up without a loop of its own
         QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5),
                                   text1_->mapToGlobal(QPoint(5, 5)));
         QApplication::sendEvent(text1_, &request);
         EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "a context menu opened";
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

}  // namespace
}  // namespace cue::testing
