// The long-poll cycle of one poller, as a state machine on the event loop.
#include "poll_loop.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "live_settings.h"
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
// How often a waiting poller looks again at what it waits for.
constexpr std::chrono::milliseconds recheck(50);

}  // namespace

bool poll_identity::refresh(http_endpoint& endpoint, std::string& error) {
  const std::shared_ptr<const live_settings>& live = settings_.tls.live;
  if (made_ && (!live || live->generation() == generation_)) return false;
  tls_options options = settings_.tls;
  std::string token = settings_.token;
  if (live) {
    generation_ = live->generation();
    live_settings::values now = live->current();
    options = std::move(now.connection);
    token = std::move(now.token);
  }
  authorization_ = token.empty() ? std::string() : "Bearer " + token;
  made_ = make_endpoint(settings_.poll_url, options, endpoint, error);
  return made_;
}

void poll_identity::add_headers(std::string& lines, const poller_group& group) const {
  if (!authorization_.empty()) add_header_line(lines, "Authorization", authorization_);
  add_header_line(lines, client_header, group.client_id());
  add_header_line(lines, accept_header, accept_any_request);
}

poll_loop::poll_loop(event_loop& loop, unsigned index, const poll_settings& settings,
                     const http_endpoint& target, long target_timeout_ms, tunnel_status& status,
                     poller_group& group, std::atomic<bool>& stop, bool presence)
    : loop_(loop), index_(index), settings_(settings), status_(status), group_(group), stop_(stop),
      presence_(presence), identity_(settings), poll_(loop, *this),
      target_(loop, target, target_timeout_ms, *this),
      backoff_(settings_.initial_backoff_ms, settings_.max_backoff_ms),
      timer_(loop, [this] {
        if (phase_ == phase::waiting) advance();
        else if (phase_ == phase::backing_off) start_backoff();
      }),
      deadline_(std::chrono::steady_clock::time_point::max()) {
  if (settings_.duration_s > 0)
    deadline_ = std::chrono::steady_clock::now() +
                std::chrono::milliseconds(static_cast<long>(settings_.duration_s * 1000));
}

void poll_loop::start() {
  if (!presence_) {
    ++status_.pollers;
    counted_running_ = true;
  }
  advance();
}

bool poll_loop::finished() const {
  return stop_.load() || std::chrono::steady_clock::now() >= deadline_ ||
         (settings_.max_requests > 0 && status_.forwarded.load() >= settings_.max_requests);
}

void poll_loop::check_abort() {
  poll_.check_abort();
  target_.check_abort();
}

void poll_loop::wait_a_moment() {
  phase_ = phase::waiting;
  timer_.set_in(recheck);
}

void poll_loop::advance() {
  phase_ = phase::idle;
  if (finished() || (!has_pending_ && group_.stopping())) return end();  // a graceful stop: nothing in hand
  if (presence_ && !has_pending_ && !group_.host_knows_clients()) return wait_a_moment();
  if (!presence_ && index_ != 0 && group_.single_poller()) return end();
  poll_kind kind = poll_kind::answer;
  if (!has_pending_) {
    if (presence_) {
      kind = poll_kind::presence;
    } else {
      const std::optional<poll_kind> empty = group_.try_empty_poll(index_, stop_);
      if (!empty) return wait_a_moment();
      kind = *empty;
    }
  }
  send_poll(kind);
}

long poll_loop::poll_timeout_ms() const {
  if (deadline_ == std::chrono::steady_clock::time_point::max()) return settings_.poll_timeout_ms;
  // Rounded up: a poll cut by the duration ends at or after it, when finished() says so.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
  return std::max(1L, std::min(settings_.poll_timeout_ms, static_cast<long>(left.count())));
}

void poll_loop::build_poll(poll_kind kind, bool with_answer, bool final) {
  poll_lines_.clear();
  identity_.add_headers(poll_lines_, group_);
  if (kind == poll_kind::join || kind == poll_kind::presence) add_header_line(poll_lines_, message_id_header, "join");
  if (kind == poll_kind::presence) add_header_line(poll_lines_, poll_header, "presence");
  if (!with_answer) return;
  char status[24];
  std::snprintf(status, sizeof status, "%ld", answer_.status);
  add_header_line(poll_lines_, message_id_header, answer_.flow_id);
  add_header_line(poll_lines_, status_code_header, status);
  if (!answer_.content_type.empty()) add_header_line(poll_lines_, "Content-Type", answer_.content_type);
  if (!answer_.headers.empty()) add_header_line(poll_lines_, headers_header, answer_.headers);
  if (!answer_.instance.empty()) add_header_line(poll_lines_, instance_header, answer_.instance);
  if (final) add_header_line(poll_lines_, poll_header, "final");
}

