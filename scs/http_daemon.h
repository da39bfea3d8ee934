// One running HTTP server for one endpoint configuration, shared by every listener
// whose endpoint has the same configuration, with what the library adds around it: the
// table of its connections and their limits, the budget of buffered bodies, the counted
// log lines, the ticker that ends slow clients, and the quiesce of the listeners it
// serves, and its reloadable state (EndpointState: the endpoint's settings as they
// stand, TLS identity, client CAs).
//
// The server is one libmicrohttpd daemon (a thread per connection, or a worker pool
// with `workers`), or, with `nonblocking_workers` on plain HTTP, two behind one
// listening socket: a ConnectionRouter hands each connection to the worker pool when
// its first request is for a resource that never waits and to the thread-per-connection
// daemon otherwise. A pooled connection that later asks for a resource that may wait
// gets its callback run on a thread of its own (HeldCallbacks).
//
// Owned by the Server through a reference count of the listeners that use it; created,
// started, given routes, reloaded and stopped under the Server's lock. Routes are read
// by the daemon's connection threads under the daemon's own route lock; the state
// through an atomic shared_ptr, once per request and once per TLS handshake. stop()
// joins every connection thread, so it waits for callbacks that are still running; it
// must not be called from one of them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "qelSessionConfigSvcs.h"
#include "scs/body_budget.h"
#include "scs/connection_router.h"
#include "scs/connection_table.h"
#include "scs/counted_log.h"
#include "scs/endpoint_config.h"
#include "scs/endpoint_metrics.h"
#include "scs/endpoint_state.h"
#include "scs/held_callbacks.h"
#include "scs/periodic_thread.h"

struct MHD_Daemon;

namespace qel::scs {

struct Route {
  std::uint32_t listener = 0;
  std::uint32_t token = 0;
  SCS_POST_CALLBACK callback = nullptr;
  bool may_block = true;  // registered without SCS_POST_NEVER_BLOCKS
  bool any_request = false;  // registered with SCS_POST_ANY_REQUEST (any_request.h)
  bool completes_later = false;  // SCS_POST_COMPLETES_LATER (pending_requests.h)
  SCS_ADMIT_CALLBACK admit = nullptr;  // asked before the body is read (may be null)
  ResourceMetrics* metrics = nullptr;  // set by publish(); lives as long as the daemon
};

class HttpDaemon;

// One libmicrohttpd daemon of an HttpDaemon: what its callbacks are given.
struct DaemonSide {
  HttpDaemon& owner;
  const bool pooled;  // a worker pool serves its connections (no thread of their own)
  MHD_Daemon* mhd = nullptr;
};

class HttpDaemon {
 public:
  // Throws ScsError: SCS_TLS_FAILED when the TLS files cannot be used,
  // SCS_LIMIT_ABOVE_DESCRIPTORS (limits_for).
  explicit HttpDaemon(EndpointConfig config);
  ~HttpDaemon();
  HttpDaemon(const HttpDaemon&) = delete;
  HttpDaemon& operator=(const HttpDaemon&) = delete;

  // Opens the socket and starts the server; throws ScsError.
  void start();
  // Closes held requests' connections, then waits for their callbacks and threads. A
  // fully quiesced daemon first lets the answers under way leave (up to kAnswersLeave).
  void stop();
  static constexpr std::chrono::seconds kAnswersLeave{5};

