// The tunnel client's loop: long-polls the reverse connection URL, forwards each
// request it receives, and returns the answer in its next poll.
//
// A poll without an answer resets the tunnel, so the first poll after start and after
// every failure is a reset: a request whose answer was lost is then released (503)
// instead of waiting for ever. Runs on one thread (`run`); other threads only set the
// stop flag and read the status.
#ifndef QELCS_REMOTE_POLL_LOOP_H
#define QELCS_REMOTE_POLL_LOOP_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "backoff.h"
#include "forwarder.h"
#include "http_client.h"
#include "tunnel_status.h"

namespace qelcs_remote {

struct poll_settings {
  std::string poll_url;
  tls_options tls;
  std::string token;            // bearer token for the polls; empty: none
  long poll_timeout_ms = 90000; // longer than the server's poll time-out (28-56 s)
  long initial_backoff_ms = 500;
  long max_backoff_ms = 30000;
  uint64_t max_requests = 0;    // stop after this many answers; 0: no limit
  double duration_s = 0;        // stop after this time; 0: no limit
};

class poll_loop {
 public:
  poll_loop(poll_settings settings, forwarder& target, tunnel_status& status,
            const std::atomic<bool>& stop);

  // Runs until the stop flag, the request limit or the duration ends it. A pending
  // answer is still delivered before it returns.
  void run();

 private:
  bool finished() const;
  // The poll time-out, shortened so that no poll outlasts --duration.
  long poll_timeout_ms() const;
  // One poll carrying `answer` (or a reset); fills `request` when the response carries
  // one. False after a failure, which has been reported.
  bool exchange(const std::optional<tunnel_answer>& answer,
                std::optional<tunnel_request>& request);
  http_request make_poll(const std::optional<tunnel_answer>& answer, long timeout_ms) const;
  tunnel_answer handle(const tunnel_request& request);
  void wait_backoff();
  void drain(tunnel_answer answer);

  poll_settings settings_;
  forwarder& target_;
  tunnel_status& status_;
  const std::atomic<bool>& stop_;
  http_client client_;
  backoff backoff_;
  std::chrono::steady_clock::time_point deadline_;
  std::string last_error_;  // cause of the last failed poll, for the retry line
};

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_POLL_LOOP_H
