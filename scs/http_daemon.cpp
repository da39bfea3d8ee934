#include "scs/http_daemon.h"

#include <microhttpd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <utility>
#include <thread>
#include <vector>

#include "scs/any_request.h"
#include "scs/api_guard.h"
#include "scs/builtin_pages.h"
#include "scs/listen_socket.h"
#include "scs/log.h"
#include "scs/pending_requests.h"
#include "scs/metrics_registry.h"
#include "scs/mhd_messages.h"
#include "scs/request_handler.h"
#include "scs/scs_error.h"
#include "scs/status.h"
#include "scs/tls_sockets.h"

namespace qel::scs {
namespace {

// TLS 1.2 and 1.3 only.
constexpr const char* kTlsPriorities =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:%SERVER_PRECEDENCE";
// Descriptors kept free for the rest of the process when the limit is derived.
constexpr rlim_t kDescriptorReserve = 64;
// How often the ticker looks for slow connections (and flushes the counted lines).
constexpr std::chrono::milliseconds kTick{200};
// libmicrohttpd's memory per connection of a split endpoint's pool (request headers
// and the answer's header block); the others keep its default of 32 KiB.
constexpr std::size_t kPooledConnectionMemory = 8192;
static_assert(kPooledConnectionMemory >= 2 * ConnectionRouter::kPeekBytes,
              "the first request's headers must fit in the read buffer of a pooled connection");

// Connections libmicrohttpd accepts beyond ours, so that it never closes one without
// a word before we have answered it: the refused ones wait there for their 503.
rlim_t refusal_room(rlim_t limit) { return std::max<rlim_t>(64, limit / 4); }

void connection_notice(void* cls, MHD_Connection* connection, void** socket_context,
                       MHD_ConnectionNotificationCode code) noexcept {
  HttpDaemon& daemon = static_cast<DaemonSide*>(cls)->owner;
  guarded_callback("HttpDaemon", [&] {
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      if (daemon.config().tls()) {
        const MHD_ConnectionInfo* fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (fd != nullptr) tls_sockets().remove(fd->connect_fd);
      }
      daemon.connections().closed(static_cast<Connection*>(*socket_context));
      *socket_context = nullptr;
      return;
    }
    const MHD_ConnectionInfo* fd =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* address =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (fd == nullptr) return;
    if (daemon.config().tls()) tls_sockets().add(fd->connect_fd, &daemon);
    *socket_context = daemon.connections().opened(
        fd->connect_fd, address != nullptr ? address->client_addr : nullptr,
        daemon.config().tls());
  });
}

// Called on the connection's thread when a request line has arrived, with the
// request-target as received (libmicrohttpd decodes the one it hands request_access).
void* request_line(void* cls, const char* target, MHD_Connection* connection) noexcept {
  HttpDaemon& daemon = static_cast<DaemonSide*>(cls)->owner;
  guarded_callback("HttpDaemon", [&] {
    note_request_line(daemon, connection);
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (info != nullptr && info->socket_context != nullptr) {
      auto* record = static_cast<Connection*>(info->socket_context);
      record->target = target != nullptr ? target : "";
      daemon.connections().request_line(record);
    }
  });
  return nullptr;  // the request's state is made by the first request_access call
}

rlim_t descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1u << 20;
  return limit.rlim_cur;
}

MHD_OptionItem item(MHD_OPTION option, intptr_t value, void* pointer = nullptr) {
  return MHD_OptionItem{option, value, pointer};
}

// The certificate comes from a callback on every handshake, never from the server's
// credentials, so that a reload reaches new connections without a restart; the same
// callback asks for client certificates, which the library verifies itself.
void add_tls_options(std::vector<MHD_OptionItem>& options) {
  // A one-argument option: MHD_OPTION_ARRAY takes its argument from the pointer.
  options.push_back(item(MHD_OPTION_HTTPS_CERT_CALLBACK, 0,
                         reinterpret_cast<void*>(&TlsSockets::select_certificate)));
  options.push_back(item(MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(kTlsPriorities)));
}

}  // namespace

