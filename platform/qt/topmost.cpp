#include "platform/qt/topmost.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace cue {
namespace {

// Raises the topmost windows again after any other top-level window of the program came up.
// One per application, a child of it, so that it ends with the application.
class TopMostKeeper final : public QObject {
 public:
  static TopMostKeeper& Of(QCoreApplication& app) {
    auto* keeper = app.findChild<TopMostKeeper*>(Name(), Qt::FindDirectChildrenOnly);
    return keeper != nullptr ? *keeper : *new TopMostKeeper(app);
  }

  void Add(QWidget* window) {
    Forget(window);
    windows_.emplace_back(window);
  }

  void Forget(QWidget* window) {
    std::erase_if(windows_, [window](const QPointer<QWidget>& w) { return w == window || !w; });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show && event->type() != QEvent::ZOrderChange) return false;
    if (!watched->isWidgetType() || raisePending_) return false;
    const auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow() || IsTopMost(widget)) return false;
    const Qt::WindowType type = widget->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip) return false;
    // The Show event comes before the window is mapped; raising is queued behind the mapping.
    raisePending_ = true;
    QMetaObject::invokeMethod(this, &TopMostKeeper::RaiseAll, Qt::QueuedConnection);
    return false;
  }

 private:
  static QString Name() { return QStringLiteral("cue::TopMostKeeper"); }

  explicit TopMostKeeper(QCoreApplication& app) : QObject(&app) {
    setObjectName(Name());
    app.installEventFilter(this);
  }

  bool IsTopMost(const QWidget* widget) const {
    return std::any_of(windows_.begin(), windows_.end(),
                       [widget](const QPointer<QWidget>& w) { return w == widget; });
  }

  void RaiseAll() {
    raisePending_ = false;
    Forget(nullptr);
    for (const QPointer<QWidget>& w : windows_) {
      if (w->isVisible()) w->raise();
    }
  }

  std::vector<QPointer<QWidget>> windows_;
  bool raisePending_ = false;
};

}  // namespace

void SetTopMost(QWidget& frm, std::int16_t& topMost) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!frm.isWindow() || app == nullptr) {
    topMost = 0;
    return;
  }
  const bool wanted = topMost != 0;
  // Changing a window's flags hides it; it is shown again where it was.
  const bool wasVisible = frm.isVisible();
  frm.setWindowFlag(Qt::WindowStaysOnTopHint, wanted);
  if (wasVisible && !frm.isVisible()) frm.show();
  TopMostKeeper& keeper = TopMostKeeper::Of(*app);
  if (wanted) {
    keeper.Add(&frm);
  } else {
    keeper.Forget(&frm);
  }
  topMost = 1;
}

}  // namespace cue
