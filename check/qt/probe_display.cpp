#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include "check/qt/probes.h"
#include "platform/clock.h"
#include "platform/qt/fonts.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/x11_presenter.h"

namespace cue::check {

namespace {

// A field as the trials show it: 30 digits in the screens' font on the background, drawn
// into the presenter's canvas as a trial's field is.
void DrawField(QImage& canvas, int frame) {
  const int width = canvas.width(), height = canvas.height();
  canvas.fill(QColor(0xd4, 0xd0, 0xc8));
  QPainter painter(&canvas);
  painter.setFont(MsSansSerif(18, true));
  painter.setPen(Qt::red);
  for (int i = 0; i < 30; ++i) {
    const int x = (i % 6) * width / 6 + width / 12, y = (i / 6) * height / 5 + height / 10;
    painter.drawText(x, y, QString::number((i * 7 + frame) % 9 + 1));
  }
}

// A window the toolkit never paints: its frames come from the presenter.
class FrameTarget final : public QWidget {
 public:
  QPaintEngine* paintEngine() const override { return nullptr; }
};

}  // namespace

DisplayFacts ProbeDisplay() {
  DisplayFacts f;
  ProbeServer(f);
  if (f.server.empty()) return f;
  QtScheduler scheduler;
  X11Presenter presenter({}, &scheduler);
  if (!presenter.FrameAccurate()) {
    f.presentMissing = presenter.Unavailable();
    return f;
  }
  FrameTarget window;
  window.setAttribute(Qt::WA_PaintOnScreen);
  window.setAttribute(Qt::WA_NoSystemBackground);
  window.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window.setWindowTitle(QStringLiteral("cuesearch check"));
  window.setGeometry(QGuiApplication::primaryScreen()->geometry());
  window.showFullScreen();
  QElapsedTimer waited;
  waited.start();
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
         waited.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  presenter.Attach(static_cast<std::uint32_t>(window.winId()));

  // The first refreshes are measured on the root window from the presenter's start.
  waited.restart();
  while (presenter.PeriodMicros() <= 0 && waited.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QEventLoop loop;
  const SteadyClock clock;
  const std::uint64_t missedBefore = presenter.MissedRefreshes();
  using Steady = std::chrono::steady_clock;
  const auto end = Steady::now() + std::chrono::seconds(kDisplaySeconds);
  int made = 0, pending = 0;
  std::uint64_t target = 0;
  // Each frame is drawn and sent while the one before it waits for its refresh: shown, the
  // refresh after the next one is asked for, a full field at every refresh. The refreshes
  // are counted from the window's first frame (its counter, not the root window's).
  std::function<void(std::uint64_t)> next = [&](std::uint64_t shownMsc) {
    const auto began = Steady::now();
    presenter.CanvasWillChange();
    DrawField(presenter.Canvas(), made++);
    target = std::max(target + 1, shownMsc + 2);
    ++pending;
    presenter.Present(QRegion(presenter.Canvas().rect()), target, [&](Refresh at) {
      f.noticeLagMicros.push_back(static_cast<double>(clock.Micros()) -
                                  static_cast<double>(at.micros));
      --pending;
      f.shown.push_back(at);
      if (Steady::now() < end) {
        next(at.msc);
      } else if (pending == 0) {
        loop.quit();
      }
    });
    f.prepareMicros.push_back(
        std::chrono::duration<double, std::micro>(Steady::now() - began).count());
  };
  presenter.CanvasWillChange();
  DrawField(presenter.Canvas(), made++);
  presenter.Present(QRegion(presenter.Canvas().rect()), 0, [&](Refresh first) {
    target = first.msc;
    next(first.msc - 1);
    next(first.msc - 1);
  });
  QTimer::singleShot((kDisplaySeconds + 3) * 1000, &loop,
                     &QEventLoop::quit);  // refreshes that stop coming
  loop.exec();
  f.missedRefreshes = presenter.MissedRefreshes() - missedBefore;
  f.deadlineMicros = presenter.DeadlineMicros();
  f.width = presenter.Width();
  f.height = presenter.Height();
  return f;
}

}  // namespace cue::check