HttpDaemon::HttpDaemon(EndpointConfig config)
    : config_(std::move(config)),
      state_(EndpointState::make(config_)),
      live_(state_.get()),
      share_key_(config_.share_key()),
      connections_(limits_for(config_, mhd_limit_), counted_log_),
      budget_(config_.body_budget),
      held_(config_.thread_stack_size) {
  started_connections_ = connections_.limits().connections;
  published_.push_back(state_);
}

bool HttpDaemon::takes_connection_limit(const EndpointConfig& config) const {
  unsigned ignored = 0;
  return limits_for(config, ignored).connections <= started_connections_;
}

void HttpDaemon::reload(std::shared_ptr<const EndpointState> next, const ConnectionLimits& limits) {
  share_key_ = next->config.share_key();
  connections_.set_limits(limits);
  budget_.set_limit(next->config.body_budget);
  published_.push_back(next);  // under the Server's lock, as every reload
  live_.store(next.get(), std::memory_order_release);
  std::atomic_store(&state_, std::move(next));
}

HttpDaemon::~HttpDaemon() { stop(); }

ConnectionLimits HttpDaemon::limits_for(const EndpointConfig& config, unsigned& mhd_limit) {
  const rlim_t files = descriptor_limit();
  const rlim_t usable = files > kDescriptorReserve ? files - kDescriptorReserve : 1;
  rlim_t limit = config.connection_limit;
  if (limit == 0) {
    // The default leaves room for refusals within the descriptors.
    limit = std::min<rlim_t>(EndpointConfig::kDefaultConnectionLimit, usable * 4 / 5);
    limit = std::max<rlim_t>(limit, 1);
  } else if (limit > usable) {
    throw ScsError(status::SCS_LIMIT_ABOVE_DESCRIPTORS,
                   std::string("endpoint '") + config.label() + "': connection_limit " +
                       std::to_string(limit) + " needs more than the " + std::to_string(files) +
                       " open files the process may have");
  }
  mhd_limit = static_cast<unsigned>(std::min<rlim_t>(limit + refusal_room(limit), usable));
  ConnectionLimits limits;
  limits.connections = static_cast<unsigned>(limit);
  limits.per_address = config.per_ip_limit;
  limits.header_timeout = std::chrono::seconds(config.header_timeout);
  limits.body_min_rate = config.body_min_rate;
  // Every endpoint's connections share the process's descriptors: past this many in
  // all, a new one is refused while a descriptor is still there to answer it with.
  limits.descriptors = static_cast<std::size_t>(
      usable - std::min(std::max<rlim_t>(64, usable / 8), usable / 2));
  return limits;
}

void HttpDaemon::start() {
  const ListenSocket socket = open_listen_socket(config_);
  const std::string host = config_.ipv6 ? "[" + config_.address + "]" : config_.address;
  label_ = std::string("endpoint '") + config_.label() + "' at " + host + ":" +
           std::to_string(socket.port);
  connections_.set_label(label_);
  try {
    if (!config_.split()) {
      DaemonSide& side = config_.workers > 0 ? pool_ : threads_;
      side.mhd = start_side(side, socket.fd);
    } else {
      threads_.mhd = start_side(threads_, -1);
      pool_.mhd = start_side(pool_, -1);
      // Connections waiting at the router hold descriptors outside the endpoint's
      // count: at most a quarter of the process's, so that a flood of silent ones
      // leaves the rest for the connections handed on and their answers.
      const std::size_t max_waiting =
          std::min<std::size_t>(started_connections_, descriptor_limit() / 4);
      router_.start(
          socket.fd, max_waiting, [this](const std::string& path) { return answers_at_once(path); },
          [this](int fd, const sockaddr* address, socklen_t length, bool pooled) {
            deliver(fd, address, length, pooled);
          });
    }
  } catch (...) {
    ::close(socket.fd);  // nothing has taken it over
    for (DaemonSide* side : {&threads_, &pool_}) {
      if (side->mhd != nullptr) MHD_stop_daemon(side->mhd);
      side->mhd = nullptr;
    }
    throw;
  }
  if (config_.nonblocking_workers > 0 && !config_.split()) {
    log().write(MSL_LOG_INFO, "SCS_SERVER_StartServer",
                "%s: nonblocking_workers is not used %s: every connection has a thread of "
                "its own", label_.c_str(),
                config_.tls() ? "with TLS (the request line comes encrypted)" : "with workers");
  }
  pending_requests().allow(this);
  running_ = true;
  port_ = socket.port;
  metrics_.set_labels(config_.label(), host + ":" + std::to_string(port_));
  metrics_registry().add(&metrics_);
  ticker_.start(kTick, [this] { tick(); });
}

