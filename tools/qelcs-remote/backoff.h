// Exponential reconnect delay: starts at `initial_ms`, doubles after each failure up to
// `max_ms`, and starts over after a success. Each delay is drawn between half and all
// of that step, so that pollers that failed together (a host restart) do not all come
// back in the same instant. A plain value owned by the poll loop.
#ifndef QELCS_REMOTE_BACKOFF_H
#define QELCS_REMOTE_BACKOFF_H

namespace qelcs_remote {

class backoff {
 public:
  backoff(long initial_ms, long max_ms);

  // The delay to wait now, within [step / 2, step]; the next step is twice as long (capped).
  long next_delay_ms();
  void reset() { next_ms_ = initial_ms_; }

 private:
  long initial_ms_;
  long max_ms_;
  long next_ms_;
  unsigned long long state_;  // of the jitter's random sequence
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_BACKOFF_H
