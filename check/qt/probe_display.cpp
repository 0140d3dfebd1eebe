#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
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
#include "platform/qt/x11_presenter.h"

namespace cue::check {

namespace {

// A field as the trials show it: 30 digits in the screens' font on the background.
QImage Field(int width, int height, int frame) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(0xd4, 0xd0, 0xc8));
  QPainter painter(&image);
  painter.setFont(MsSansSerif(18, true));
  painter.setPen(Qt::red);
  for (int i = 0; i < 30; ++i) {
    const int x = (i % 6) * width / 6 + width / 12, y = (i / 6) * height / 5 + height / 10;
    painter.drawText(x, y, QString::number((i * 7 + frame) % 9 + 1));
  }
  return image;
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
  X11Presenter presenter;
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
  while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  presenter.Attach(static_cast<std::uint32_t>(window.winId()));

  QEventLoop loop;
  const SteadyClock clock;
  const std::uint64_t missedBefore = presenter.MissedRefreshes();
  using Steady = std::chrono::steady_clock;
  const auto end = Steady::now() + std::chrono::seconds(kDisplaySeconds);
  int made = 0, pending = 0;
  std::uint64_t target = 0;
  Presenter::FrameId previous = 0;
  // Each frame is made and sent while the two before it wait for their refreshes: the lead
  // the experiment gives a trial's field.
  std::function<void()> next = [&] {
    const auto began = Steady::now();
    const QImage image = Field(presenter.Width(), presenter.Height(), made++);
    const Presenter::FrameId id = presenter.Upload(image);
    f.prepareMicros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - began).count());
    target = std::max(target + 1, presenter.LastRefresh().msc + 1);
    ++pending;
    presenter.Queue(id, target, [&, id](Refresh at) {
      f.noticeLagMicros.push_back(static_cast<double>(clock.Micros()) - static_cast<double>(at.micros));
      --pending;
      f.shown.push_back(at);
      if (previous != 0) presenter.Release(previous);
      previous = id;
      if (Steady::now() < end) {
        next();
      } else if (pending == 0) {
        loop.quit();
      }
    });
  };
  presenter.AtTargetRefresh([&](Refresh at) {
    target = at.msc + 1;
    next();
    next();
  });
  QTimer::singleShot((kDisplaySeconds + 3) * 1000, &loop, &QEventLoop::quit);  // refreshes that stop coming
  loop.exec();
  f.missedRefreshes = presenter.MissedRefreshes() - missedBefore;
  f.width = presenter.Width();
  f.height = presenter.Height();
  return f;
}

}  // namespace cue::check