// Starts one libmicrohttpd daemon: on `listen_socket`, or (-1) with connections handed
// to it by the router. Throws ScsError.
MHD_Daemon* HttpDaemon::start_side(DaemonSide& side, int listen_socket) {
  // The per-address limit is ours (ConnectionTable): libmicrohttpd's would close silently.
  std::vector<MHD_OptionItem> options = {
      item(MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&request_completed), &side),
      item(MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&connection_notice), &side),
      item(MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&request_line), &side),
      item(MHD_OPTION_CONNECTION_LIMIT, mhd_limit_),
      item(MHD_OPTION_CONNECTION_TIMEOUT, config_.connection_timeout),
      item(MHD_OPTION_THREAD_STACK_SIZE, static_cast<intptr_t>(config_.thread_stack_size)),
      item(MHD_OPTION_STRICT_FOR_CLIENT, 1),
  };
  // A thread per connection, so a callback may block until its answer is ready; or a
  // pool of workers over epoll for callbacks that never wait.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC | MHD_USE_ERROR_LOG;
  if (!side.pooled) {
    flags |= MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL;
  } else {
    flags |= MHD_USE_EPOLL;
    options.push_back(item(MHD_OPTION_THREAD_POOL_SIZE,
                           config_.workers > 0 ? config_.workers : config_.nonblocking_workers));
  }
  if (listen_socket >= 0) {
    options.push_back(item(MHD_OPTION_LISTEN_SOCKET, listen_socket));
  } else {
    flags |= MHD_USE_NO_LISTEN_SOCKET;
  }
  // A split endpoint's pool suspends a connection while a callback that may wait runs.
  if (side.pooled) flags |= MHD_ALLOW_SUSPEND_RESUME;  // held and pending callbacks
  if (config_.tls()) {
    flags |= MHD_USE_TLS;
    add_tls_options(options);
  }
  // libmicrohttpd clears a connection's memory after every request: at its default of
  // 32 KiB that was a tenth of a registration's cost. The router hands the pool only
  // connections whose first request's headers fit in ConnectionRouter::kPeekBytes.
  if (side.pooled && config_.split()) {
    options.push_back(item(MHD_OPTION_CONNECTION_MEMORY_LIMIT, kPooledConnectionMemory));
  }
  options.push_back(item(MHD_OPTION_END, 0));
  // The logger must come first, or the daemon logs its own warning about it to stderr.
  MHD_Daemon* daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &request_access, &side,
                                        MHD_OPTION_EXTERNAL_LOGGER, &mhd_message, &side,
                                        MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
  if (daemon == nullptr) {
    throw ScsError(config_.tls() ? status::SCS_TLS_FAILED : status::SCS_START_FAILED,
                   std::string("endpoint '") + config_.label() + "': the HTTP server on " +
                       config_.address_text() + " did not start");
  }
  return daemon;
}

void HttpDaemon::deliver(int socket, const sockaddr* address, socklen_t length, bool pooled) {
  // libmicrohttpd closes the socket itself when it cannot take it.
  MHD_add_connection((pooled ? pool_ : threads_).mhd, socket, address, length);
}

bool HttpDaemon::answers_at_once(const std::string& path) const {
  if (builtin_page(live_state()->config, path) != BuiltinPage::none) return true;
  std::lock_guard<std::mutex> lock(routes_mutex_);
  const Route* found = match_route(routes_, path);
  return found != nullptr && !found->may_block;
}

void HttpDaemon::tick() {
  const auto now = Clock::now();
  connections_.end_overdue(now);
  counted_log_.flush(now);
}

