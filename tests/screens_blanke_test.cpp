// Catches: the blank screen's cross or waits at the wrong time or in the wrong order, the quit
// question's text/title/icon, keys other than Esc or space acting, and the rest screen's key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screens/blanke.h"
#include "screens/rest.h"
#include "support/doubles.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::FakeWindows;
using testing::ScriptedDialogs;
using testing::VirtualTime;

class BlankeTest : public ::testing::Test, public BlankeView {
 protected:
  BlankeTest() { blanke_.SetView(this); }

  void ShowBlankeForm() override { log_.push_back("show@" + Now()); }
  void SetCrossVisible(bool visible) override {
    log_.push_back((visible ? "cross@" : "nocross@") + Now());
  }
  std::string Now() const { return std::to_string(time_.Micros() / 1000 - 1000); }

  struct Recorder final : Startable {
    explicit Recorder(BlankeTest& t) : t_(t) {}
    void Start() override { t_.log_.push_back("start@" + t_.Now()); }
    BlankeTest& t_;
  };

  VirtualTime time_;  // starts at 1000 ms; Now() counts from there
  ModalGate gate_{time_};
  ScriptedDialogs rawDialogs_;
  GatedDialogs dialogs_{rawDialogs_, gate_};
  FakeWindows windows_;
  int quits_ = 0;
  FrameWaits waits_{time_, gate_};
  Blanke blanke_{waits_, dialogs_, windows_, [this] {
                   ++quits_;
                   gate_.Shutdown();
                   time_.CancelAll();
                 }};
  std::vector<std::string> log_;
  Recorder form_{*this};
};

// Both paths that show the blank screen, around a rest (plain) and between trials (with the
// cross), keep their order and times, park the pointer in the screen's corner and ignore every
// key but Esc in each part.
TEST_F(BlankeTest, BothBlankPathsParkThePointerAndIgnoreKeys) {
  const auto press = [this] {
    for (int key : {109, 110, 32, 120, 13, 9, 96}) blanke_.Form_KeyPress(key);
  };
  blanke_.ShowBlanke(2000, form_);
  EXPECT_EQ(windows_.cursor, (std::vector<std::pair<int, int>>{{15360, 11520}}));
  time_.Advance(1000);
  press();
  time_.RunUntilIdle();
  blanke_.ShowBlankeCross(1000, 1000, 500, form_);
  EXPECT_EQ(windows_.cursor, (std::vector<std::pair<int, int>>(2, {15360, 11520})));
  for (int ms : {500, 1000, 800}) time_.Advance(ms), press();  // blank, cross, blank
  time_.RunUntilIdle();
  EXPECT_EQ(log_, (std::vector<std::string>{"show@0", "start@2000", "show@2000", "cross@3000",
                                            "nocross@4000", "start@4500"}));
  EXPECT_FALSE(blanke_.CrossVisible());
  EXPECT_TRUE(rawDialogs_.shown.empty());
}

TEST_F(BlankeTest, ASecondWaitOnAChannelRestartsItAndBothEndTogether) {
  blanke_.Wait2(1000, [this] { log_.push_back("first@" + Now()); });
  time_.Advance(600);
  blanke_.Wait2(1000, [this] { log_.push_back("second@" + Now()); });
  EXPECT_TRUE(blanke_.waiting2());
  time_.RunUntilIdle();
  EXPECT_EQ(log_, (std::vector<std::string>{"second@1600", "first@1600"}));
  EXPECT_FALSE(blanke_.waiting2());
}

TEST_F(BlankeTest, CancelWaitEndsPendingWaitsAndNoTimerEventFollows) {
  blanke_.Wait(1000, [this] { log_.push_back("one@" + Now()); });
  blanke_.Wait2(2000, [this] { log_.push_back("two@" + Now()); });
  time_.Advance(100);
  blanke_.CancelWait();
  EXPECT_FALSE(blanke_.waiting());
  EXPECT_FALSE(blanke_.waiting2());
  EXPECT_TRUE(log_.empty());  // not inside the call
  time_.RunUntilIdle();
  EXPECT_EQ(log_, (std::vector<std::string>{"one@100", "two@100"}));
}

TEST_F(BlankeTest, AWaitThatEndsWhileTheQuestionIsOpenGoesOnOnceAfterTheAnswer) {
  blanke_.ShowBlankeCross(1000, 1000, 500, form_);
  time_.Advance(400);
  rawDialogs_.onShow = [this](const Message&) { time_.Advance(900); };  // answered at 1300
  blanke_.Form_KeyPress(27);
  ASSERT_EQ(rawDialogs_.shown.size(), 1U);
  EXPECT_EQ(
      testing::Shown(rawDialogs_.shown[0]),
      std::tuple("Do you really want to quit?", "cuesearch", Buttons::kYesNo, Icon::kQuestion));
  time_.RunUntilIdle();
  EXPECT_EQ(log_, (std::vector<std::string>{"show@0", "cross@1300", "nocross@2300", "start@2800"}));
  EXPECT_EQ(quits_, 0);
}

TEST_F(BlankeTest, QuitAnsweredYesEndsEverything) {
  blanke_.ShowBlankeCross(1000, 1000, 500, form_);
  time_.Advance(1500);
  rawDialogs_.script.push_back(Answer::kYes);
  rawDialogs_.onShow = [this](const Message&) { time_.Advance(800); };  // the wait ends meanwhile
  blanke_.Form_KeyPress(27);
  time_.RunUntilIdle();
  EXPECT_EQ(quits_, 1);
  EXPECT_EQ(log_, (std::vector<std::string>{"show@0", "cross@1000"}));
}

class RestTest : public BlankeTest {
 protected:
  RestTest() { rest_.SetForm(&restForm_); }
  bool beginBlock_ = false;
  Recorder display_{*this};
  testing::EventLog restLog_;
  testing::RecordingForm restForm_{"Rest", restLog_};
  Rest rest_{blanke_, display_, [this] { beginBlock_ = true; }};
};

TEST_F(RestTest, SpaceStartsTheNextBlockAfterTwoSecondsOfBlank) {
  rest_.Start();
  EXPECT_EQ(restLog_, (testing::EventLog{"Rest.Show"}));
  for (int key : {109, 110, 13, 97}) rest_.Form_KeyPress(key);  // nothing
  time_.Advance(60'000);                                        // no time limit
  EXPECT_TRUE(log_.empty());
  rest_.Form_KeyPress(' ');
  EXPECT_TRUE(beginBlock_);
  rest_.Form_KeyPress(' ');  // a second space does not start the block twice
  time_.RunUntilIdle();
  EXPECT_EQ(log_, (std::vector<std::string>{"show@60000", "start@62000"}));
}

TEST_F(RestTest, EscAnsweredNoLeavesTheRestScreenUp) {
  rest_.Start();
  rest_.Form_KeyPress(27);
  EXPECT_EQ(rawDialogs_.shown.size(), 1U);
  EXPECT_TRUE(log_.empty());
  rest_.Form_KeyPress(' ');
  time_.RunUntilIdle();
  EXPECT_EQ(log_.back(), "start@2000");
}

}  // namespace
}  // namespace cue
