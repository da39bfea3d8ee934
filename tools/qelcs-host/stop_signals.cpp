// Blocking and waiting for the stop signals.
#include "stop_signals.h"

#include <pthread.h>

namespace qelcs_host {

stop_signals::stop_signals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  sigaddset(&set_, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set_, &previous_);
  // A peer that closes its connection must not end the daemon.
  signal(SIGPIPE, SIG_IGN);
}

stop_signals::~stop_signals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

int stop_signals::wait() {
  int received = 0;
  while (sigwait(&set_, &received) != 0) {
  }
  return received;
}

int stop_signals::wait_for(long ms) {
  const timespec timeout{ms / 1000, (ms % 1000) * 1000000};
  const int received = sigtimedwait(&set_, nullptr, &timeout);
  return received > 0 ? received : 0;
}

}  // namespace qelcs_host
