#include "app/last_chance.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace cue {

namespace {

// What the signal handler and the atexit hook can reach: plain values, set and cleared by
// the LastChance that owns the pipe and the step.
std::atomic<int> signalWriteEnd{-1};
std::function<void(int)>* atExitStep = nullptr;

extern "C" void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  (void)!::write(signalWriteEnd.load(std::memory_order_relaxed), &number, 1);
  errno = saved;
}

extern "C" void OnExit() {
  if (atExitStep != nullptr) (*atExitStep)(0);
}

}  // namespace

LastChance::LastChance(std::function<void(int)> step) : step_(std::move(step)) {
  int ends[2] = {-1, -1};
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    readEnd_.Reset(ends[0]);
    writeEnd_.Reset(ends[1]);
    signalWriteEnd.store(writeEnd_.get(), std::memory_order_relaxed);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Drain(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
  }
  static bool registered = false;
  atExitStep = &step_;
  if (!registered) registered = std::atexit(OnExit) == 0;
}

// The handlers go before the pipe they write into.
LastChance::~LastChance() {
  atExitStep = nullptr;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) std::signal(signal, SIG_DFL);
  signalWriteEnd.store(-1, std::memory_order_relaxed);
}

void LastChance::Drain() {
  unsigned char number = 0;
  if (::read(readEnd_.get(), &number, 1) == 1) {
    atExitStep = nullptr;  // the step runs once
    step_(number);
  }
}

}  // namespace cue
