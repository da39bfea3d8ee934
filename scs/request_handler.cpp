#include "scs/request_handler.h"

#include <strings.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "scs/any_request.h"
#include "scs/api_guard.h"
#include "scs/body_buffer.h"
#include "scs/builtin_pages.h"
#include "scs/client_auth.h"
#include "scs/connection_watch.h"
#include "scs/direct_answer.h"
#include "scs/http_daemon.h"
#include "scs/log.h"
#include "scs/mhd_messages.h"
#include "scs/pending_requests.h"
#include "scs/request_accounting.h"
#include "scs/request_registry.h"
#include "scs/responses.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

thread_local int t_callback_depth = 0;

constexpr const char* kStopping = "the server is stopping";
constexpr const char* kNoRoom = "the server has no room for this body now, try again later";
constexpr const char* kEscapes =
    "qel: a request path with a dot segment or a NUL byte is not carried by this tunnel";

// What the library keeps about one request between the calls of request_access.
struct RequestState {
  RequestState(HttpDaemon& d, Connection* c) : daemon(d), connection(c), live(d.live_state()) {}
  // A callback's answer that was never queued (its connection ended first, as when a
  // stop ends a pooled connection whose callback was waiting) is freed here.
  ~RequestState() {
    give_back();
    std::free(answer);
    std::free(later.answer);
    if (later.stopped) pending_requests().stop_answered(&daemon);  // its 503 is gone
  }
  RequestState(const RequestState&) = delete;
  RequestState& operator=(const RequestState&) = delete;

  void give_back() {
    daemon.budget().give_back(held);
    held = 0;
  }

  HttpDaemon& daemon;
  Connection* connection;  // the connection table's record (null if it has none)
  // The endpoint's state when the request arrived: one reload or none, the request
  // sees one set of settings from its first check to its answer.
  const EndpointState* const live;
  bool answered = false;   // an answer is queued or written; ignore whatever else arrives
  bool chunked = false;    // no declared length: the budget is taken as bytes arrive
  Route route;
  std::string method;
  std::string resource;  // the path, decoded by libmicrohttpd, without the query
  std::string target;    // the request-target as received
  std::chrono::steady_clock::time_point started;  // the headers arrived
  RequestHeaders headers;  // libmicrohttpd's strings, valid until the request completes
  // Gathered while the headers are collected, so that the checks need no more passes.
  unsigned lengths = 0;         // Content-Length headers
  unsigned codings = 0;         // Transfer-Encoding headers
  std::uint64_t declared = 0;   // the first Content-Length (libmicrohttpd checked its form)
  bool well_formed = true;      // every name a token, no value with control characters
  BodyBuffer body;
  std::uint64_t held = 0;  // bytes of the endpoint's body budget this request holds
  // The callback's exchange and its outcome. A callback that may wait on a pooled
  // connection runs on a thread of its own (HeldCallbacks) while the connection is
  // suspended; `done` hands its outcome back to the worker that answers.
  std::shared_ptr<RequestExchange> exchange;
  std::uint32_t id = 0;
  bool deferred = false;
  std::atomic<bool> done{false};
  std::uint32_t result = 0;
  std::uint8_t* answer = nullptr;
  std::uint32_t answer_length = 0;
  bool no_thread = false;  // no thread could run it: answered 503
  // A callback that completes later: its outcome, written by the completing thread
  // (pending_requests.h) and taken once the request is no longer pending.
  PendingOutcome later;
  std::condition_variable later_done;  // wakes this connection's thread (no worker pool)
  bool stopped = false;  // its listener stopped first: answered 503
};

Connection* connection_record(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info != nullptr ? static_cast<Connection*>(info->socket_context) : nullptr;
}

