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
constexpr long drain_poll_timeout_ms = 2000;
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

void add_answer(http_request& poll, const tunnel_answer& answer, bool final) {
  poll.headers.emplace_back(message_id_header, answer.flow_id);
  poll.headers.emplace_back(status_code_header, std::to_string(answer.status));
  if (!answer.content_type.empty()) poll.headers.emplace_back("Content-Type", answer.content_type);
  if (!answer.instance.empty()) poll.headers.emplace_back(instance_header, answer.instance);
  if (final) poll.headers.emplace_back(poll_header, "final");
  poll.body = answer.body;
}

}  // namespace

void add_poll_identity(http_request& poll, const poll_settings& settings, const poller_group& group) {
  if (!settings.token.empty()) poll.headers.emplace_back("Authorization", "Bearer " + settings.token);
  poll.headers.emplace_back(client_header, group.client_id());
}

poll_loop::poll_loop(unsigned index, const poll_settings& settings, forwarder& target,
                     tunnel_status& status, poller_group& group, std::atomic<bool>& stop,
                     bool presence)
    : index_(index), settings_(settings), target_(target), status_(status), group_(group),
      stop_(stop), presence_(presence), client_(settings_.tls),
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

bool poll_loop::wait_until_host_declares() {
  while (!group_.host_knows_clients()) {
    if (finished() || group_.stopping()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

void poll_loop::run() {
  std::optional<gauge_up> running;
  if (!presence_) running.emplace(status_.pollers);
  std::optional<tunnel_answer> pending;  // answer to return with the next poll
  bool resend = false;                   // `pending` went out once already
  while (!finished()) {
    if (!pending && group_.stopping()) break;  // a graceful stop: nothing in hand
    if (presence_ && !pending && !wait_until_host_declares()) break;
    if (!presence_ && index_ != 0 && group_.single_poller()) break;
    const poll_kind kind = pending    ? poll_kind::answer
                           : presence_ ? poll_kind::presence
                                       : group_.empty_poll(index_, stop_);
    if (finished() || (!pending && group_.stopping())) break;
    std::optional<tunnel_request> request;
    const outcome result = exchange(kind, pending, request, resend);
    if (result == outcome::ok) {
      note_reached();
      if (kind == poll_kind::join) group_.join_accepted();
      pending.reset();
      resend = false;
      if (request) pending = handle(*request);
      continue;
    }
    if (result == outcome::refused && kind == poll_kind::answer) {
      // An older host's "flow not found": the caller has gone.
      note_reached();
      log_info("the host did not take the answer for flow " + pending->flow_id +
               " (its caller has gone, or the tunnel was re-created)");
      ++status_.not_taken;
      pending.reset();
      resend = false;
      continue;
    }
    if (result == outcome::refused && kind == poll_kind::join && group_.join_refused()) continue;
    if (stop_.load()) {
      // Cut short by the stop flag once its request had gone out. Whether the host read
      // an answer it carried is not known, so the drain sends it again: the host takes
      // it, or drops a copy of an answer it already has. Either way its caller gets it
      // once.
      resend = pending.has_value();
      break;
    }
    if (result == outcome::refused) ++status_.errors;
    if (!pending || resend) pending.reset();  // an answer is sent twice at most
    resend = pending.has_value();
    note_failed();
    wait_backoff();
  }
  if (finished()) stop_.store(true);  // a limit reached here ends the other pollers' polls too
  if (connected_) --status_.connected;
  connected_ = false;
  if (pending) drain(std::move(*pending), resend);
}

void poll_loop::note_reached() {
  if (failures_in_row_ > 0) {
    const std::string who = settings_.pollers > 1 ? " (poller " + std::to_string(index_ + 1) + ")" : "";
    log_info("poll " + settings_.poll_url + who + ": reconnected after " +
             std::to_string(failures_in_row_) + (failures_in_row_ == 1 ? " failure" : " failures"));
  }
  failures_in_row_ = 0;
  if (presence_) return;  // the connected gauge counts pollers
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
  add_poll_identity(poll, settings_, group_);
  if (kind == poll_kind::join || kind == poll_kind::presence)
    poll.headers.emplace_back(message_id_header, "join");
  if (kind == poll_kind::presence) poll.headers.emplace_back(poll_header, "presence");
  if (kind == poll_kind::answer && answer)
    add_answer(poll, *answer, group_.stopping() && group_.host_knows_clients());
  return poll;
}

void poll_loop::note_answer_dropped(const tunnel_answer& answer) {
  ++status_.not_taken;
  log_info("the host took the answer for flow " + answer.flow_id + ", but its caller had gone");
}

poll_loop::outcome poll_loop::exchange(poll_kind kind, const std::optional<tunnel_answer>& answer,
                                       std::optional<tunnel_request>& request, bool resend) {
  http_response response;
  std::string error;
  // Counted as it goes out (the poll that carries it may stay parked for long): once,
  // and a copy sent after a failed poll as a resend.
  if (kind == poll_kind::answer) ++(resend ? status_.resent : status_.answered);
  if (kind == poll_kind::reset) group_.reset_started();
  bool delivered;
  const long timeout_ms = poll_timeout_ms();
  {
    std::optional<gauge_up> open;
    if (!presence_) open.emplace(status_.polls_open);
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
  if (!response.header(instance_header).empty()) group_.host_declared();
  if (kind == poll_kind::answer && response.header(answer_header) == "dropped")
    note_answer_dropped(*answer);
  const std::string flow_id = response.header(message_id_header);
  if (flow_id.empty()) return outcome::ok;  // the poll timed out with nothing to carry
  request = tunnel_request{flow_id, response.header(location_header),
                           response.header(method_header), response.header("Content-Type"),
                           std::move(response.body), response.header(instance_header)};
  return outcome::ok;
}

tunnel_answer poll_loop::handle(const tunnel_request& request) {
  gauge_up busy(status_.forwarding);
  ++status_.forwarded;
  const auto started = std::chrono::steady_clock::now();
  tunnel_answer answer = target_.forward(request, &group_.targets_abandoned());
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

// Returns the last answer after the stop flag ended the loop; bounded in rounds and
// time, not ended by the stop flag. A host that knows declared clients takes it in a
// final poll and hands nothing back; an older one may bring a request back, which is
// answered 503 since this client no longer forwards.
void poll_loop::drain(tunnel_answer answer, bool resend) {
  status_.state = tunnel_state::draining;
  const bool final = group_.host_knows_clients();
  for (int round = 0; round < drain_rounds; ++round) {
    ++((round == 0 && resend) ? status_.resent : status_.answered);
    http_request poll;
    poll.url = settings_.poll_url;
    poll.timeout_ms = drain_poll_timeout_ms;
    add_poll_identity(poll, settings_, group_);
    add_answer(poll, answer, final);
    http_response response;
    std::string error;
    // A time-out here is the normal end against an older host: the answer was taken and
    // the poll parked.
    if (!client_.perform(poll, response, error)) return;
    if (response.status == 500) ++status_.not_taken;
    if (response.status != 200) return;
    ++status_.polls;
    if (response.header(answer_header) == "dropped") note_answer_dropped(answer);
    const std::string flow_id = response.header(message_id_header);
    if (flow_id.empty()) return;
    answer = tunnel_answer{flow_id, response.header(instance_header), 503, "text/plain",
                           "qelcs-remote: stopping\n", false};
  }
}

bool poll_loop::send_release(const poll_settings& settings, const poller_group& group,
                             std::string& error) {
  http_client client(settings.tls);
  http_request poll;
  poll.url = settings.poll_url;
  poll.timeout_ms = drain_poll_timeout_ms;
  add_poll_identity(poll, settings, group);
  poll.headers.emplace_back(message_id_header, "join");
  poll.headers.emplace_back(poll_header, "final");
  http_response response;
  if (!client.perform(poll, response, error)) return false;
  if (response.status == 200) return true;
  error = settings.poll_url + ": answered HTTP " + std::to_string(response.status);
  return false;
}

}  // namespace qelcs_remote
