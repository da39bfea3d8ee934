// Exponential reconnect delay: starts at `initial_ms`, doubles after each failure up to
// `max_ms`, and starts over after a success. A plain value owned by the poll loop.
#ifndef QELCS_REMOTE_BACKOFF_H
#define QELCS_REMOTE_BACKOFF_H

namespace qelcs_remote {

class backoff {
 public:
  backoff(long initial_ms, long max_ms);

  // The delay to wait now; the next one is twice as long (capped).
  long next_delay_ms();
  void reset() { next_ms_ = initial_ms_; }

 private:
  long initial_ms_;
  long max_ms_;
  long next_ms_;
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_BACKOFF_H
