// What qelcs-remote has done so far: counters and the current state, written by the
// poll loop's thread and read by the main thread for the periodic status line and the
// summary on exit. All fields are atomics; a line may mix values from two moments.
#ifndef QELCS_REMOTE_TUNNEL_STATUS_H
#define QELCS_REMOTE_TUNNEL_STATUS_H

#include <atomic>
#include <cstdint>
#include <string>

namespace qelcs_remote {

enum class tunnel_state { starting, waiting, forwarding, backing_off, draining, stopped };

const char* state_name(tunnel_state state);

struct tunnel_status {
  std::atomic<uint64_t> polls{0};            // poll exchanges that got a 200 response
  std::atomic<uint64_t> forwarded{0};        // requests sent on to the target
  std::atomic<uint64_t> answered{0};         // answers sent back in a poll
  std::atomic<uint64_t> target_failures{0};  // requests answered 502 by this client
  std::atomic<uint64_t> errors{0};           // failed polls (each followed by a backoff)
  std::atomic<tunnel_state> state{tunnel_state::starting};
};

// "state waiting; 12 forwarded, 12 answered, 0 target failures, 1 poll errors, 14 polls"
std::string status_line(const tunnel_status& status);

// The status line with the running time, for the end of a run.
std::string summary_line(const tunnel_status& status, double seconds);

}  // namespace qelcs_remote

#endif  // QELCS_REMOTE_TUNNEL_STATUS_H
