// SIGINT, SIGTERM and SIGHUP as synchronous events: the constructor blocks them in the
// calling thread before any other thread exists, so every thread the libraries start
// inherits the mask and only `wait` receives them (a SIGHUP can then never end the
// process unseen). Construct first thing in main; call `wait` from the main thread only.
#ifndef QELCS_HOST_STOP_SIGNALS_H
#define QELCS_HOST_STOP_SIGNALS_H

#include <signal.h>

namespace qelcs_host {

class stop_signals {
 public:
  stop_signals();
  ~stop_signals();
  stop_signals(const stop_signals&) = delete;
  stop_signals& operator=(const stop_signals&) = delete;

  // Blocks until SIGINT, SIGTERM or SIGHUP arrives; returns the signal number.
  int wait();
  // The same for at most `ms` milliseconds; 0 when none arrived.
  int wait_for(long ms);

 private:
  sigset_t set_;
  sigset_t previous_;
};

}  // namespace qelcs_host

#endif  // QELCS_HOST_STOP_SIGNALS_H
