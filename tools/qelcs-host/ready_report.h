// What qelcs-host says once CS_Init has succeeded: where it listens (from the service
// library's own serving lines, so with the ports actually bound), a warning when the
// reverse connection is open to the network without TLS or client authentication, and
// commands to try it with, carrying the TLS and token options each endpoint needs.
// Pure functions of their inputs; the caller logs the lines.
#ifndef QELCS_HOST_READY_REPORT_H
#define QELCS_HOST_READY_REPORT_H

#include <string>
#include <vector>

#include "library_log.h"
#include "scs/endpoint_config.h"

namespace qelcs_host {

// How each served endpoint is configured, when the host could read its settings.
struct endpoint_view {
  served_endpoint served;
  const qel::scs::EndpointConfig* config = nullptr;  // null: unknown
};

// "listening on URL for /a, /b", one line per endpoint.
std::vector<std::string> listening_lines(const std::vector<endpoint_view>& endpoints);

// The warning about the reverse connection resource, or empty.
std::string remote_side_warning(const std::vector<endpoint_view>& endpoints);

// "ready. Try:" and the commands: registration, a target to forward to, the remote
// client (run as `remote_command`), a caller, metrics. Each runs as shown in a shell.
std::vector<std::string> try_lines(const std::vector<endpoint_view>& endpoints,
                                   const std::string& remote_command = "qelcs-remote");

// The port of the target the hints start and forward to.
extern const int hint_target_port;

}  // namespace qelcs_host

#endif  // QELCS_HOST_READY_REPORT_H
