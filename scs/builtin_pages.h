// The library's own pages on an endpoint with `metrics = on`: /healthz (200 "ok" while
// the daemon serves) and /metrics (the counters of every endpoint of the process, in the
// Prometheus text format 0.0.4). GET and HEAD; other methods get 405 with
// "Allow: GET, HEAD". On such an endpoint the two paths are the library's: a registered
// resource of the same name is not reachable there.
//
// Called on a connection thread (or a worker) by the request handler; stateless.
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <string>

#include "scs/endpoint_config.h"

namespace qel::scs {

enum class BuiltinPage { none, health, metrics };

// The page `url` names on this endpoint; none when metrics are off.
BuiltinPage builtin_page(const EndpointConfig& config, const std::string& url);

// Queues the page (or 405); `status` and `body_size` receive what was queued.
MHD_Result queue_builtin_page(MHD_Connection* connection, BuiltinPage page,
                              const std::string& method, unsigned& status,
                              std::size_t& body_size);

}  // namespace qel::scs
