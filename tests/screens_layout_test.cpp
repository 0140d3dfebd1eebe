// Catches: controls centred, grown or scaled by a wrong amount or edge, and the pointer parked
// anywhere but the screen's bottom-right corner.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "screens/layout.h"
#include "support/doubles.h"

namespace cue {
namespace {

constexpr FormSize kScreen{15360, 11520};  // 1024 x 768 pixels at 15 twips per pixel

TEST(CenterControlTest, CentresOnTheOuterSizeAndReportsTheShift) {
  const struct {
    Control ctl;
    float left, top, dx, dy;
  } rows[] = {
      {{"Label1", 6600, 5280, 495, 495}, 7432.5F, 5512.5F, 832.5F, 232.5F},  // the start-up marker
      {{"w", 100, 100, 20000, 100}, -2320.0F, 5710.0F, -2420.0F, 5610.0F},   // wider than the form
  };
  for (auto row : rows) {
    const float width = row.ctl.width;
    const Shift first = CenterControl(row.ctl, kScreen);
    EXPECT_EQ((std::vector<float>{row.ctl.left, row.ctl.top, row.ctl.width, first.dx, first.dy}),
              (std::vector<float>{row.left, row.top, width, row.dx, row.dy}));
    const Shift again =
        CenterControl(row.ctl, kScreen);  // a second layout at the same size moves nothing
    EXPECT_EQ(std::abs(again.dx) + std::abs(again.dy), 0.0F);
  }
}

TEST(CenterControlGroupTest, CentresTheVisibleBoxAndMovesHiddenControlsAlong) {
  Control rest{"Label1", 2400, 3720, 6615, 495};
  Control* one[] = {&rest};
  CenterControlGroup(kScreen, one);
  EXPECT_FLOAT_EQ(rest.left, 4372.5F);
  EXPECT_FLOAT_EQ(rest.top, 5512.5F);

  Control left{"a", 1000, 1000, 1000, 1000};
  Control right{"b", 3000, 2000, 1000, 1000};
  Control hidden{"c", 0, 0, 9000, 9000, false};
  Control* group[] = {&left, &right, &hidden};
  CenterControlGroup(kScreen, group);
  // The visible box 1000..4000 x 1000..3000 is centred: offset (5180, 3760).
  EXPECT_FLOAT_EQ(left.left, 6180.0F);
  EXPECT_FLOAT_EQ(right.top, 5760.0F);
  EXPECT_FLOAT_EQ(hidden.left, 5180.0F);
  EXPECT_FLOAT_EQ(hidden.top, 3760.0F);

  left.visible = right.visible = false;  // nothing visible: nothing moves
  CenterControlGroup(kScreen, group);
  EXPECT_FLOAT_EQ(left.left, 6180.0F);
  EXPECT_FLOAT_EQ(hidden.top, 3760.0F);
}

TEST(FitTextTest, AControlGrowsToItsTextKeepingTheSideTheTextKeepsTo) {
  const struct {
    float textWidth, textHeight;
    Anchor across, down;
    Control fitted;  // from 1000, 2000, 600 x 300
  } rows[] = {
      {600, 300, Anchor::kCenter, Anchor::kCenter, {"", 1000, 2000, 600, 300}},  // fits: kept
      {900, 200, Anchor::kStart, Anchor::kStart, {"", 1000, 2000, 900, 300}},
      {900, 200, Anchor::kEnd, Anchor::kStart, {"", 700, 2000, 900, 300}},
      {900, 200, Anchor::kCenter, Anchor::kStart, {"", 850, 2000, 900, 300}},
      {500, 500, Anchor::kStart, Anchor::kStart, {"", 1000, 2000, 600, 500}},
      {500, 500, Anchor::kStart, Anchor::kEnd, {"", 1000, 1800, 600, 500}},
      {500, 500, Anchor::kStart, Anchor::kCenter, {"", 1000, 1900, 600, 500}},
  };
  for (const auto& row : rows) {
    Control c{"", 1000, 2000, 600, 300};
    FitText(c, row.textWidth, row.textHeight, row.across, row.down);
    EXPECT_EQ(
        (std::vector<float>{c.left, c.top, c.width, c.height}),
        (std::vector<float>{row.fitted.left, row.fitted.top, row.fitted.width, row.fitted.height}))
        << row.textWidth << 'x' << row.textHeight;
  }
}

TEST(ScaleControlsTest, FirstCallRemembersThenScalesInProportion) {
  Control ole{"OLE1", 0, 0, 8415, 1575};
  Control other{"Other", 100, 200, 50, 50};
  Control twin{"OLE1", 300, 400, 10, 10};  // another member of ctl's control array
  ScaleMemory memory;
  Control* controls[] = {&ole, &other, &twin};
  ScaleControls({8000, 2000}, controls, ole, memory);
  EXPECT_EQ(ole.width, 8415.0F);  // the first call only remembers the size
  ScaleControls({16000, 3000}, controls, ole, memory);
  EXPECT_FLOAT_EQ(ole.width, 16830.0F);
  EXPECT_FLOAT_EQ(ole.height, 2362.5F);
  EXPECT_FLOAT_EQ(other.left, 200.0F);
  EXPECT_FLOAT_EQ(other.top, 300.0F);
  // Members that share ctl's name are neither moved nor resized.
  EXPECT_EQ(twin.left, 300.0F);
  EXPECT_EQ(twin.width, 10.0F);
}

TEST(ParkCursorTest, UsesTheScreenSizeInTwipsRoundedHalfToEven) {
  testing::FakeWindows screen, halves;
  halves.width = 100.5F;
  halves.height = 101.5F;
  ParkCursor(screen);
  ParkCursor(halves);
  EXPECT_EQ(screen.cursor, (std::vector<std::pair<int, int>>{{15360, 11520}}));
  EXPECT_EQ(halves.cursor, (std::vector<std::pair<int, int>>{{100, 102}}));
}

}  // namespace
}  // namespace cue