void poll_loop::send_poll(poll_kind kind) {
  kind_ = kind;
  http_endpoint endpoint;
  std::string error;
  if (identity_.refresh(endpoint, error)) poll_.set_endpoint(endpoint);  // new files, proxy or token
  else if (!error.empty()) {
    last_error_ = "poll " + error;
    ++status_.errors;
    return after_poll(outcome::failed, false);
  }
  // Counted as it goes out (the poll that carries it may stay parked for long): once,
  // and a copy sent after a failed poll as a resend.
  if (kind == poll_kind::answer) ++(resend_ ? status_.resent : status_.answered);
  if (kind == poll_kind::reset) group_.reset_started();
  timeout_ms_ = poll_timeout_ms();
  if (!presence_) {
    ++status_.polls_open;
    polls_open_counted_ = true;
  }
  build_poll(kind, kind == poll_kind::answer, group_.stopping() && group_.host_knows_clients());
  phase_ = phase::polling;
  poll_.start("POST", poll_.endpoint().path, poll_lines_,
              kind == poll_kind::answer ? std::string_view(answer_.body) : std::string_view(), timeout_ms_,
              &stop_);
}

void poll_loop::on_exchange_done(http_connection& connection) {
  if (phase_ == phase::draining) return drain_done(connection);
  if (polls_open_counted_) --status_.polls_open;
  polls_open_counted_ = false;
  const bool had_request = request_.flow_id.assign(connection.ok() ? connection.header(message_id_header) : "").size() > 0;
  const outcome result = poll_result(connection);
  after_poll(result, result == outcome::ok && had_request);
}

poll_loop::outcome poll_loop::poll_result(http_connection& connection) {
  if (kind_ == poll_kind::reset && (connection.ok() || connection.may_have_reached_server()))
    group_.reset_delivered();
  if (!connection.ok()) {
    // Not a failure: cut short by the stop flag, or it ran into the end of --duration.
    const bool ran_to_end = timeout_ms_ < settings_.poll_timeout_ms &&
                            std::chrono::steady_clock::now() + std::chrono::milliseconds(100) >= deadline_;
    if (!stop_.load() && !ran_to_end && !finished()) {
      ++status_.errors;
      last_error_ = "poll " + connection.error();
    }
    return outcome::failed;
  }
  const long status = connection.status();
  if (status != 200) {
    last_error_ = "poll " + settings_.poll_url + ": answered HTTP " + std::to_string(status);
    if (status == 500) return outcome::refused;
    ++status_.errors;
    if (status == 401 || status == 403) note_refused(status);
    return outcome::failed;
  }
  ++status_.polls;
  status_.refused_in_row = 0;
  status_.last_success_ms = static_cast<int64_t>(std::time(nullptr)) * 1000;
  backoff_.reset();
  if (!connection.header(instance_header).empty()) group_.host_declared();
  if (kind_ == poll_kind::answer && connection.header(answer_header) == "dropped") note_answer_dropped();
  if (request_.flow_id.empty()) return outcome::ok;  // the poll timed out with nothing to carry
  request_.location.assign(connection.header(location_header));
  request_.method.assign(connection.header(method_header));
  request_.content_type.assign(connection.header("Content-Type"));
  request_.instance.assign(connection.header(instance_header));
  request_.headers.assign(connection.header(headers_header));
  request_.body.assign(connection.body());
  return outcome::ok;
}

void poll_loop::after_poll(outcome result, bool has_request) {
  if (result == outcome::ok) {
    note_reached();
    if (kind_ == poll_kind::join) group_.join_accepted();
    has_pending_ = resend_ = false;
    if (!has_request) return advance();
    phase_ = phase::forwarding;
    ++status_.forwarding;
    ++status_.forwarded;
    forward_started_ = std::chrono::steady_clock::now();
    return target_.start(request_, answer_, &group_.targets_abandoned());
  }
  if (result == outcome::refused && kind_ == poll_kind::answer) {
    // An older host's "flow not found": the caller has gone.
    note_reached();
    log_info("the host did not take the answer for flow " + answer_.flow_id +
             " (its caller has gone, or the tunnel was re-created)");
    ++status_.not_taken;
    has_pending_ = resend_ = false;
    return advance();
  }
  if (result == outcome::refused && kind_ == poll_kind::join && group_.join_refused()) return advance();
  if (stop_.load()) {
    // Cut short by the stop flag once its request had gone out. Whether the host read
    // an answer it carried is not known, so the drain sends it again: the host takes
    // it, or drops a copy of an answer it already has. Either way its caller gets it
    // once.
    resend_ = has_pending_;
    return end();
  }
  if (result == outcome::refused) ++status_.errors;
  if (!has_pending_ || resend_) has_pending_ = false;  // an answer is sent twice at most
  resend_ = has_pending_;
  note_failed();
  start_backoff();
}

