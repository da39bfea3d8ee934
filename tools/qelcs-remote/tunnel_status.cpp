// Status line and summary texts.
#include "tunnel_status.h"

#include <cstdio>

namespace qelcs_remote {

std::string state_name(const tunnel_status& status) {
  switch (status.state.load()) {
    case tunnel_state::starting: return "starting";
    case tunnel_state::draining: return "draining";
    case tunnel_state::stopped: return "stopped";
    case tunnel_state::running: break;
  }
  if (status.forwarding.load() > 0) return "forwarding";
  const unsigned pollers = status.pollers.load();
  if (pollers > 0 && status.backing_off.load() >= pollers) return "backing off";
  return status.polls_open.load() > 0 ? "waiting" : "starting";
}

std::string status_line(const tunnel_status& status) {
  char text[320];
  const unsigned pollers = status.pollers.load();
  std::snprintf(text, sizeof text,
                "state %s; %u poller%s; %llu forwarded, %llu answered, %llu target failures, "
                "%llu poll errors, %llu polls",
                state_name(status).c_str(), pollers, pollers == 1 ? "" : "s",
                static_cast<unsigned long long>(status.forwarded.load()),
                static_cast<unsigned long long>(status.answered.load()),
                static_cast<unsigned long long>(status.target_failures.load()),
                static_cast<unsigned long long>(status.errors.load()),
                static_cast<unsigned long long>(status.polls.load()));
  std::string line = text;
  if (const uint64_t refused = status.not_taken.load())
    line += ", " + std::to_string(refused) + " answers not taken";
  return line;
}

std::string summary_line(const tunnel_status& status, double seconds) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "summary after %.1f s: ", seconds);
  return prefix + status_line(status);
}

}  // namespace qelcs_remote
