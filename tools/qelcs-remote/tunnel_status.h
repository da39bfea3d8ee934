// What qelcs-remote has done so far: counters and gauges written by the pollers and
// read by the main thread for the periodic status line and the summary on exit. All
// fields are atomics; a line may mix values from two moments.
#ifndef QELCS_REMOTE_TUNNEL_STATUS_H
#define QELCS_REMOTE_TUNNEL_STATUS_H

#include <atomic>
#include <cstdint>
#include <string>

namespace qelcs_remote {

// The run as a whole; while running, the line shows what the pollers are doing.
enum class tunnel_state { starting, running, draining, stopped };

struct tunnel_status {
  std::atomic<uint64_t> polls{0};            // poll exchanges that got a 200 response
  std::atomic<uint64_t> forwarded{0};        // requests sent on to the target
  std::atomic<uint64_t> answered{0};         // answers sent back in a poll (once each)
  std::atomic<uint64_t> resent{0};           // answers sent again after a failed poll
  std::atomic<uint64_t> target_failures{0};  // requests answered 502 by this client
  std::atomic<uint64_t> errors{0};           // failed polls (each followed by a backoff)
  std::atomic<uint64_t> not_taken{0};        // answers that reached no caller (caller gone)
  std::atomic<unsigned> pollers{0};          // pollers running
  std::atomic<unsigned> polls_open{0};       // polls waiting at the host right now
  std::atomic<unsigned> forwarding{0};       // requests with the target right now
  std::atomic<unsigned> backing_off{0};      // pollers waiting to retry
  std::atomic<unsigned> connected{0};        // pollers whose last poll was answered by the host
  std::atomic<int64_t> last_success_ms{0};   // Unix time of the last poll answered 200; 0: none
  std::atomic<uint64_t> auth_refusals{0};    // polls answered 401 or 403
  std::atomic<unsigned> refused_in_row{0};   // polls answered 401 or 403 since the last 200
  std::atomic<bool> credentials_refused{false};  // --max-auth-failures was reached
  std::atomic<tunnel_state> state{tunnel_state::starting};
};

// "starting", "waiting", "forwarding", "backing off", "draining" or "stopped".
std::string state_name(const tunnel_status& status);

// "state waiting; 4 pollers; 12 forwarded, 12 answered, 0 target failures, 1 poll
// errors, 14 polls"
std::string status_line(const tunnel_status& status);

// The status line with the running time, for the end of a run.
std::string summary_line(const tunnel_status& status, double seconds);

// The counters and gauges in the Prometheus text format 0.0.4 (qelcs_remote_*).
std::string metrics_text(const tunnel_status& status);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_TUNNEL_STATUS_H
