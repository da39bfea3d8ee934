// The long-poll loop of one poller.
#include "poll_loop.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>

#include "log_output.h"

namespace qelcs_remote {

using qel::tools::log_debug;
using qel::tools::log_error;
using qel::tools::log_info;
using qel::tools::log_warning;

namespace {

// A poll sent while stopping waits this long for its response; by then the answer it
// carried has been taken, and a poll the server parks is let go.
constexpr long drain_timeout_ms = 2000;
constexpr int drain_rounds = 3;

// Counts a gauge up for the lifetime of a scope.
class gauge_up {
 public:
  explicit gauge_up(std::atomic<unsigned>& gauge) : gauge_(gauge) { ++gauge_; }
  ~gauge_up() { --gauge_; }
  gauge_up(const gauge_up&) = delete;
  gauge_up& operator=(const gauge_up&) = delete;

 private:
  std::atomic<unsigned>& gauge_;
};

}  // namespace

poll_loop::poll_loop(unsigned index, const poll_settings& settings, forwarder& target,
                     tunnel_status& status, poller_group& group, std::atomic<bool>& stop)
    : index_(index), settings_(settings), target_(target), status_(status), group_(group),
      stop_(stop), client_(settings_.tls),
      backoff_(settings_.initial_backoff_ms, settings_.max_backoff_ms),
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
  gauge_up running(status_.pollers);
  std::optional<tunnel_answer> pending;  // answer to return with the next poll
  bool resent = false;                   // `pending` went out once already
  while (!finished()) {
    if (index_ != 0 && group_.single_poller()) break;
    const poll_kind kind = pending ? poll_kind::answer : group_.empty_poll(index_, stop_);
    if (finished()) break;
    std::optional<tunnel_request> request;
    const outcome result = exchange(kind, pending, request);
    if (result == outcome::ok) {
      note_reached();
      if (kind == poll_kind::join) group_.join_accepted();
      pending.reset();
      resent = false;
      if (request) pending = handle(*request);
      continue;
    }
    if (result == outcome::refused && kind == poll_kind::answer) {
      note_reached();
      log_warning("the host did not take the answer for flow " + pending->flow_id +
                  " (its caller has gone, or the tunnel was re-created)");
      ++status_.not_taken;
      pending.reset();
      resent = false;
      continue;
    }
    if (result == outcome::refused && kind == poll_kind::join && group_.join_refused()) continue;
    if (stop_.load()) {
      // Cut short by the stop flag once its request had gone out. Whether the host read
      // an answer it carried is not known, so the drain sends it again: the host takes
      // it, or refuses a copy of an answer it already has. Either way its caller gets it
      // once.
      resent = pending.has_value();
      break;
    }
    if (result == outcome::refused) ++status_.errors;
    if (!pending || resent) pending.reset();  // an answer is sent twice at most
    resent = pending.has_value();
    note_failed();
    wait_backoff();
  }
  if (finished()) stop_.store(true);  // a limit reached here ends the other pollers' polls too
  if (connected_) --status_.connected;
  connected_ = false;
  if (pending) drain(std::move(*pending), resent);
}

void poll_loop::note_reached() {
  if (failures_in_row_ > 0) {
    const std::string who = settings_.pollers > 1 ? " (poller " + std::to_string(index_ + 1) + ")" : "";
    log_info("poll " + settings_.poll_url + who + ": reconnected after " +
             std::to_string(failures_in_row_) + (failures_in_row_ == 1 ? " failure" : " failures"));
  }
  failures_in_row_ = 0;
  if (!connected_) ++status_.connected;
  connected_ = true;
}

void poll_loop::note_failed() {
  ++failures_in_row_;
  if (connected_) --status_.connected;
  connected_ = false;
}

void poll_loop::note_refused(long status) {
  ++status_.auth_refusals;
  const unsigned in_row = ++status_.refused_in_row;
  const unsigned limit = settings_.max_auth_failures;
  if (limit == 0 || in_row < limit || status_.credentials_refused.exchange(true)) return;
  log_error("the host refused the credentials " + std::to_string(in_row) +
            " times in a row (last: HTTP " + std::to_string(status) + " from " + settings_.poll_url +
            "); check --token, --cert and --key. Stopping.");
  stop_.store(true);
}

long poll_loop::poll_timeout_ms() const {
  if (deadline_ == std::chrono::steady_clock::time_point::max()) return settings_.poll_timeout_ms;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline_ - std::chrono::steady_clock::now());
  return std::max(1L, std::min(settings_.poll_timeout_ms, static_cast<long>(left.count())));
}

