#include "app/stop_signal_notifier.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace waymock::app {

namespace {

constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGINT, SIGHUP};
int pair[2] = {-1, -1};
std::array<struct sigaction, kStopSignals.size()> previous{};

extern "C" void onStopSignal(int signalNumber) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signalNumber);
  // A full socket already holds a request: dropping this one loses nothing.
  [[maybe_unused]] const auto written = ::write(pair[0], &byte, 1);
  errno = saved;
}

}  // namespace

StopSignalNotifier::StopSignalNotifier(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) return;
  notifier_ = new QSocketNotifier(pair[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignalNotifier::readSignal);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &action, &previous[i]);
  }
}

StopSignalNotifier::~StopSignalNotifier() {
  if (notifier_ == nullptr) return;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
  }
  ::close(pair[0]);
  ::close(pair[1]);
  pair[0] = pair[1] = -1;
}

void StopSignalNotifier::readSignal() {
  unsigned char byte = 0;
  while (::read(pair[1], &byte, 1) == 1) emit stopRequested(byte);
}

}  // namespace waymock::app