void HttpDaemon::stop() {
  if (!running_) return;
  running_ = false;
  // A quiesced daemon is being stopped gracefully: the answers of the requests under
  // way (the last callbacks' answers, the 503s of the quiesce) leave before the
  // connections close. Bounded, so a callback that never returns cannot hold the stop.
  if (fully_quiesced()) {
    const auto until = Clock::now() + kAnswersLeave;
    while (connections_.busy() != 0 && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ticker_.stop();
  router_.stop();
  // libmicrohttpd must find no connection suspended when it stops: requests that were
  // to be completed later are answered 503, and the callbacks held for pooled
  // connections end (their clients see the connection close now).
  pending_requests().end_all(this, kAnswersLeave);
  held_.end_all();
  // Each daemon shuts every connection's socket down before joining its thread, so a
  // client whose callback is still running sees its connection closed at once; the
  // join then waits for that callback to return, and its answer is discarded.
  for (DaemonSide* side : {&pool_, &threads_}) {
    if (side->mhd != nullptr) MHD_stop_daemon(side->mhd);
    side->mhd = nullptr;
  }
  if (quiesced_socket_ >= 0) ::close(quiesced_socket_);  // libmicrohttpd let it go
  quiesced_socket_ = -1;
  counted_log_.flush(Clock::now(), true);
  metrics_registry().remove(&metrics_);
}

void HttpDaemon::quiesce(std::uint32_t listener) {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  quiesced_.insert(listener);
  any_quiesced_.store(true, std::memory_order_release);
  if (daemon_quiesced_ || !running_) return;
  for (const auto& [resource, route] : routes_) {
    if (quiesced_.count(route.listener) == 0) return;
  }
  daemon_quiesced_ = true;
  if (config_.split()) {
    router_.quiesce();
  } else {
    MHD_Daemon* only = threads_.mhd != nullptr ? threads_.mhd : pool_.mhd;
    const MHD_socket socket = MHD_quiesce_daemon(only);
    if (socket == MHD_INVALID_SOCKET) return;
    // libmicrohttpd may still poll it until it stops: stop listening (pending and new
    // connections are refused by the system) without closing it.
    ::shutdown(socket, SHUT_RD);
    quiesced_socket_ = socket;
  }
  log().write(MSL_LOG_INFO, "SCS_SERVER_QuiesceServer",
              "endpoint '%s' on port %u accepts no new connections", config_.label(),
              static_cast<unsigned>(port_));
}

bool HttpDaemon::quiesced(std::uint32_t listener) const {
  if (!any_quiesced_.load(std::memory_order_acquire)) return false;  // every request asks
  std::lock_guard<std::mutex> lock(routes_mutex_);
  return quiesced_.count(listener) != 0;
}

bool HttpDaemon::fully_quiesced() const {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  return daemon_quiesced_;
}

void HttpDaemon::set_admission(std::uint32_t listener, const std::string& resource,
                               SCS_ADMIT_CALLBACK admit) {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  const auto it = routes_.find(resource);
  if (it != routes_.end() && it->second.listener == listener) it->second.admit = admit;
}

void HttpDaemon::check_free(const std::string& resource, const Route& route) const {
  if (config_.workers > 0 && route.may_block) {
    throw ScsError(status::SCS_BLOCKING_ON_WORKERS,
                   "endpoint '" + std::string(config_.label()) + "' runs " +
                       std::to_string(config_.workers) + " workers, but the callback of " + resource +
                       " may wait: serve it on an endpoint without 'workers'");
  }
  std::lock_guard<std::mutex> lock(routes_mutex_);
  const auto it = routes_.find(resource);
  if (it != routes_.end() && it->second.listener != route.listener) {
    throw ScsError(status::SCS_RESOURCE_IN_USE,
                   "resource " + resource + " on " + config_.address_text() +
                       " is already served by listener " + std::to_string(it->second.listener));
  }
}

void HttpDaemon::publish(const std::string& resource, const Route& route) {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  Route& served = routes_[resource] = route;
  served.metrics = metrics_.resource(resource);
}

void HttpDaemon::unpublish_listener(std::uint32_t listener) {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  quiesced_.erase(listener);
  any_quiesced_.store(!quiesced_.empty(), std::memory_order_release);
  for (auto it = routes_.begin(); it != routes_.end();) {
    it = it->second.listener == listener ? routes_.erase(it) : std::next(it);
  }
}

bool HttpDaemon::find_route(const std::string& path, Route& route) const {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  const Route* found = match_route(routes_, path);
  if (found == nullptr) return false;
  route = *found;
  return true;
}

bool HttpDaemon::serves_any_request() const {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  return has_any_request(routes_);
}

}  // namespace qel::scs