  // The configuration the daemon started with. What a reload cannot change (address,
  // port, TLS on or off, workers, ...) is read here; everything else from state().
  const EndpointConfig& config() const { return config_; }
  // The state as it stands: an atomic load, one per handshake.
  std::shared_ptr<const EndpointState> state() const { return std::atomic_load(&state_); }
  // The same for a request: every state published stays alive until the daemon is
  // destroyed, so a plain pointer serves without the shared count, which the workers
  // of a pool would otherwise pass between them on every request.
  const EndpointState* live_state() const { return live_.load(std::memory_order_acquire); }
  // The settings this daemon is shared under (EndpointConfig::share_key of the state).
  const std::string& share_key() const { return share_key_; }
  // True when `config`'s connection limit fits in what the daemon started with
  // (libmicrohttpd's own limit is fixed at the start); throws like limits_for.
  bool takes_connection_limit(const EndpointConfig& config) const;
  // Publishes `next` (same address, port, TLS and workers): new connections and
  // requests see it at once, those under way keep what they loaded. `limits` are
  // limits_for(next->config).
  void reload(std::shared_ptr<const EndpointState> next, const ConnectionLimits& limits);
  EndpointMetrics& metrics() { return metrics_; }
  ConnectionTable& connections() { return connections_; }
  BodyBudget& budget() { return budget_; }
  CountedLog& counted_log() { return counted_log_; }
  HeldCallbacks& held_callbacks() { return held_; }
  std::uint16_t port() const { return port_; }
  // "endpoint 'NAME' at ADDRESS:PORT", for log lines; set before the daemon serves.
  const std::string& label() const { return label_; }

  // Throws SCS_RESOURCE_IN_USE when a listener other than `listener` serves `resource`,
  // SCS_BLOCKING_ON_WORKERS when `route` may block and a worker pool serves every
  // connection (`workers`).
  void check_free(const std::string& resource, const Route& route) const;
  // Serves `resource` with `route` (after check_free); a listener may replace its own.
  void publish(const std::string& resource, const Route& route);
  void unpublish_listener(std::uint32_t listener);
  // The route of a request path (any_request.h, match_route); false for none.
  bool find_route(const std::string& path, Route& route) const;
  // True when a resource registered with SCS_POST_ANY_REQUEST is served here.
  bool serves_any_request() const;
  // True when the request for `path` is answered without waiting (a resource
  // registered with SCS_POST_NEVER_BLOCKS, or a page of the library's own).
  bool answers_at_once(const std::string& path) const;
  // Replaces the admission callback of `listener`'s `resource` if it is served here.
  void set_admission(std::uint32_t listener, const std::string& resource,
                     SCS_ADMIT_CALLBACK admit);

  // From now on the requests of `listener` are answered 503 before their body. When
  // every listener this daemon serves is quiesced, it stops accepting connections.
  void quiesce(std::uint32_t listener);
  bool quiesced(std::uint32_t listener) const;
  bool fully_quiesced() const;

  // Limits derived from the configuration and the process's open-file limit: the
  // endpoint's connection limit, and the higher one libmicrohttpd applies so that a
  // connection over ours is still accepted and answered. Throws
  // SCS_LIMIT_ABOVE_DESCRIPTORS.
  static ConnectionLimits limits_for(const EndpointConfig& config, unsigned& mhd_limit);

 private:
  void tick();
  MHD_Daemon* start_side(DaemonSide& side, int listen_socket);
  void deliver(int socket, const sockaddr* address, socklen_t length, bool pooled);

  const EndpointConfig config_;
  std::shared_ptr<const EndpointState> state_;  // atomic_load / atomic_store only
  std::atomic<const EndpointState*> live_;       // state_.get()
  std::vector<std::shared_ptr<const EndpointState>> published_;  // every state_ so far
  std::string share_key_;
  unsigned mhd_limit_ = 0;
  unsigned started_connections_ = 0;  // the endpoint's connection limit at the start
  CountedLog counted_log_;
  ConnectionTable connections_;
  BodyBudget budget_;
  DaemonSide threads_{*this, false};  // a thread per connection
  DaemonSide pool_{*this, true};      // a worker pool
  ConnectionRouter router_;           // split endpoints only
  HeldCallbacks held_;
  bool running_ = false;
  std::uint16_t port_ = 0;
  std::string label_;
  mutable std::mutex routes_mutex_;
  std::map<std::string, Route> routes_;
  std::set<std::uint32_t> quiesced_;  // listeners quiesced, under routes_mutex_
  std::atomic<bool> any_quiesced_{false};  // !quiesced_.empty(), read without the lock
  bool daemon_quiesced_ = false;      // under routes_mutex_
  int quiesced_socket_ = -1;          // the listening socket, ours to close after a quiesce
                                      // (a single daemon; a router closes its own)
  EndpointMetrics metrics_;  // shown on /metrics while the daemon runs
  PeriodicThread ticker_;
};

}  // namespace qel::scs