http_request poll_loop::make_poll(poll_kind kind, const std::optional<tunnel_answer>& answer,
                                  long timeout_ms) const {
  http_request poll;
  poll.url = settings_.poll_url;
  poll.timeout_ms = timeout_ms;
  if (!settings_.token.empty()) poll.headers.emplace_back("Authorization", "Bearer " + settings_.token);
  if (kind == poll_kind::join) poll.headers.emplace_back(message_id_header, "join");
  if (kind == poll_kind::answer && answer) {
    poll.headers.emplace_back(message_id_header, answer->flow_id);
    poll.headers.emplace_back(status_code_header, std::to_string(answer->status));
    if (!answer->content_type.empty()) poll.headers.emplace_back("Content-Type", answer->content_type);
    poll.body = answer->body;
  }
  return poll;
}

poll_loop::outcome poll_loop::exchange(poll_kind kind, const std::optional<tunnel_answer>& answer,
                                       std::optional<tunnel_request>& request) {
  http_response response;
  std::string error;
  if (kind == poll_kind::answer) ++status_.answered;  // on its way back
  if (kind == poll_kind::reset) group_.reset_started();
  bool delivered;
  const long timeout_ms = poll_timeout_ms();
  {
    gauge_up open(status_.polls_open);
    delivered = client_.perform(make_poll(kind, answer, timeout_ms), response, error, &stop_);
  }
  if (kind == poll_kind::reset && (delivered || client_.may_have_reached_server()))
    group_.reset_delivered();
  if (!delivered) {
    // Not a failure: cut short by the stop flag, or it ran into the end of --duration.
    const bool ran_to_end = timeout_ms < settings_.poll_timeout_ms &&
                            std::chrono::steady_clock::now() + std::chrono::milliseconds(100) >= deadline_;
    if (!stop_.load() && !ran_to_end && !finished()) {
      ++status_.errors;
      last_error_ = "poll " + error;
    }
    return outcome::failed;
  }
  if (response.status != 200) {
    last_error_ = "poll " + settings_.poll_url + ": answered HTTP " + std::to_string(response.status);
    if (response.status == 500) return outcome::refused;
    ++status_.errors;
    if (response.status == 401 || response.status == 403) note_refused(response.status);
    return outcome::failed;
  }
  ++status_.polls;
  status_.refused_in_row = 0;
  status_.last_success_ms = static_cast<int64_t>(std::time(nullptr)) * 1000;
  backoff_.reset();
  const std::string flow_id = response.header(message_id_header);
  if (flow_id.empty()) return outcome::ok;  // the poll timed out with nothing to carry
  request = tunnel_request{flow_id, response.header(location_header),
                           response.header(method_header), response.header("Content-Type"),
                           std::move(response.body)};
  return outcome::ok;
}

tunnel_answer poll_loop::handle(const tunnel_request& request) {
  gauge_up busy(status_.forwarding);
  ++status_.forwarded;
  const auto started = std::chrono::steady_clock::now();
  tunnel_answer answer = target_.forward(request);
  if (answer.target_failed) ++status_.target_failures;
  if (qel::tools::log_output::enabled(qel::tools::log_level::debug)) {
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - started;
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f ms", took.count());
    log_debug("flow " + request.flow_id + ": " + (request.method.empty() ? "POST" : request.method) +
              " " + request.location + " answered " + std::to_string(answer.status) + " in " + ms);
  }
  return answer;
}

void poll_loop::wait_backoff() {
  if (finished()) return;
  gauge_up waiting(status_.backing_off);
  const long delay_ms = backoff_.next_delay_ms();
  char retry[64];
  std::snprintf(retry, sizeof retry, "; retrying in %.1f s", delay_ms / 1000.0);
  log_warning(last_error_ + retry);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
  while (!finished() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Returns the last answer; a request the same poll brings back is answered 503, since
// this client no longer forwards. Bounded in rounds and time; not ended by the stop flag.
// `counted`: the answer went out once already and was counted then.
void poll_loop::drain(tunnel_answer answer, bool counted) {
  status_.state = tunnel_state::draining;
  for (int round = 0; round < drain_rounds; ++round) {
    http_response response;
    std::string error;
    if (round > 0 || !counted) ++status_.answered;
    // A time-out here is the normal end: the answer was taken and the poll parked.
    if (!client_.perform(make_poll(poll_kind::answer, answer, drain_timeout_ms), response, error)) return;
    if (response.status != 200) return;
    ++status_.polls;
    const std::string flow_id = response.header(message_id_header);
    if (flow_id.empty()) return;
    answer = tunnel_answer{flow_id, 503, "text/plain", "qelcs-remote: stopping\n", false};
  }
}

}  // namespace qelcs_remote
