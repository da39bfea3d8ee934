// Status line and summary texts.
#include "tunnel_status.h"

#include <cstdio>

namespace qelcs_remote {

const char* state_name(tunnel_state state) {
  switch (state) {
    case tunnel_state::starting: return "starting";
    case tunnel_state::waiting: return "waiting";
    case tunnel_state::forwarding: return "forwarding";
    case tunnel_state::backing_off: return "backing off";
    case tunnel_state::draining: return "draining";
    case tunnel_state::stopped: return "stopped";
  }
  return "unknown";
}

std::string status_line(const tunnel_status& status) {
  char text[256];
  std::snprintf(text, sizeof text,
                "state %s; %llu forwarded, %llu answered, %llu target failures, "
                "%llu poll errors, %llu polls",
                state_name(status.state.load()),
                static_cast<unsigned long long>(status.forwarded.load()),
                static_cast<unsigned long long>(status.answered.load()),
                static_cast<unsigned long long>(status.target_failures.load()),
                static_cast<unsigned long long>(status.errors.load()),
                static_cast<unsigned long long>(status.polls.load()));
  return text;
}

std::string summary_line(const tunnel_status& status, double seconds) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "summary after %.1f s: ", seconds);
  return prefix + status_line(status);
}

}  // namespace qelcs_remote
