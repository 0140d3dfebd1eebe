// Catches: frames shown out of order, at the wrong refresh or with a wrong onset, a frame's
// changed part copied short, a page left half drawn after a window over it goes, and answer
// keys not stamped before they are handled (real Xvfb).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/qt/x11_key_arrivals.h"
#include "platform/qt/x11_presenter.h"
#include "screens/qt/frame_window.h"

namespace cue {
namespace {

QImage Filled(QColor colour) {
  QImage image(320, 200, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// A 320 x 200 window on the screen, painted by nothing but the presenter.
struct Window : QWidget {
  Window() {
    setAttribute(Qt::WA_PaintOnScreen);
    setGeometry(0, 0, 320, 200);
    show();
  }
};

struct Presented {
  X11Presenter::FrameId frame;
  Refresh at;
};

TEST(X11Presenter, ShowsQueuedFramesInOrderAtTheirRefreshesAndTellsWhen) {
  Window window;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  X11Presenter presenter;
  ASSERT_TRUE(presenter.FrameAccurate()) << presenter.Unavailable();
  presenter.Attach(static_cast<std::uint32_t>(window.winId()));
  EXPECT_EQ(presenter.Width(), 320);
  // The period is measured first, before any frame.
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.PeriodMicros() > 0; }, 3000));
  EXPECT_NEAR(presenter.PeriodMicros(), 16667, 1500);

  const X11Presenter::FrameId red = presenter.Upload(Filled(Qt::red));
  const X11Presenter::FrameId blue = presenter.Upload(Filled(Qt::blue));
  std::vector<Presented> shown;
  std::uint64_t base = 0;  // a refresh just reported: the targets below are ahead of now
  presenter.AtTargetRefresh([&](Refresh r) { base = r.msc; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return base != 0; }, 3000));
  presenter.Queue(red, base + 4, [&](Refresh r) { shown.push_back({red, r}); });
  presenter.Queue(blue, base + 6, [&](Refresh r) { shown.push_back({blue, r}); });
  // Without a target a frame goes with the one queued before it, never ahead of it.
  presenter.Queue(blue, 0, [&](Refresh r) { shown.push_back({blue, r}); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 3; }, 3000));
  EXPECT_EQ(shown[2].at.msc, base + 6);
  EXPECT_EQ(shown[0].frame, red);
  EXPECT_EQ(shown[0].at.msc, base + 4);
  EXPECT_EQ(shown[1].at.msc, base + 6);
  // Onsets in the program's clock: in order, and just past.
  EXPECT_GT(shown[1].at.micros, shown[0].at.micros);
  const std::uint64_t now = SteadyClock().Micros();
  EXPECT_LT(now - shown[1].at.micros, 1'000'000u);
  EXPECT_EQ(presenter.MissedRefreshes(), 0u);
  EXPECT_EQ(window.screen()->grabWindow(window.winId()).toImage().pixelColor(160, 100), QColor(Qt::blue));

  // A target already past shows at the next refresh and counts as missed.
  bool late = false;
  presenter.Queue(red, presenter.LastRefresh().msc - 2, [&](Refresh) { late = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return late; }, 3000));
  EXPECT_GE(presenter.MissedRefreshes(), 2u);
  presenter.Release(red);
  presenter.Release(blue);
}

// A frame sent and copied only where it differs from the one before (a small patch whose
// edges are one pixel wide) leaves the window exactly as the whole frame would.
TEST(X11Presenter, AFrameSentAndCopiedOnlyWhereItChangedIsShownWhole) {
  Window window;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  X11Presenter presenter;
  presenter.Attach(static_cast<std::uint32_t>(window.winId()));
  const QImage before = Filled(Qt::red);
  QImage after = before;
  after.setPixelColor(40, 30, Qt::blue);    // top left corner of the change
  after.setPixelColor(250, 170, Qt::green);  // bottom right corner
  const QRect changed = X11Presenter::ChangedRect(after, before);
  EXPECT_EQ(changed, QRect(QPoint(40, 30), QPoint(250, 170)));
  const X11Presenter::FrameId first = presenter.Upload(before);
  const X11Presenter::FrameId second = presenter.Upload(after, first, changed);
  int shown = 0;
  presenter.Queue(first, 0, [&](Refresh) { ++shown; });
  presenter.Queue(second, 0, [&](Refresh) { ++shown; }, changed);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown == 2; }, 3000));
  EXPECT_EQ(window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32), after);
}

// A window that covered the experiment window and went leaves no trace: the page on top is
// presented whole again, not only where it changed.
TEST(FrameWindowTest, ThePageOnTopIsPresentedWholeAgainWhenAWindowOverItGoes) {
  X11Presenter presenter;
  X11KeyArrivals keys;
  FrameWindow frames(presenter, keys);
  struct Page : ExperimentScreen {
    Page() : ExperimentScreen("Page") {}
    QImage RenderFrame() override {
      QImage image(size(), QImage::Format_RGB32);
      image.fill(Qt::red);
      return image;
    }
    void FrameShown(Refresh at) override { shown = at.msc; }
    std::uint64_t shown = 0;
  } page;
  page.UseFrames(&frames);
  page.Show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.shown != 0; }, 3000));
  {
    Window cover;  // blue, over part of the page
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::blue));
    cover.setAttribute(Qt::WA_PaintOnScreen, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  }
  // Frames queued before the cover went may still complete first: wait for the screen itself.
  const auto seen = [&] {
    return frames.screen()->grabWindow(frames.winId()).toImage().pixelColor(160, 100).name().toStdString();
  };
  (void)QTest::qWaitFor([&] { return seen() == "#ff0000"; }, 3000);
  EXPECT_EQ(seen(), "#ff0000") << "where the covering window was";
}

// The input thread stamps a key between its sending and the event loop's handling of it, and
// the handler finds the stamp by the event's server time and key code.
TEST(X11KeyArrivals, StampsAKeyBeforeTheEventLoopHandlesIt) {
  struct KeyWindow : Window {
    X11KeyArrivals keys;
    std::uint64_t found = 0, handled = 0;
    void keyPressEvent(QKeyEvent* event) override {
      found = keys.Find(static_cast<std::uint32_t>(event->timestamp()), event->nativeScanCode());
      handled = SteadyClock().Micros();
    }
  } window;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.keys.Watch(static_cast<std::uint32_t>(window.winId()));
  const std::uint64_t sent = SteadyClock().Micros();
  const std::string press = "xdotool windowfocus --sync " + std::to_string(window.winId()) + " key m";
  ASSERT_EQ(std::system(press.c_str()), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.handled != 0; }, 3000));
  EXPECT_GT(window.found, sent);
  EXPECT_LE(window.found, window.handled);
  EXPECT_EQ(window.keys.Find(1, 1), 0u);  // a key never seen has no stamp
}

}  // namespace
}  // namespace cue
