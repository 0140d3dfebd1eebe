// The blank screen's form: the fixation cross it draws itself.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QRect>

#include "screens/blanke.h"
#include "screens/qt/blanke_form.h"
#include "support/doubles.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

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
    const QRgb background = image.pixel(0, 0);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, y)) + 60 < qGray(background)) box |= QRect(x, y, 1, 1);
      }
    }
    return box;
  }

  testing::VirtualTime time;
  ModalGate gate{time};
  testing::ScriptedDialogs dialogs;
  testing::FakeWindows windows;
  Blanke core{time, gate, dialogs, windows, [] {}};
  BlankeForm form{core};
};

TEST_F(BlankeFormTest, TheCrossIsDrawnInTheCentreOnlyWhileShown) {
  EXPECT_TRUE(Ink().isNull());
  form.SetCrossVisible(true);
  const QRect cross = Ink();
  ASSERT_FALSE(cross.isNull());
  EXPECT_NEAR(cross.center().x(), 400, 3);
  EXPECT_NEAR(cross.center().y(), 300, 3);
  EXPECT_LT(cross.width(), 40);  // a 24 pt "+", not a frame or a text
  EXPECT_LT(cross.height(), 40);
  form.SetCrossVisible(false);
  EXPECT_TRUE(Ink().isNull());
}

TEST_F(BlankeFormTest, TheCrossFollowsTheFormsSize) {
  form.SetCrossVisible(true);
  form.resize(1024, 768);
  const QRect cross = Ink();
  ASSERT_FALSE(cross.isNull());
  EXPECT_NEAR(cross.center().x(), 512, 3);
  EXPECT_NEAR(cross.center().y(), 384, 3);
}

}  // namespace
}  // namespace cue
