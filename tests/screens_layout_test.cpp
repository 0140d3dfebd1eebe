#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screens/form.h"
#include "screens/layout.h"

namespace cue {
namespace {

constexpr FormSize kScreen{15360, 11520};  // 1024 x 768 pixels at 15 twips per pixel

TEST(CenterControlTest, MarkerOfTheStartUpScreenAndItsShift) {
  Control marker{"Label1", 6600, 5280, 495, 495};
  float dx = 0, dy = 0;
  CenterControl(marker, kScreen, dx, dy);
  EXPECT_FLOAT_EQ(marker.left, 7432.5F);
  EXPECT_FLOAT_EQ(marker.top, 5512.5F);
  EXPECT_FLOAT_EQ(dx, 832.5F);
  EXPECT_FLOAT_EQ(dy, 232.5F);
  CenterControl(marker, kScreen, dx, dy);  // a second layout at the same size moves nothing
  EXPECT_EQ(dx, 0.0F);
  EXPECT_EQ(dy, 0.0F);
}

TEST(CenterControlTest, ControlWiderThanTheFormGetsANegativeLeft) {
  Control wide{"w", 100, 100, 20000, 100};
  float dx = 0, dy = 0;
  CenterControl(wide, kScreen, dx, dy);
  EXPECT_FLOAT_EQ(wide.left, -2320.0F);
  EXPECT_FLOAT_EQ(dx, -2420.0F);
  EXPECT_FLOAT_EQ(wide.width, 20000.0F);  // size unchanged
}

TEST(CenterControlGroupTest, RestLabelLandsInTheMiddle) {
  Control label{"Label1", 2400, 3720, 6615, 495};
  Control* controls[] = {&label};
  CenterControlGroup(kScreen, controls);
  EXPECT_FLOAT_EQ(label.left, 4372.5F);
  EXPECT_FLOAT_EQ(label.top, 5512.5F);
}

TEST(CenterControlGroupTest, NoVisibleControlMovesNothing) {
  Control a{"a", 10, 20, 30, 40, false}, b{"b", 500, 600, 70, 80, false};
  Control* controls[] = {&a, &b};
  CenterControlGroup(kScreen, controls);
  EXPECT_EQ(a.left, 10.0F);
  EXPECT_EQ(a.top, 20.0F);
  EXPECT_EQ(b.left, 500.0F);
  EXPECT_EQ(b.top, 600.0F);
}

TEST(CenterControlGroupTest, HiddenControlsMoveWithTheVisibleOnesButDoNotCount) {
  Control left{"a", 1000, 1000, 1000, 1000};
  Control right{"b", 3000, 2000, 1000, 1000};
  Control hidden{"c", 0, 0, 9000, 9000, false};
  Control* controls[] = {&left, &right, &hidden};
  CenterControlGroup(kScreen, controls);
  // The visible box 1000..4000 x 1000..3000 is centred: offset (5180, 3760).
  EXPECT_FLOAT_EQ(left.left, 6180.0F);
  EXPECT_FLOAT_EQ(right.top, 5760.0F);
  EXPECT_FLOAT_EQ(hidden.left, 5180.0F);
  EXPECT_FLOAT_EQ(hidden.top, 3760.0F);
}

class ScaleControlsTest : public ::testing::Test {
 protected:
  Control ole_{"OLE1", 0, 0, 8415, 1575};
  Control other_{"Other", 100, 200, 50, 50};
  Control twin_{"OLE1", 300, 400, 10, 10};  // another member of ctl's control array
  ScaleMemory memory_;
};

TEST_F(ScaleControlsTest, FirstCallOnlyRemembersTheSize) {
  Control* controls[] = {&ole_, &other_};
  ScaleControls({8445, 1590}, controls, ole_, memory_);
  EXPECT_EQ(ole_.width, 8415.0F);
  EXPECT_EQ(other_.left, 100.0F);
  EXPECT_EQ(memory_.lastFormWidth, 8445.0F);
  EXPECT_EQ(memory_.lastFormHeight, 1590.0F);
}

TEST_F(ScaleControlsTest, ScalesInProportionAndTwiceAtOneSizeChangesNothing) {
  Control* controls[] = {&ole_, &other_, &twin_};
  ScaleControls({8000, 2000}, controls, ole_, memory_);
  ScaleControls({16000, 3000}, controls, ole_, memory_);
  EXPECT_FLOAT_EQ(ole_.width, 16830.0F);
  EXPECT_FLOAT_EQ(ole_.height, 2362.5F);
  EXPECT_FLOAT_EQ(other_.left, 200.0F);
  EXPECT_FLOAT_EQ(other_.top, 300.0F);
  EXPECT_FLOAT_EQ(other_.width, 50.0F);
  // Members that share ctl's name are neither moved nor resized.
  EXPECT_EQ(twin_.left, 300.0F);
  EXPECT_EQ(twin_.width, 10.0F);

  const Control before = ole_;
  ScaleControls({16000, 3000}, controls, ole_, memory_);
  EXPECT_EQ(ole_.width, before.width);
  EXPECT_EQ(ole_.height, before.height);
  EXPECT_FLOAT_EQ(other_.left, 200.0F);
}

class RecordingWindows final : public WindowSystem {
 public:
  RecordingWindows(float w, float h) : w_(w), h_(h) {}
  float ScreenWidthTwips() const override { return w_; }
  float ScreenHeightTwips() const override { return h_; }
  void SetCursorPos(int x, int y) override { calls.emplace_back(x, y); }
  std::vector<std::pair<int, int>> calls;

 private:
  float w_, h_;
};

TEST(ParkCursorTest, UsesTheScreenSizeInTwipsRoundedHalfToEven) {
  RecordingWindows screen(15360, 11520);
  ParkCursor(screen);
  RecordingWindows halves(100.5F, 101.5F);
  ParkCursor(halves);
  EXPECT_EQ(screen.calls, (std::vector<std::pair<int, int>>{{15360, 11520}}));
  EXPECT_EQ(halves.calls, (std::vector<std::pair<int, int>>{{100, 102}}));
}

class RecordingForm final : public Form {
 public:
  RecordingForm(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  void Load() override { log_.push_back("load " + name_); }
  void Show() override { log_.push_back("show " + name_); }
  void SetVisible(bool v) override { log_.push_back((v ? "visible " : "hidden ") + name_); }
  bool Visible() const override { return false; }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

TEST(FormListTest, EachFormIsLoadedAndShownBeforeTheNextIsTouched) {
  std::vector<std::string> log;
  RecordingForm display("Display", log), rest("Rest", log), blanke("Blanke", log);
  Form* const launch[] = {&display, &rest, &blanke};
  LoadAndShowForms(launch);
  EXPECT_EQ(log, (std::vector<std::string>{"load Display", "visible Display", "load Rest",
                                           "visible Rest", "load Blanke", "visible Blanke"}));
  log.clear();
  Form* const one[] = {&rest};
  ShowForms(one);
  EXPECT_EQ(log, (std::vector<std::string>{"show Rest"}));
}

}  // namespace
}  // namespace cue
