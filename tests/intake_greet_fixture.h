// Catches nothing alone: the start-up screen on the disk with recording doubles, for its tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "intake/qt/greet.h"
#include "intake/registry.h"
#include "support/doubles.h"

namespace cue::testing {

// The start-up screen, loaded and active, in a fresh current folder, with recording doubles
// of the screens it hands over to and scripted message boxes.
class GreetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    char pattern[] = "/tmp/cue-greet.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::filesystem::current_path(dir_);
    Start();
  }

  void TearDown() override {
    greet_.reset();
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }

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
  // '\v' Shift+Tab, '\b' Backspace, '\r' Enter, '\x1b' Esc.
  void Keys(const char* keys) {
    for (; *keys != '\0'; ++keys) QTest::keyClick(Focus(), *keys);
  }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  QWidget* Focus() const { return greet_->focusWidget(); }
  // The three boxes' texts, "Text1|Text2|Text3".
  std::string Texts() const {
    return (text1_->text() + u'|' + text2_->text() + u'|' + text3_->text()).toStdString();
  }

  void Register(std::int16_t id) {
    std::ofstream(dir_ / "CurrentSubjects.txt", std::ios::binary | std::ios::app)
        << RegistryLine(id, "XY", 2);
  }
  std::string Registry() const {
    return std::get<std::string>(files_.ReadAll(RegistryPath(files_)));
  }
  // How often the experiment was started.
  long Launches() const {
    return std::count(doubles_->log.begin(), doubles_->log.end(),
                      "ShowBlankeCross 1000 1000 500 Display");
  }
  std::vector<std::string> Messages() const { return doubles_->dialogs.Texts(); }

  std::filesystem::path previous_;
  std::filesystem::path dir_;
  DiskFileSystem files_;
  std::optional<IntakeDoubles> doubles_;
  std::unique_ptr<Greet> greet_;
  QLineEdit* text1_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QPushButton* command1_ = nullptr;
};

}  // namespace cue::testing
