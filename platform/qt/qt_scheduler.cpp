#include "platform/qt/qt_scheduler.h"

#include <QTimerEvent>
#include <utility>

namespace cue {

Scheduler::TimerId QtScheduler::After(int ms, Callback fn) {
  const int qtId = startTimer(ms > 0 ? ms : 0, Qt::PreciseTimer);
  const TimerId id = nextId_++;
  byQtId_[qtId] = Pending{id, std::move(fn)};
  qtIdOf_[id] = qtId;
  return id;
}

void QtScheduler::Cancel(TimerId id) {
  const auto it = qtIdOf_.find(id);
  if (it == qtIdOf_.end()) return;
  killTimer(it->second);
  byQtId_.erase(it->second);
  qtIdOf_.erase(it);
}

void QtScheduler::timerEvent(QTimerEvent* event) {
  const int qtId = event->timerId();
  killTimer(qtId);  // single shot
  const auto it = byQtId_.find(qtId);
  if (it == byQtId_.end()) return;
  Pending pending = std::move(it->second);
  byQtId_.erase(it);
  qtIdOf_.erase(pending.id);
  pending.fn();
}

}  // namespace cue
