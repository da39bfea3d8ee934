// What happens once an answer is queued: the request is counted in its endpoint's
// metrics, an authentication the endpoint refused is logged (warning) with the client's
// address, and an endpoint with `access_log = on` logs the request's one line (info):
//
//   192.0.2.7:51234 "POST /qel" 200 in=5 out=27 ms=12.345 endpoint=default
//
// Called by the request handler on the connection thread; lock-free unless a line is
// logged (the log sink's own lock).
#pragma once

#include <microhttpd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "scs/http_daemon.h"
#include "scs/request_metrics.h"

namespace qel::scs {

struct AnsweredRequest {
  const std::string& method;
  const std::string& url;
  ResourceMetrics* resource;  // null: answered before a resource was found
  bool builtin_page;          // /metrics or /healthz: logged, not counted
  unsigned status;
  std::uint64_t bytes_in, bytes_out;
  std::chrono::steady_clock::time_point started;
  bool access_log;  // the endpoint's access_log as the request found it
};

void account(HttpDaemon& daemon, MHD_Connection* connection, const AnsweredRequest& answered);

// "192.0.2.7:51234" or "[2001:db8::7]:51234"; "unknown" when the connection has none.
std::string client_address(MHD_Connection* connection);

// At most `limit` bytes of `text` with '"', '\' and bytes outside printable ASCII
// written as \xNN, so that a request path cannot forge or break a log line.
std::string printable(const std::string& text, std::size_t limit);

}  // namespace qel::scs
