#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "intake/qt/greet.h"
#include "intake/registry.h"
#include "intake_doubles.h"

namespace cue::testing {

// The start-up screen, loaded and active, in a fresh current folder, with recording doubles
// of the screens it hands over to and scripted message boxes.
// The verbs and controls are public so that table rows can act through them.
class GreetTest : public ::testing::Test {
 public:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("cue-greet-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);

    greet_ = std::make_unique<Greet>(doubles_.Context());
    greet_->Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(greet_.get()));
    text1_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text1"));
    text2_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text2"));
    text3_ = greet_->findChild<QLineEdit*>(QStringLiteral("Text3"));
    command1_ = greet_->findChild<QPushButton*>(QStringLiteral("Command1"));
    ASSERT_TRUE(text1_ && text2_ && text3_ && command1_);
  }

  void TearDown() override {
    greet_.reset();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }

  // Helper verbs, each as the experimenter would do it.
  void Type(QWidget* box, const char* text) { QTest::keyClicks(box, QString::fromLatin1(text)); }
  void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(w, key, mods);
  }
  void Tab() { Key(Focus(), Qt::Key_Tab); }
  void Backtab() { Key(Focus(), Qt::Key_Backtab, Qt::ShiftModifier); }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  QWidget* Focus() const { return greet_->focusWidget(); }
  QLineEdit* Box(int n) const { return n == 1 ? text1_ : n == 2 ? text2_ : text3_; }

  void Register(std::int16_t id) {
    std::ofstream(dir_ / "CurrentSubjects.txt", std::ios::binary | std::ios::app)
        << RegistryLine(id, "XY", 2);
  }
  std::string Registry() const {
    std::ifstream in(dir_ / "CurrentSubjects.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Launched() const {
    const EventLog& log = doubles_.log;
    return std::find(log.begin(), log.end(), "ShowBlankeCross 1000 1000 500 Display") != log.end();
  }
  std::vector<std::string> Messages() const { return doubles_.dialogs.Texts(); }

  std::filesystem::path previous_;
  std::filesystem::path dir_;
  DiskFileSystem files_;
  IntakeDoubles doubles_{files_};
  std::unique_ptr<Greet> greet_;
  QLineEdit* text1_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QPushButton* command1_ = nullptr;
};

}  // namespace cue::testing
