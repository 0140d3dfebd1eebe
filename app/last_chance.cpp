#include "app/last_chance.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace cue {

namespace {

int pipeEnds[2] = {-1, -1};
std::function<void(int)>* atExitStep = nullptr;

extern "C" void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  (void)!::write(pipeEnds[1], &number, 1);
  errno = saved;
}

extern "C" void OnExit() {
  if (atExitStep != nullptr) (*atExitStep)(0);
}

}  // namespace

LastChance::LastChance(std::function<void(int)> step) : step_(std::move(step)) {
  if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) pipeEnds[0] = -1;
  if (pipeEnds[0] >= 0) {
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { Drain(); });
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

LastChance::~LastChance() {
  atExitStep = nullptr;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) std::signal(signal, SIG_DFL);
  delete notifier_;
}

void LastChance::Drain() {
  unsigned char number = 0;
  if (::read(pipeEnds[0], &number, 1) == 1) {
    atExitStep = nullptr;  // the step runs once
    step_(number);
  }
}

}  // namespace cue
