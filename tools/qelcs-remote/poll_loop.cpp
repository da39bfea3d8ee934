// The long-poll loop of the tunnel client.
#include "poll_loop.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "log_line.h"

namespace qelcs_remote {

namespace {

// A poll sent while stopping waits this long for its response; by then the answer it
// carried has been taken, and a poll the server parks is let go.
constexpr long drain_timeout_ms = 2000;
constexpr int drain_rounds = 3;

}  // namespace

poll_loop::poll_loop(poll_settings settings, forwarder& target, tunnel_status& status,
                     const std::atomic<bool>& stop)
    : settings_(std::move(settings)), target_(target), status_(status), stop_(stop),
      client_(settings_.tls), backoff_(settings_.initial_backoff_ms, settings_.max_backoff_ms),
      deadline_(std::chrono::steady_clock::time_point::max()) {
  if (settings_.duration_s > 0)
    deadline_ = std::chrono::steady_clock::now() +
                std::chrono::milliseconds(static_cast<long>(settings_.duration_s * 1000));
}

bool poll_loop::finished() const {
  return stop_.load() || std::chrono::steady_clock::now() >= deadline_ ||
         (settings_.max_requests > 0 && status_.forwarded.load() >= settings_.max_requests);
}

void poll_loop::run() {
  std::optional<tunnel_answer> pending;  // answer to return with the next poll
  while (!finished()) {
    status_.state = tunnel_state::waiting;
    std::optional<tunnel_request> request;
    if (!exchange(pending, request)) {
      pending.reset();  // the next poll resets the tunnel
      wait_backoff();
      continue;
    }
    pending.reset();
    if (request) pending = handle(*request);
  }
  if (pending) drain(std::move(*pending));
  status_.state = tunnel_state::stopped;
}

long poll_loop::poll_timeout_ms() const {
  if (deadline_ == std::chrono::steady_clock::time_point::max()) return settings_.poll_timeout_ms;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline_ - std::chrono::steady_clock::now());
  return std::max(1L, std::min(settings_.poll_timeout_ms, static_cast<long>(left.count())));
}

http_request poll_loop::make_poll(const std::optional<tunnel_answer>& answer,
                                  long timeout_ms) const {
  http_request poll;
  poll.url = settings_.poll_url;
  poll.timeout_ms = timeout_ms;
  if (!settings_.token.empty()) poll.headers.emplace_back("Authorization", "Bearer " + settings_.token);
  if (answer) {
    poll.headers.emplace_back(message_id_header, answer->flow_id);
    poll.headers.emplace_back(status_code_header, std::to_string(answer->status));
    if (!answer->content_type.empty()) poll.headers.emplace_back("Content-Type", answer->content_type);
    poll.body = answer->body;
  }
  return poll;
}

bool poll_loop::exchange(const std::optional<tunnel_answer>& answer,
                         std::optional<tunnel_request>& request) {
  http_response response;
  std::string error;
  if (answer) ++status_.answered;  // on its way back; a failure of this poll counts as an error
  if (!client_.perform(make_poll(answer, poll_timeout_ms()), response, error, &stop_)) {
    if (!finished()) {  // not cut short by the stop flag or the end of --duration
      ++status_.errors;
      last_error_ = "poll " + error;
    }
    return false;
  }
  if (response.status != 200) {
    ++status_.errors;
    last_error_ = "poll " + settings_.poll_url + ": answered HTTP " + std::to_string(response.status);
    return false;
  }
  ++status_.polls;
  backoff_.reset();
  const std::string flow_id = response.header(message_id_header);
  if (flow_id.empty()) return true;  // the poll timed out with nothing to carry
  request = tunnel_request{flow_id, response.header(location_header),
                           response.header(method_header), response.header("Content-Type"),
                           std::move(response.body)};
  return true;
}

tunnel_answer poll_loop::handle(const tunnel_request& request) {
  status_.state = tunnel_state::forwarding;
  ++status_.forwarded;
  tunnel_answer answer = target_.forward(request);
  if (answer.target_failed) ++status_.target_failures;
  return answer;
}

void poll_loop::wait_backoff() {
  if (finished()) return;
  status_.state = tunnel_state::backing_off;
  const long delay_ms = backoff_.next_delay_ms();
  char retry[64];
  std::snprintf(retry, sizeof retry, "; retrying in %.1f s", delay_ms / 1000.0);
  log_line(last_error_ + retry);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
  while (!finished() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Returns the last answer; a request the same poll brings back is answered 503, since
// this client no longer forwards. Bounded in rounds and time; not ended by the stop flag.
void poll_loop::drain(tunnel_answer answer) {
  status_.state = tunnel_state::draining;
  for (int round = 0; round < drain_rounds; ++round) {
    http_response response;
    std::string error;
    ++status_.answered;
    // A time-out here is the normal end: the answer was taken and the poll parked.
    if (!client_.perform(make_poll(answer, drain_timeout_ms), response, error)) return;
    if (response.status != 200) return;
    ++status_.polls;
    const std::string flow_id = response.header(message_id_header);
    if (flow_id.empty()) return;
    answer = tunnel_answer{flow_id, 503, "text/plain", "qelcs-remote: stopping\n", false};
  }
}

}  // namespace qelcs_remote
