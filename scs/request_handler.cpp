#include "scs/request_handler.h"

#include <strings.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "scs/api_guard.h"
#include "scs/builtin_pages.h"
#include "scs/client_auth.h"
#include "scs/connection_watch.h"
#include "scs/http_daemon.h"
#include "scs/log.h"
#include "scs/request_accounting.h"
#include "scs/request_registry.h"
#include "scs/responses.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

thread_local int t_callback_depth = 0;

// What the library keeps about one request between the calls of request_access.
struct RequestState {
  bool answered = false;   // a response is queued; ignore whatever else arrives
  bool too_large = false;  // the body went over the limit; answer 413 at its end
  Route route;
  std::string method;
  std::string resource;
  std::chrono::steady_clock::time_point started;  // the headers arrived
  HeaderList headers;
  std::string body;
};

MHD_Result collect_header(void* list, MHD_ValueKind, const char* name, const char* value) {
  static_cast<HeaderList*>(list)->emplace_back(name, value != nullptr ? value : "");
  return MHD_YES;
}

// Two lengths, or a length beside a transfer coding, let a proxy and this server
// disagree on where the request ends: refuse both.
bool ambiguous_length(const HeaderList& headers) {
  const std::size_t lengths = count_header(headers, MHD_HTTP_HEADER_CONTENT_LENGTH);
  const std::size_t codings = count_header(headers, MHD_HTTP_HEADER_TRANSFER_ENCODING);
  return lengths > 1 || (lengths == 1 && codings > 0);
}