// libmicrohttpd 0.9.75 takes "Bad Name: x" as a header: a request with a name that is
// not an HTTP token or a value with a control character other than a tab is answered
// 400, so the header lists the library hands on are always well formed.
MHD_Result collect_header(void* request, MHD_ValueKind, const char* name, const char* value) {
  auto& state = *static_cast<RequestState*>(request);
  if (value == nullptr) value = "";
  state.headers.push_back({name, value});
  state.well_formed = state.well_formed && valid_header_name(name) && valid_header_value(value);
  if (strcasecmp(name, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) {
    if (state.lengths++ == 0) state.declared = std::strtoull(value, nullptr, 10);
  } else if (strcasecmp(name, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0) {
    ++state.codings;
  }
  return MHD_YES;
}

// Two lengths, or a length beside a transfer coding, let a proxy and this server
// disagree on where the request ends: refuse both.
bool ambiguous_length(const RequestState& state) {
  return state.lengths > 1 || (state.lengths == 1 && state.codings > 0);
}

// A transfer coding other than a lone "chunked" is one this server cannot decode: 400
// when chunked is not the last coding (the body has no end), else 501. Answered before
// the body is read, so such a request never waits for its connection to close.
unsigned unsupported_coding(const RequestHeaders& headers) {
  std::string codings;
  for (const auto& [name, value] : headers) {
    if (strcasecmp(name, MHD_HTTP_HEADER_TRANSFER_ENCODING) != 0) continue;
    codings += codings.empty() ? value : "," + std::string(value);
  }
  if (codings.empty()) return 0;
  const auto trimmed = [](std::string text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
  };
  if (strcasecmp(trimmed(codings).c_str(), "chunked") == 0) return 0;
  const std::string last = trimmed(codings.substr(codings.rfind(',') + 1));
  return strcasecmp(last.c_str(), "chunked") == 0 ? MHD_HTTP_NOT_IMPLEMENTED : MHD_HTTP_BAD_REQUEST;
}

void count_budget_refusal(HttpDaemon& daemon) {
  daemon.counted_log().count(
      daemon.label() + "/budget",
      {MSL_LOG_WARNING, "HttpDaemon", daemon.label() + " refused ",
       " requests whose body did not fit in body_budget (" +
           std::to_string(daemon.budget().limit()) + " bytes)"});
}

void account_answer(HttpDaemon& daemon, MHD_Connection* connection, const RequestState& state,
                    unsigned status, std::uint64_t bytes_out, bool builtin_page = false) {
  account(daemon, connection,
          AnsweredRequest{state.method, state.resource, state.route.metrics, builtin_page, status,
                          state.body.size(), bytes_out, state.started,
                          state.live->config.access_log});
}

// Refuses the request before its body: the answer closes the connection.
MHD_Result refuse(HttpDaemon& daemon, RequestState& state, MHD_Connection* connection,
                  unsigned status, const std::string& text, unsigned retry_after) {
  state.answered = true;
  daemon.connections().serving(state.connection);
  std::size_t size = 0;
  const MHD_Result queued = queue_refusal(connection, status, text, retry_after, size);
  account_answer(daemon, connection, state, status, size);
  return queued;
}

// Answers while the body is still coming, which libmicrohttpd cannot queue: the answer
// is written directly and the connection closed (MHD_NO).
MHD_Result answer_during_body(HttpDaemon& daemon, RequestState& state, MHD_Connection* connection,
                              unsigned status, const std::string& text, unsigned retry_after) {
  state.answered = true;
  write_answer(connection, status, text, retry_after);
  set_answered_directly();  // what libmicrohttpd says about the close is no news
  state.body.release();
  state.give_back();
  account_answer(daemon, connection, state, status, one_line(text).size());
  return MHD_NO;
}

// Asks the route's admission callback; 0 or the HTTP status to refuse with (`text`).
unsigned admission(const RequestState& state, std::uint64_t declared, std::string& text) {
  const Route& route = state.route;
  auto exchange = std::make_shared<RequestExchange>(state.headers, state.target, -1);
  const std::uint32_t id = requests().add(exchange);
  const SCS_REQUEST request{sizeof(SCS_REQUEST), route.listener, declared,
                            state.resource.c_str(), state.method.c_str(), id, 0};
  char buffer[256] = "";
  ++t_callback_depth;
  std::uint32_t verdict;
  {
    const CurrentRequest current(id, exchange.get());
    verdict = guarded_callback("request_access", std::uint32_t{500}, [&] {
      return route.admit(route.listener, route.token, &request, buffer, sizeof buffer);
    });
  }
  --t_callback_depth;
  exchange->close();
  requests().remove(id);
  buffer[sizeof buffer - 1] = '\0';
  text = buffer;
  if (verdict == 0 || (verdict >= 400 && verdict <= 599)) return verdict;
  log().write(MSL_LOG_ERROR, "request_access",
              "admission for %.256s on listener %u returned %u, not 0 or an HTTP status "
              "400-599: answering 500",
              state.resource.c_str(), route.listener, verdict);
  text.clear();
  return 500;
}

// After the route, authentication, method and declared size: a stopping listener, the
// body budget and the admission callback may still refuse, all before the body.
MHD_Result admit_body(HttpDaemon& daemon, MHD_Connection* connection, RequestState& state) {
  if (daemon.quiesced(state.route.listener)) {
    return refuse(daemon, state, connection, 503, kStopping, kRetryAfterStopping);
  }
  const std::uint64_t declared = state.declared;
  state.chunked = state.codings > 0;
  if (declared > 0) {
    if (!daemon.budget().take(declared)) {
      count_budget_refusal(daemon);
      return refuse(daemon, state, connection, 503, kNoRoom, kRetryAfterBusy);
    }
    state.held = declared;
  }
  if (state.route.admit != nullptr) {
    std::string text;
    if (const unsigned status = admission(state, declared, text)) {
      return refuse(daemon, state, connection, status,
                    text.empty() ? reason_phrase(status) : text,
                    status == 503 ? kRetryAfterBusy : 0);
    }
  }
  state.body.reserve(declared);
  return MHD_YES;
}

MHD_Result answer_now(HttpDaemon& daemon, RequestState& state, MHD_Connection* connection,
                      unsigned status, bool bearer = false, const char* allow = "POST") {
  state.answered = true;
  const MHD_Result queued = queue_plain(connection, status, bearer, allow);
  account_answer(daemon, connection, state, status, plain_body_size(status));
  return queued;
}

MHD_Result answer_page(HttpDaemon& daemon, RequestState& state, MHD_Connection* connection,
                       BuiltinPage page) {
  state.answered = true;
  unsigned status = 0;
  std::size_t size = 0;
  const MHD_Result queued = queue_builtin_page(connection, page, state.method, status, size);
  account_answer(daemon, connection, state, status, size, true);
  return queued;
}

// Finds the request's route and checks its method (and an any-request resource's
// path); true when the request was answered instead (`queued`: libmicrohttpd's verdict).
bool refuse_route_or_method(HttpDaemon& daemon, MHD_Connection* connection, RequestState& state,
                            MHD_Result& queued) {
  if (!daemon.find_route(state.resource, state.route)) {
    // CONNECT names a host, not a path: a tunnel that takes any request says why not.
    queued = state.method == "CONNECT" && daemon.serves_any_request()
                 ? refuse(daemon, state, connection, 501, kNotCarried, 0)
                 : answer_now(daemon, state, connection, 404);
    return true;
  }
  if (!state.route.any_request) {
    if (state.method == MHD_HTTP_METHOD_POST) return false;
    queued = answer_now(daemon, state, connection, 405);
    return true;
  }
  const unsigned verdict = any_request_verdict(state.method, state.headers);
  if (verdict == 501) {
    queued = refuse(daemon, state, connection, 501, kNotCarried, 0);
  } else if (verdict != 0) {
    queued = answer_now(daemon, state, connection, verdict, false, kAnyRequestMethods);
  } else if (escapes_resource(state.target)) {
    queued = refuse(daemon, state, connection, 400, kEscapes, 0);
  } else {
    return false;
  }
  return true;
}

// The checks that need only the request line and headers, in an order that tells an
// unauthenticated client nothing about the resources.
MHD_Result first_call(HttpDaemon& daemon, MHD_Connection* connection, const char* url,
                      const char* method, RequestState& state) {
  state.started = std::chrono::steady_clock::now();
  state.method = method;
  state.resource = url;
  if (state.connection != nullptr) state.target = std::move(state.connection->target);
  if (state.target.empty()) state.target = url;
  // Ended by the ticker as its headers came: nothing more may be written.
  if (!daemon.connections().headers_done(state.connection, state.started)) return MHD_NO;
  state.headers.reserve(16);
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &collect_header, &state);
  const EndpointConfig& config = state.live->config;
  // A connection over a limit is answered whatever it asks.
  if (state.connection != nullptr && state.connection->refused != Refusal::none) {
    return refuse(daemon, state, connection, 503, refusal_answer(state.connection->refused),
                  kRetryAfterBusy);
  }
  if (ambiguous_length(state) || !state.well_formed) {
    return answer_now(daemon, state, connection, 400);
  }
  if (const unsigned refused = state.codings > 0 ? unsupported_coding(state.headers) : 0) {
    return answer_now(daemon, state, connection, refused);
  }
  // Health needs no credentials (a load balancer has none); the metrics page does.
  const BuiltinPage page = builtin_page(config, state.resource);
  if (page == BuiltinPage::health) return answer_page(daemon, state, connection, page);
  if (const unsigned verdict = check_client(*state.live, connection, state.headers)) {
    return answer_now(daemon, state, connection, verdict, !config.bearer_token.empty());
  }
  if (page == BuiltinPage::metrics) return answer_page(daemon, state, connection, page);
  MHD_Result answered = MHD_NO;
  if (refuse_route_or_method(daemon, connection, state, answered)) return answered;
  if (state.declared > config.max_body_size) {
    return answer_now(daemon, state, connection, 413);
  }
  return admit_body(daemon, connection, state);
}

// A chunked body is counted against the limit and the budget as it comes, and refused
// the moment it goes over (a declared length was checked before the body).
MHD_Result take_data(HttpDaemon& daemon, MHD_Connection* connection, RequestState& state,
                     const char* data, std::size_t size) {
  if (state.answered) return MHD_YES;
  daemon.connections().body_received(state.connection, size);
  const std::uint64_t limit = state.live->config.max_body_size;
  if (size > limit - state.body.size()) {
    return answer_during_body(daemon, state, connection, 413,
                              "the request body is larger than " + std::to_string(limit) +
                                  " bytes",
                              0);
  }
  if (state.chunked && state.body.size() + size > state.held) {
    const std::uint64_t more = state.body.size() + size - state.held;
    if (!daemon.budget().take(more)) {
      count_budget_refusal(daemon);
      return answer_during_body(daemon, state, connection, 503, kNoRoom, kRetryAfterBusy);
    }
    state.held += more;
  }
  state.body.append(data, size);
  return MHD_YES;
}

std::uint32_t run_callback(const Route& route, const RequestState& state, std::uint32_t id,
                           std::uint8_t** response, std::uint32_t* length) {
  const SCS_REQUEST request{sizeof(SCS_REQUEST), route.listener, state.body.size(),
                            state.resource.c_str(), state.method.c_str(), id, 0};
  const auto* data =
      state.body.empty() ? nullptr : reinterpret_cast<const std::uint8_t*>(state.body.data());
  const CurrentRequest current(id, state.exchange.get());
  ++t_callback_depth;
  // A C callback cannot throw; a C++ one that does is treated as failed.
  const std::uint32_t result =
      guarded_callback("request_access", std::uint32_t{status::SCS_INTERNAL_ERROR}, [&] {
        return route.callback(route.listener, route.token, data,
                              static_cast<std::uint32_t>(state.body.size()), response, length,
                              &request);
      });
  --t_callback_depth;
  return result;
}

int socket_of(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  return info != nullptr ? info->connect_fd : -1;
}

void end_exchange(RequestState& state) {
  state.exchange->close();
  watches().unwatch(state.id);
  requests().remove(state.id);
}

// Runs the callback with the request's exchange; on the connection's thread, or on a
// thread of its own for a pooled connection (then `state` is the worker's only after
// `done`).
void call(RequestState& state) {
  {
    const CallbackInFlight running(state.route.metrics);
    state.result = run_callback(state.route, state, state.id, &state.answer, &state.answer_length);
  }
  end_exchange(state);  // unwatched before the connection (and its socket) can close
}

MHD_Result answer_callback(HttpDaemon& daemon, MHD_Connection* connection, RequestState& state) {
  const std::uint64_t received = state.body.size();
  state.body.release();  // the memory goes back before the answer is sent
  state.give_back();
  if (state.no_thread) {
    return refuse(daemon, state, connection, 503,
                  "the server has no thread to spare, try again later", kRetryAfterBusy);
  }
  if (state.stopped) return refuse(daemon, state, connection, 503, kStopping, kRetryAfterStopping);
  if (state.result == 0) {
    AnswerFraming framing;
    framing.head = state.method == MHD_HTTP_METHOD_HEAD;
    // A stopping listener's answers end their connections.
    framing.close = daemon.quiesced(state.route.listener);
    unsigned status = 0;
    std::size_t sent = 0;
    std::uint8_t* const answer = std::exchange(state.answer, nullptr);  // queue_answer owns it
    const MHD_Result queued = queue_answer(connection, *state.exchange, answer,
                                           state.answer_length, framing, status, sent);
    account(daemon, connection,
            AnsweredRequest{state.method, state.resource, state.route.metrics, false, status,
                            received, sent, state.started, state.live->config.access_log});
    return queued;
  }
  account(daemon, connection,
          AnsweredRequest{state.method, state.resource, state.route.metrics, false, 500,
                          received, plain_body_size(500), state.started,
                          state.live->config.access_log});
  std::free(std::exchange(state.answer, nullptr));
  log().write(MSL_LOG_ERROR, "request_access",
              "callback for %.256s on listener %u returned status 0x%08X: %s",
              state.resource.c_str(), state.route.listener, state.result,
              status::describe(state.result).c_str());
  return queue_plain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
}

// A callback that may wait, for a connection of a worker pool: the worker suspends the
// connection and serves its others; the callback's thread resumes it when done, and
// libmicrohttpd then calls request_access again to answer.
MHD_Result call_on_own_thread(HttpDaemon& daemon, MHD_Connection* connection,
                              RequestState& state) {
  state.deferred = true;
  MHD_suspend_connection(connection);
  const auto resume = [&state, connection] {
    state.done.store(true, std::memory_order_release);
    MHD_resume_connection(connection);
  };
  if (!daemon.held_callbacks().run(socket_of(connection), [&state] { call(state); }, resume)) {
    requests().remove(state.id);
    state.no_thread = true;
    resume();
  }
  return MHD_YES;
}

void take_outcome(RequestState& state) {
  state.result = state.later.result;
  state.answer = std::exchange(state.later.answer, nullptr);
  state.answer_length = state.later.length;
  state.stopped = state.later.stopped;
}

// A callback that may answer later (SCS_POST_COMPLETES_LATER) runs on this thread, the
// worker's or the connection's own. When it returns SCS_PENDING, a pooled connection
// is suspended until the completion resumes it; a connection with a thread of its own
// waits here.
MHD_Result call_later(DaemonSide& side, MHD_Connection* connection, RequestState& state) {
  HttpDaemon& daemon = side.owner;
  PendingRequests& pending = pending_requests();
  if (!pending.begin(state.id, {&daemon, connection, &state.later, &state.done, state.exchange,
                                state.route.metrics, &state.later_done})) {
    state.stopped = true;
    end_exchange(state);
    return answer_callback(daemon, connection, state);
  }
  state.result = run_callback(state.route, state, state.id, &state.answer, &state.answer_length);
  if (state.result != status::SCS_PENDING) {
    // Answered at once. A completion that came during the call is dropped.
    if (!pending.cancel(state.id)) std::free(std::exchange(state.later.answer, nullptr));
    end_exchange(state);
    return answer_callback(daemon, connection, state);
  }
  if (side.pooled) {
    if (!pending.suspend_unless_completed(state.id)) {
      state.deferred = true;
      return MHD_YES;
    }
  } else {
    pending.wait(state.id);
  }
  take_outcome(state);
  return answer_callback(daemon, connection, state);
}

MHD_Result last_call(DaemonSide& side, MHD_Connection* connection, RequestState& state) {
  HttpDaemon& daemon = side.owner;
  if (state.deferred) {
    if (!state.done.load(std::memory_order_acquire)) return MHD_YES;
    if (state.route.completes_later) take_outcome(state);
    return answer_callback(daemon, connection, state);
  }
  if (state.answered) return MHD_YES;
  state.answered = true;
  // Ended by the ticker as the body's end came: request_completed answers 408.
  if (!daemon.connections().serving(state.connection)) return MHD_NO;
  state.exchange = std::make_shared<RequestExchange>(
      std::move(state.headers), std::move(state.target), socket_of(connection));
  state.id = requests().add(state.exchange);
  if (side.pooled && state.route.may_block) return call_on_own_thread(daemon, connection, state);
  if (state.route.completes_later) return call_later(side, connection, state);
  call(state);
  return answer_callback(daemon, connection, state);
}

}  // namespace