void poll_loop::on_forwarded() {
  --status_.forwarding;
  if (answer_.target_failed) ++status_.target_failures;
  if (qel::tools::log_output::enabled(qel::tools::log_level::debug)) {
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - forward_started_;
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f ms", took.count());
    log_debug("flow " + request_.flow_id + ": " + (request_.method.empty() ? "POST" : request_.method) +
              " " + request_.location + " answered " + std::to_string(answer_.status) + " in " + ms);
  }
  has_pending_ = true;
  advance();
}

// Waits before the next poll after a failure; the first call logs and draws the delay,
// the timer calls it again every moment until the delay is over or the run ends.
void poll_loop::start_backoff() {
  const auto now = std::chrono::steady_clock::now();
  if (phase_ != phase::backing_off) {
    if (finished()) return advance();
    phase_ = phase::backing_off;
    ++status_.backing_off;
    const long delay_ms = backoff_.next_delay_ms();
    char retry[64];
    std::snprintf(retry, sizeof retry, "; retrying in %.1f s", delay_ms / 1000.0);
    log_warning(last_error_ + retry);
    backoff_until_ = now + std::chrono::milliseconds(delay_ms);
  } else if (finished() || now >= backoff_until_) {
    --status_.backing_off;
    return advance();
  }
  timer_.set(std::min(backoff_until_, now + recheck));
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

void poll_loop::note_answer_dropped() {
  ++status_.not_taken;
  log_info("the host took the answer for flow " + answer_.flow_id + ", but its caller had gone");
}

void poll_loop::end() {
  if (finished()) stop_.store(true);  // a limit reached here ends the other pollers' polls too
  if (connected_) --status_.connected;
  connected_ = false;
  if (!has_pending_) return finish_run();
  status_.state = tunnel_state::draining;
  drain_round_ = 0;
  drain_round();
}

// Returns the last answer after the run ended; bounded in rounds and time, not ended by
// the stop flag. A host that knows declared clients takes it in a final poll and hands
// nothing back; an older one may bring a request back, which is answered 503 since this
// client no longer forwards.
void poll_loop::drain_round() {
  if (drain_round_ >= drain_rounds) return finish_run();
  ++((drain_round_ == 0 && resend_) ? status_.resent : status_.answered);
  http_endpoint endpoint;
  std::string error;
  if (identity_.refresh(endpoint, error)) poll_.set_endpoint(endpoint);
  build_poll(poll_kind::answer, true, group_.host_knows_clients());
  phase_ = phase::draining;
  poll_.start("POST", poll_.endpoint().path, poll_lines_, answer_.body, drain_poll_timeout_ms, nullptr);
}

void poll_loop::drain_done(http_connection& connection) {
  // A time-out here is the normal end against an older host: the answer was taken and
  // the poll parked.
  if (!connection.ok()) return finish_run();
  if (connection.status() == 500) ++status_.not_taken;
  if (connection.status() != 200) return finish_run();
  ++status_.polls;
  if (connection.header(answer_header) == "dropped") note_answer_dropped();
  const std::string_view flow_id = connection.header(message_id_header);
  if (flow_id.empty()) return finish_run();
  answer_.flow_id.assign(flow_id);
  answer_.instance.assign(connection.header(instance_header));
  answer_.status = 503;
  answer_.content_type.assign("text/plain");
  answer_.headers.clear();
  answer_.body.assign("qelcs-remote: stopping\n");
  answer_.target_failed = false;
  ++drain_round_;
  drain_round();
}

void poll_loop::finish_run() {
  timer_.cancel();
  poll_.close();
  target_.close();
  if (counted_running_) --status_.pollers;
  counted_running_ = false;
  phase_ = phase::done;
}

}  // namespace qelcs_remote