// A transfer coding other than a lone "chunked" is one this server cannot decode: 400
// when chunked is not the last coding (the body has no end), else 501. Answered before
// the body is read, so such a request never waits for its connection to close.
unsigned unsupported_coding(const HeaderList& headers) {
  std::string codings;
  for (const auto& [name, value] : headers) {
    if (strcasecmp(name.c_str(), MHD_HTTP_HEADER_TRANSFER_ENCODING) != 0) continue;
    codings += codings.empty() ? value : "," + value;
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

bool declared_too_large(const HeaderList& headers, std::uint64_t limit) {
  for (const auto& [name, value] : headers) {
    if (strcasecmp(name.c_str(), MHD_HTTP_HEADER_CONTENT_LENGTH) != 0) continue;
    char* end = nullptr;
    const unsigned long long length = std::strtoull(value.c_str(), &end, 10);
    return length > limit;
  }
  return false;
}

void account_answer(HttpDaemon& daemon, MHD_Connection* connection, const RequestState& state,
                    unsigned status, std::uint64_t bytes_out, bool builtin_page = false) {
  account(daemon, connection,
          AnsweredRequest{state.method, state.resource, state.route.metrics, builtin_page, status,
                          state.body.size(), bytes_out, state.started});
}

MHD_Result answer_now(HttpDaemon& daemon, RequestState& state, MHD_Connection* connection,
                      unsigned status, bool bearer = false) {
  state.answered = true;
  const MHD_Result queued = queue_plain(connection, status, bearer);
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

// The checks that need only the request line and headers, in an order that tells an
// unauthenticated client nothing about the resources.
MHD_Result first_call(HttpDaemon& daemon, MHD_Connection* connection, const char* url,
                      const char* method, RequestState& state) {
  state.started = std::chrono::steady_clock::now();
  state.method = method;
  state.resource = url;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &collect_header, &state.headers);
  const EndpointConfig& config = daemon.config();
  if (ambiguous_length(state.headers)) return answer_now(daemon, state, connection, 400);
  if (const unsigned refused = unsupported_coding(state.headers)) {
    return answer_now(daemon, state, connection, refused);
  }
  // Health needs no credentials (a load balancer has none); the metrics page does.
  const BuiltinPage page = builtin_page(config, state.resource);
  if (page == BuiltinPage::health) return answer_page(daemon, state, connection, page);
  if (const unsigned verdict = check_client(config, connection, state.headers)) {
    return answer_now(daemon, state, connection, verdict, !config.bearer_token.empty());
  }
  if (page == BuiltinPage::metrics) return answer_page(daemon, state, connection, page);
  if (!daemon.find_route(state.resource, state.route)) {
    return answer_now(daemon, state, connection, 404);
  }
  if (std::strcmp(method, MHD_HTTP_METHOD_POST) != 0) {
    return answer_now(daemon, state, connection, 405);
  }
  if (declared_too_large(state.headers, config.max_body_size)) {
    return answer_now(daemon, state, connection, 413);
  }
  return MHD_YES;
}

void take_data(const EndpointConfig& config, RequestState& state, const char* data,
               std::size_t size) {
  if (state.too_large || state.answered) return;
  if (size > config.max_body_size - state.body.size()) {
    state.too_large = true;
    std::string().swap(state.body);  // keep nothing of a refused body
    return;
  }
  state.body.append(data, size);
}

std::uint32_t run_callback(const Route& route, const RequestState& state, std::uint32_t id,
                           std::uint8_t** response, std::uint32_t* length) {
  const SCS_REQUEST request{sizeof(SCS_REQUEST), route.listener, state.body.size(),
                            state.resource.c_str(), MHD_HTTP_METHOD_POST, id, 0};
  const auto* data =
      state.body.empty() ? nullptr : reinterpret_cast<const std::uint8_t*>(state.body.data());
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

MHD_Result last_call(HttpDaemon& daemon, MHD_Connection* connection, RequestState& state) {
  if (state.answered) return MHD_YES;
  if (state.too_large) return answer_now(daemon, state, connection, 413);
  state.answered = true;
  auto exchange = std::make_shared<RequestExchange>(std::move(state.headers), socket_of(connection));
  const std::uint32_t id = requests().add(exchange);
  std::uint8_t* body = nullptr;
  std::uint32_t length = 0;
  std::uint32_t result;
  {
    const CallbackInFlight running(state.route.metrics);
    result = run_callback(state.route, state, id, &body, &length);
  }
  watches().unwatch(id);  // before the connection (and its socket) can be closed
  requests().remove(id);
  if (result == 0) {
    unsigned status = 0;
    const MHD_Result queued = queue_answer(connection, *exchange, body, length, status);
    account_answer(daemon, connection, state, status, length);
    std::string().swap(state.body);
    return queued;
  }
  account_answer(daemon, connection, state, 500, plain_body_size(500));
  std::string().swap(state.body);
  std::free(body);
  log().write(MSL_LOG_ERROR, "request_access",
              "callback for %.256s on listener %u returned status 0x%08X: %s",
              state.resource.c_str(), state.route.listener, result,
              status::describe(result).c_str());
  return queue_plain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
}

}  // namespace

MHD_Result request_access(void* daemon, MHD_Connection* connection, const char* url,
                          const char* method, const char*, const char* upload_data,
                          std::size_t* upload_data_size, void** request_state) noexcept {
  auto& http = *static_cast<HttpDaemon*>(daemon);
  // MHD_NO closes the connection: what failed may have left the request half done.
  return guarded_callback("request_access", MHD_NO, [&] {
    auto* state = static_cast<RequestState*>(*request_state);
    if (state == nullptr) {
      state = new RequestState;
      *request_state = state;
      return first_call(http, connection, url, method, *state);
    }
    if (*upload_data_size != 0) {
      take_data(http.config(), *state, upload_data, *upload_data_size);
      *upload_data_size = 0;
      return MHD_YES;
    }
    return last_call(http, connection, *state);
  });
}

void request_completed(void*, MHD_Connection*, void** request_state,
                       MHD_RequestTerminationCode) noexcept {
  delete static_cast<RequestState*>(*request_state);
  *request_state = nullptr;
}

bool inside_callback() { return t_callback_depth > 0; }

}  // namespace qel::scs
