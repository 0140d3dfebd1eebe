#pragma once

#include <QObject>
#include <unordered_map>

#include "platform/scheduler.h"

namespace cue {

// Scheduler on the Qt event loop. Every timer is a Qt::PreciseTimer: coarse timers may fire
// up to 5 % early or late, which a 1000 ms pause cannot afford.
class QtScheduler final : public QObject, public Scheduler {
 public:
  TimerId After(int ms, Callback fn) override;
  void Cancel(TimerId id) override;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  struct Pending {
    TimerId id;
    Callback fn;
  };
  TimerId nextId_ = 1;
  std::unordered_map<int, Pending> byQtId_;       // Qt reuses its ids; ours never repeat
  std::unordered_map<TimerId, int> qtIdOf_;
};

}  // namespace cue