MHD_Result request_access(void* cls, MHD_Connection* connection, const char* url,
                          const char* method, const char*, const char* upload_data,
                          std::size_t* upload_data_size, void** request_state) noexcept {
  auto& side = *static_cast<DaemonSide*>(cls);
  HttpDaemon& http = side.owner;
  // MHD_NO closes the connection: what failed may have left the request half done.
  return guarded_callback("request_access", MHD_NO, [&] {
    auto* state = static_cast<RequestState*>(*request_state);
    if (state == nullptr) {
      state = new RequestState(http, connection_record(connection));
      *request_state = state;
      return first_call(http, connection, url, method, *state);
    }
    if (*upload_data_size != 0) {
      const std::size_t size = *upload_data_size;
      *upload_data_size = 0;
      return take_data(http, connection, *state, upload_data, size);
    }
    return last_call(side, connection, *state);
  });
}

void request_completed(void* cls, MHD_Connection* connection, void** request_state,
                       MHD_RequestTerminationCode) noexcept {
  HttpDaemon& http = static_cast<DaemonSide*>(cls)->owner;
  std::unique_ptr<RequestState> state(static_cast<RequestState*>(*request_state));
  *request_state = nullptr;
  guarded_callback("request_completed", [&] {
    // The ticker ended a body that came too slowly; this thread owns the connection
    // (and its TLS session), so the 408 is written here, before the close.
    if (!http.connections().request_ended(connection_record(connection))) return;
    const std::string text = "the request body did not arrive in time";
    write_answer(connection, 408, text);
    if (state) account_answer(http, connection, *state, 408, one_line(text).size());
  });
}

bool inside_callback() { return t_callback_depth > 0; }

}  // namespace qel::scs
