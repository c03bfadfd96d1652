#include "settings/StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int gPipe[2] = {-1, -1};  // written by the handler, the only thing it may touch

void onSignal(int sig) {
  const unsigned char c = static_cast<unsigned char>(sig);
  const int saved = errno;
  [[maybe_unused]] ssize_t n = ::write(gPipe[1], &c, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::drain);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  for (int sig : kSignals) std::signal(sig, SIG_DFL);
  notifier_.reset();
  ::close(gPipe[0]);
  ::close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
}

void StopSignals::drain() {
  unsigned char c = 0;
  while (::read(gPipe[0], &c, 1) == 1) emit received(c);
}
