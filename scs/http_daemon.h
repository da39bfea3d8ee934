// One running HTTP server (a libmicrohttpd daemon) for one endpoint configuration,
// shared by every listener whose endpoint has the same configuration.
//
// Owned by the Server through a reference count of the listeners that use it; created,
// started, given routes and stopped under the Server's lock. Routes are read by the
// daemon's connection threads under the daemon's own route lock. stop() joins every
// connection thread, so it waits for callbacks that are still running; it must not be
// called from one of them.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "qelSessionConfigSvcs.h"
#include "scs/endpoint_config.h"
#include "scs/endpoint_metrics.h"

struct MHD_Daemon;

namespace qel::scs {

struct Route {
  std::uint32_t listener = 0;
  std::uint32_t token = 0;
  SCS_POST_CALLBACK callback = nullptr;
  bool may_block = true;  // registered without SCS_POST_NEVER_BLOCKS
  ResourceMetrics* metrics = nullptr;  // set by publish(); lives as long as the daemon
};

class HttpDaemon {
 public:
  explicit HttpDaemon(EndpointConfig config);
  ~HttpDaemon();
  HttpDaemon(const HttpDaemon&) = delete;
  HttpDaemon& operator=(const HttpDaemon&) = delete;

  // Opens the socket and starts the server; throws ScsError.
  void start();
  // Closes held requests' connections, then waits for their callbacks and threads.
  void stop();

  const EndpointConfig& config() const { return config_; }
  EndpointMetrics& metrics() { return metrics_; }
  std::uint16_t port() const { return port_; }

  // Throws SCS_RESOURCE_IN_USE when a listener other than `listener` serves `resource`,
  // SCS_BLOCKING_ON_WORKERS when `route` may block and this daemon runs a worker pool.
  void check_free(const std::string& resource, const Route& route) const;
  // Serves `resource` with `route` (after check_free); a listener may replace its own.
  void publish(const std::string& resource, const Route& route);
  void unpublish_listener(std::uint32_t listener);
  bool find_route(const std::string& resource, Route& route) const;

 private:
  unsigned effective_connection_limit() const;

  const EndpointConfig config_;
  MHD_Daemon* daemon_ = nullptr;
  std::uint16_t port_ = 0;
  mutable std::mutex routes_mutex_;
  std::map<std::string, Route> routes_;
  EndpointMetrics metrics_;  // shown on /metrics while the daemon runs
};

}  // namespace qel::scs
