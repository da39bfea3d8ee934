// SIGUSR1 reopens the log file (--log-file), for logrotate: a thread of its own waits
// for the signal, so the main thread's signal handling stays as it is. The constructor
// blocks SIGUSR1 in the calling thread; construct it on the main thread before any
// other thread starts, so that every thread inherits the mask and only this one takes
// the signal. The thread itself has every signal blocked. Owned by main.
#ifndef QELCS_HOST_LOG_REOPEN_SIGNAL_H
#define QELCS_HOST_LOG_REOPEN_SIGNAL_H

#include <atomic>
#include <thread>

namespace qelcs_host {

class log_reopen_signal {
 public:
  log_reopen_signal();
  ~log_reopen_signal();
  log_reopen_signal(const log_reopen_signal&) = delete;
  log_reopen_signal& operator=(const log_reopen_signal&) = delete;

 private:
  void run();

  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace qelcs_host

#endif  // QELCS_HOST_LOG_REOPEN_SIGNAL_H
