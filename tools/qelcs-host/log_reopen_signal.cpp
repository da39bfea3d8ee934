// Reopening the log file on SIGUSR1.
#include "log_reopen_signal.h"

#include <pthread.h>
#include <signal.h>

#include <string>

#include "log_output.h"

namespace qelcs_host {

log_reopen_signal::log_reopen_signal() {
  sigset_t reopen, all, previous;
  sigemptyset(&reopen);
  sigaddset(&reopen, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &reopen, nullptr);
  // The thread starts with every signal blocked: a stop signal must reach the main thread.
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  thread_ = std::thread([this] { run(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

log_reopen_signal::~log_reopen_signal() {
  stopping_ = true;
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
}

void log_reopen_signal::run() {
  sigset_t reopen;
  sigemptyset(&reopen);
  sigaddset(&reopen, SIGUSR1);
  for (;;) {
    int received = 0;
    if (sigwait(&reopen, &received) != 0) continue;
    if (stopping_.load()) return;
    std::string error;
    if (qel::tools::log_output::reopen(error)) qel::tools::log_info("SIGUSR1: log file reopened");
    else qel::tools::log_error("SIGUSR1: " + error + "; the log goes on to the file in use");
  }
}

}  // namespace qelcs_host
