// Catches: a refresh period unknown before the first window or a deadline never measured,
// frames shown out of order, at the wrong refresh or with a wrong onset, two frames sent for
// one refresh (the server may show them in either order), changes for one refresh sent as
// two frames, a page left half drawn after a window over it goes, and answer keys not
// stamped before they are handled (real Xvfb).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/x11_key_arrivals.h"
#include "platform/qt/x11_presenter.h"
#include "screens/qt/frame_window.h"

namespace cue {
namespace {

// A 320 x 200 window on the screen, painted by nothing but the presenter.
struct Window : QWidget {
  Window() {
    setAttribute(Qt::WA_PaintOnScreen);
    setGeometry(0, 0, 320, 200);
    show();
  }
};

QColor Seen(QWidget& window, int x, int y) {
  return window.screen()->grabWindow(window.winId()).toImage().pixelColor(x, y);
}

// The period is known before any window (the first pause is counted in refreshes); the
// deadline once one is attached; frames go in order to their refreshes, a frame never shares
// a refresh with one still on its way, and a target already past counts as missed.
TEST(X11Presenter, MeasuresTheDisplayAndShowsFramesInOrderOnePerRefresh) {
  QtScheduler scheduler;
  X11Presenter presenter(std::string(), &scheduler);
  ASSERT_TRUE(presenter.FrameAccurate()) << presenter.Unavailable();
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.PeriodMicros() > 0; }, 3000));
  EXPECT_NEAR(presenter.PeriodMicros(), 16667, 1500);
  Window window;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  presenter.Attach(static_cast<std::uint32_t>(window.winId()));
  EXPECT_EQ(presenter.Width(), 320);
  EXPECT_EQ(presenter.DeadlineMicros(), 0);  // measured from the first frame on
  presenter.Canvas().fill(Qt::gray);
  presenter.Present(QRegion(0, 0, 320, 200), 0, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.DeadlineMicros() > 0; }, 5000));
  EXPECT_LT(presenter.DeadlineMicros(), 1.5 * presenter.PeriodMicros());

  std::vector<std::pair<char, Refresh>> shown;
  const auto note = [&](char name) {
    return [&shown, name](Refresh r) { shown.emplace_back(name, r); };
  };
  const std::uint64_t base = presenter.LastRefresh().msc + 2;
  presenter.Canvas().fill(Qt::red);
  presenter.Present(QRegion(0, 0, 320, 200), base + 4, note('r'));
  presenter.CanvasWillChange();
  presenter.Canvas().fill(Qt::blue);
  presenter.Present(QRegion(0, 0, 320, 200), base + 6, note('b'));
  presenter.Present(QRegion(0, 0, 320, 200), base + 6, note('s'));  // the same refresh: the next
  presenter.Present(QRegion(), 0, note('0'));  // without a target: after the one before it
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 4; }, 3000));
  EXPECT_EQ(std::string({shown[0].first, shown[1].first, shown[2].first, shown[3].first}), "rbs0");
  EXPECT_EQ((std::vector<std::uint64_t>{shown[0].second.msc, shown[1].second.msc,
                                        shown[2].second.msc, shown[3].second.msc}),
            (std::vector<std::uint64_t>{base + 4, base + 6, base + 7, base + 8}));
  EXPECT_LT(SteadyClock().Micros() - shown[1].second.micros, 1'000'000u);
  EXPECT_EQ(presenter.MissedRefreshes(), 1u);  // the frame sent for a refresh already taken
  EXPECT_EQ(Seen(window, 160, 100), QColor(Qt::blue));

  bool late = false;
  presenter.Present(QRegion(0, 0, 1, 1), presenter.LastRefresh().msc - 2,
                    [&](Refresh) { late = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return late; }, 3000));
  EXPECT_GE(presenter.MissedRefreshes(), 3u);
}

// A page of one colour, drawn by the experiment window.
struct Page : ExperimentScreen {
  Page() : ExperimentScreen("Page") {}
  void PaintContent(QPainter& painter, const QRegion& region) override {
    for (const QRect& r : region) painter.fillRect(r, colour);
  }
  void Paint(QColor c, const QRect& where = {}) {
    colour = c;
    Redraw(where);
  }
  void FrameShown(Refresh at) override { shown.push_back(at.msc); }
  QColor colour = Qt::red;
  std::vector<std::uint64_t> shown;
};

// Changes made for one refresh (a field and its first swap) reach the screen as one frame, at
// the refresh named; only the changed part is copied, and a window that covered the page and
// went leaves no trace: the page is sent whole again.
TEST(FrameWindowTest, ChangesForOneRefreshAreOneFrameAndAnExposeRedrawsThePageWhole) {
  X11Presenter presenter;
  X11KeyArrivals keys;
  FrameWindow frames(presenter, keys);
  Page page;
  page.UseFrames(&frames);
  page.Show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !page.shown.empty(); }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Seen(frames, 160, 100) == QColor(Qt::red); }, 3000));
  QTest::qWait(100);  // the window's first exposes are over

  const std::size_t before = page.shown.size();
  const std::uint64_t target = presenter.LastRefresh().msc + 4;
  presenter.SetNextTarget(target);
  page.Paint(Qt::green);
  page.Paint(Qt::blue, QRect(10, 10, 40, 30));  // the swap: one small part, blue
  EXPECT_NE(presenter.SendFrame(), 0u);
  EXPECT_EQ(presenter.SendFrame(), 0u);  // nothing more to send
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.shown.size() > before; }, 3000));
  QTest::qWait(100);  // a second frame would come within a few refreshes
  EXPECT_EQ(page.shown.size(), before + 1);
  EXPECT_EQ(page.shown.back(), target);
  EXPECT_EQ(Seen(frames, 20, 20), QColor(Qt::blue));
  EXPECT_EQ(Seen(frames, 160, 100), QColor(Qt::blue));  // the whole page: its last colour

  {
    Window cover;  // over part of the page, in its own colour
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::yellow));
    cover.setAttribute(Qt::WA_PaintOnScreen, false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  }
  (void)QTest::qWaitFor([&] { return Seen(frames, 160, 100) == QColor(Qt::blue); }, 3000);
  EXPECT_EQ(Seen(frames, 160, 100), QColor(Qt::blue)) << "where the covering window was";
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
  const std::string press =
      "xdotool windowfocus --sync " + std::to_string(window.winId()) + " key m";
  ASSERT_EQ(std::system(press.c_str()), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.handled != 0; }, 3000));
  EXPECT_GT(window.found, sent);
  EXPECT_LE(window.found, window.handled);
  EXPECT_EQ(window.keys.Find(1, 1), 0u);  // a key never seen has no stamp
}

}  // namespace
}  // namespace cue
