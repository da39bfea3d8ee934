// What a reload of a listener changes: its running endpoints with every key of the
// new settings that can change without a restart, and the list of what cannot.
//
// Reloadable: tls_cert_file and tls_key_file (while TLS stays on), tls_client_ca_file,
// bearer_token_file, access_log, metrics, per_ip_limit, header_timeout, body_min_rate,
// max_body_size, body_budget, and connection_limit as far as the running server allows
// (the check passed in). Restart-only: endpoints added or removed, address, port,
// resources, TLS turned on or off, workers, nonblocking_workers, thread_stack_size,
// connection_timeout.
//
// Built by the Server under its lock; a value, no threads of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scs/endpoint_config.h"
#include "scs/listener_settings.h"

namespace qel::scs {

class ReloadPlan {
 public:
  // True when the running endpoint can take `wanted`'s connection_limit live.
  using LimitCheck =
      std::function<bool(const EndpointConfig& running, const EndpointConfig& wanted)>;

  ReloadPlan(const ListenerSettings& running, const ListenerSettings& wanted,
             const LimitCheck& takes_limit);

  // The running endpoints, in their order, with the reloadable keys of the new settings.
  const std::vector<EndpointConfig>& endpoints() const { return endpoints_; }
  // One item per change left for a restart ("endpoint 'default' port 18080 -> 18081").
  const std::vector<std::string>& restart() const { return restart_; }

  // Copies every reloadable key of `from` into `to` (the TLS files only when both have
  // TLS: turning it on or off needs a restart).
  static void copy_reloadable(const EndpointConfig& from, EndpointConfig& to);

 private:
  void compare(const EndpointConfig& running, const EndpointConfig& wanted,
               const LimitCheck& takes_limit);
  void differs(const EndpointConfig& e, const std::string& key, const std::string& was,
               const std::string& wanted);

  std::vector<EndpointConfig> endpoints_;
  std::vector<std::string> restart_;
};

}  // namespace qel::scs
