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
  if (const uint64_t again = status.resent.load())
    line += ", " + std::to_string(again) + " answers resent";
  return line;
}

std::string summary_line(const tunnel_status& status, double seconds) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "summary after %.1f s: ", seconds);
  return prefix + status_line(status);
}

namespace {

void metric(std::string& text, const char* name, const char* type, const char* help,
            const std::string& value) {
  text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" +
          name + " " + value + "\n";
}

}  // namespace

std::string metrics_text(const tunnel_status& s) {
  std::string text;
  const auto count = [&](const char* name, const char* help, uint64_t value) {
    metric(text, name, "counter", help, std::to_string(value));
  };
  const auto gauge = [&](const char* name, const char* help, uint64_t value) {
    metric(text, name, "gauge", help, std::to_string(value));
  };
  count("qelcs_remote_polls_total", "Polls the host answered with 200.", s.polls.load());
  count("qelcs_remote_forwarded_total", "Requests sent on to the target.", s.forwarded.load());
  count("qelcs_remote_answered_total", "Answers sent back in a poll, each counted once.",
        s.answered.load());
  count("qelcs_remote_answers_resent_total", "Answers sent again after a poll that failed.",
        s.resent.load());
  count("qelcs_remote_target_failures_total",
        "Requests answered 502 because the target could not be reached or did not answer.",
        s.target_failures.load());
  count("qelcs_remote_poll_errors_total", "Polls that failed (each followed by a backoff).",
        s.errors.load());
  count("qelcs_remote_auth_refusals_total", "Polls the host answered 401 or 403.",
        s.auth_refusals.load());
  count("qelcs_remote_answers_not_taken_total",
        "Answers that reached no caller because it had gone.", s.not_taken.load());
  gauge("qelcs_remote_pollers", "Pollers running.", s.pollers.load());
  gauge("qelcs_remote_pollers_connected", "Pollers whose last poll the host answered.",
        s.connected.load());
  gauge("qelcs_remote_requests_forwarding", "Requests with the target right now.",
        s.forwarding.load());
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(s.last_success_ms.load()) / 1000);
  metric(text, "qelcs_remote_last_successful_poll_timestamp_seconds", "gauge",
         "Unix time of the last poll answered 200 (0: none yet).", seconds);
  return text;
}

}  // namespace qelcs_remote
