// Catches: a screen text changed or cut off (the rest caption, the cross), a cross drawn off
// the centre or left on screen, and the experiment window's incremental drawing differing from
// a whole repaint of its page anywhere (a label left behind, a swap drawn short or too wide).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/qt/display_form.h"
#include "intake/qt/greet.h"
#include "platform/qt/fonts.h"
#include "screens/blanke.h"
#include "screens/qt/blanke_form.h"
#include "screens/qt/frame_canvas.h"
#include "screens/qt/rest_form.h"
#include "support/doubles.h"
#include "support/run_harness.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

std::string Str(const QRect& r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
         std::to_string(r.x()) + "+" + std::to_string(r.y());
}

// The box around the pixels (x, y) of an image of that size for which `differs` holds.
QRect BoxWhere(const QImage& image, const std::function<bool(int, int)>& differs) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (differs(x, y)) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// The box around the pixels where two images of one size differ.
QRect Difference(const QImage& a, const QImage& b) {
  return BoxWhere(a, [&](int x, int y) { return a.pixel(x, y) != b.pixel(x, y); });
}

class BlankeFormTest : public ::testing::Test {
 protected:
  BlankeFormTest() {
    form.resize(800, 600);
    form.Load();
  }

  // The box around the pixels darker than the background, in a fresh rendering of the form.
  QRect Ink() {
    QCoreApplication::processEvents();
    const QImage image = form.grab().toImage();
    const int background = qGray(image.pixel(0, 0));
    return BoxWhere(image,
                    [&](int x, int y) { return qGray(image.pixel(x, y)) + 60 < background; });
  }

  testing::VirtualTime time;
  ModalGate gate{time};
  testing::ScriptedDialogs dialogs;
  testing::FakeWindows windows;
  FrameWaits waits{time, gate};
  Blanke core{waits, dialogs, windows, [] {}};
  BlankeForm form{core};
};

TEST_F(BlankeFormTest, TheCrossIsDrawnInTheCentreOnlyWhileShownAndFollowsTheSize) {
  EXPECT_TRUE(Ink().isNull());
  form.SetCrossVisible(true);
  for (const QSize size : {QSize(800, 600), QSize(1024, 768)}) {
    form.resize(size);
    const QRect cross = Ink();
    ASSERT_FALSE(cross.isNull());
    EXPECT_NEAR(cross.center().x(), size.width() / 2, 3);
    EXPECT_NEAR(cross.center().y(), size.height() / 2, 3);
    EXPECT_LT(cross.width(), 40);  // a 24 pt "+", not a frame or a text
    EXPECT_LT(cross.height(), 40);
  }
  form.SetCrossVisible(false);
  EXPECT_TRUE(Ink().isNull());
}

// Every text a screen shows lies whole inside its control, and every control inside the
// screen, in whichever font the machine has: the test runs again with only the fallback font
// (CUE_TEST_FONT_FAMILY names the family the screens must then be using).
TEST(CaptionsTest, EveryTextFitsItsControlAndTheScreen) {
  if (const char* family = std::getenv("CUE_TEST_FONT_FAMILY")) {
    ASSERT_EQ(MsSansSerif(18, false).family().toStdString(), family);
  }
  const QtLabelMetrics metrics;
  testing::RunHarness h(5, 1'000'000, &metrics);
  testing::IntakeDoubles intake;
  Greet greet(intake.Context());
  RestForm rest(h.x.rest);
  BlankeForm blanke(h.x.blanke);
  DisplayForm display(h.x.display, metrics);
  greet.Load();
  display.Load();
  h.x.display.Start();
  blanke.SetCrossVisible(true);

  struct Screen {
    ExperimentScreen* form;
    std::size_t captions;
    bool centred;
    std::vector<std::string> texts;  // exactly, where the screen's texts are fixed
  };
  const std::string restText = "Rest period press space bar to continue.";
  for (const Screen& s : {Screen{&greet, 5, false, {}}, Screen{&rest, 1, true, {restText}},
                          Screen{&blanke, 1, true, {"+"}}, Screen{&display, 30, false, {}}}) {
    s.form->resize(1024, 768);
    s.form->show();
    QCoreApplication::processEvents();
    const auto captions = s.form->Captions();
    SCOPED_TRACE(s.form->objectName().toStdString());
    EXPECT_EQ(captions.size(), s.captions);
    if (!s.texts.empty()) {
      std::vector<std::string> texts;
      for (const auto& c : captions) texts.push_back(c.text.toStdString());
      EXPECT_EQ(texts, s.texts);
    }
    for (const auto& c : captions) {
      const QRect text =
          QFontMetrics(c.font).boundingRect(c.box, static_cast<int>(c.alignment), c.text);
      EXPECT_TRUE(c.box.contains(text))
          << c.text.toStdString() << ": " << Str(text) << " in " << Str(c.box);
      EXPECT_TRUE(s.form->rect().contains(c.box)) << c.text.toStdString() << ": " << Str(c.box);
      if (s.centred) {
        EXPECT_NEAR(c.box.center().x(), 512, 1) << c.text.toStdString();
        EXPECT_NEAR(c.box.center().y(), 384, 1) << c.text.toStdString();
      }
    }
  }
}

// Across a flicker trial (its field, every swap, the answer's blank, the cross and the next
// field), the canvas drawn only where each change lies equals the page repainted whole by the
// toolkit's text calls; a swap redraws no more than the labels it touches.
TEST(FrameCanvasTest, IncrementalDrawingEqualsAWholeRepaintAcrossATrialAndItsSwaps) {
  const QtLabelMetrics metrics;
  testing::RunHarness h(3, 1'000'000, &metrics);
  BlankeForm blanke(h.x.blanke);
  DisplayForm display(h.x.display, metrics);
  for (ExperimentScreen* page :
       {static_cast<ExperimentScreen*>(&blanke), static_cast<ExperimentScreen*>(&display)}) {
    page->Load();
    page->Show();  // the whole screen, as every experiment screen
  }
  QCoreApplication::processEvents();
  h.x.state.orderCondition = 2;  // block 1 flickers every 200 ms
  QImage canvas(display.size(), QImage::Format_RGB32);
  FrameCanvas frames(&canvas);
  int checks = 0;
  const auto check = [&](ExperimentScreen& page, const char* what) {
    SCOPED_TRACE(what);
    const QRegion changed = frames.Draw(page, false);
    const QImage whole = page.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Str(Difference(canvas, whole)), "0x0+0+0");
    ++checks;
    return changed;
  };
  blanke.SetCrossVisible(true);
  check(blanke, "cross");
  blanke.SetCrossVisible(false);
  check(blanke, "blank");
  for (int trial = 0; trial < 2; ++trial) {
    h.x.display.Start();
    check(display, "field");
    for (int swap = 0; swap < 4; ++swap) {
      h.time.Advance(200);
      const QRegion changed = check(display, "swap");
      int area = 0;  // two labels' boxes at the most: a small part of the screen
      for (const QRect& r : changed) area += r.width() * r.height();
      EXPECT_LT(area, canvas.width() * canvas.height() / 200);
    }
    h.x.display.Form_KeyPress('m');
    check(blanke, "after the answer");
    blanke.SetCrossVisible(true);
    check(blanke, "cross");
    blanke.SetCrossVisible(false);
  }
  EXPECT_EQ(checks, 16);
}

}  // namespace
}  // namespace cue
