#include "scs/http_daemon.h"

#include <microhttpd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <utility>
#include <vector>

#include "scs/listen_socket.h"
#include "scs/log.h"
#include "scs/metrics_registry.h"
#include "scs/request_handler.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

// TLS 1.2 and 1.3 only.
constexpr const char* kTlsPriorities =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:%SERVER_PRECEDENCE";
// Descriptors kept free for the rest of the process when the limit is derived.
constexpr rlim_t kDescriptorReserve = 64;

void mhd_log(void*, const char* format, va_list args) noexcept {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  log().write(MSL_LOG_WARNING, "HttpDaemon", "HTTP server: %s", text);
}

rlim_t descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1u << 20;
  return limit.rlim_cur;
}

MHD_OptionItem item(MHD_OPTION option, intptr_t value, void* pointer = nullptr) {
  return MHD_OptionItem{option, value, pointer};
}

// The texts stay alive in the daemon's configuration for as long as the daemon runs.
void* text(const std::string& value) { return const_cast<char*>(value.c_str()); }

void add_tls_options(const EndpointConfig& c, std::vector<MHD_OptionItem>& options) {
  options.push_back(item(MHD_OPTION_HTTPS_MEM_CERT, 0, text(c.tls_cert_pem)));
  options.push_back(item(MHD_OPTION_HTTPS_MEM_KEY, 0, text(c.tls_key_pem)));
  options.push_back(item(MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(kTlsPriorities)));
  if (!c.tls_client_ca_pem.empty()) {
    options.push_back(item(MHD_OPTION_HTTPS_MEM_TRUST, 0, text(c.tls_client_ca_pem)));
  }
}

}  // namespace

HttpDaemon::HttpDaemon(EndpointConfig config) : config_(std::move(config)) {}

HttpDaemon::~HttpDaemon() { stop(); }

unsigned HttpDaemon::effective_connection_limit() const {
  const rlim_t files = descriptor_limit();
  const rlim_t usable = files > kDescriptorReserve ? files - kDescriptorReserve : 1;
  if (config_.connection_limit == 0) {
    return static_cast<unsigned>(
        std::min<rlim_t>(EndpointConfig::kDefaultConnectionLimit, usable));
  }
  if (config_.connection_limit > usable) {
    throw ScsError(status::SCS_LIMIT_ABOVE_DESCRIPTORS,
                   std::string("endpoint '") + config_.label() + "': connection_limit " +
                       std::to_string(config_.connection_limit) + " needs more than the " +
                       std::to_string(files) + " open files the process may have");
  }
  return config_.connection_limit;
}

void HttpDaemon::start() {
  const unsigned limit = effective_connection_limit();
  const ListenSocket socket = open_listen_socket(config_);
  std::vector<MHD_OptionItem> options = {
      item(MHD_OPTION_LISTEN_SOCKET, socket.fd),
      item(MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&request_completed), this),
      item(MHD_OPTION_CONNECTION_LIMIT, limit),
      item(MHD_OPTION_PER_IP_CONNECTION_LIMIT, config_.per_ip_limit),
      item(MHD_OPTION_CONNECTION_TIMEOUT, config_.connection_timeout),
      item(MHD_OPTION_THREAD_STACK_SIZE, static_cast<intptr_t>(config_.thread_stack_size)),
      item(MHD_OPTION_STRICT_FOR_CLIENT, 1),
  };
  // A thread per connection, so a callback may block until its answer is ready; or a
  // pool of workers over epoll for callbacks that never wait.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC | MHD_USE_ERROR_LOG;
  if (config_.workers == 0) {
    flags |= MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL;
  } else {
    flags |= MHD_USE_EPOLL;
    options.push_back(item(MHD_OPTION_THREAD_POOL_SIZE, config_.workers));
  }
  if (config_.tls()) {
    flags |= MHD_USE_TLS;
    add_tls_options(config_, options);
  }
  options.push_back(item(MHD_OPTION_END, 0));
  // The logger must come first, or the daemon logs its own warning about it to stderr.
  daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &request_access, this,
                             MHD_OPTION_EXTERNAL_LOGGER, &mhd_log, nullptr,
                             MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
  if (daemon_ == nullptr) {
    ::close(socket.fd);
    throw ScsError(config_.tls() ? status::SCS_TLS_FAILED : status::SCS_START_FAILED,
                   std::string("endpoint '") + config_.label() + "': the HTTP server on " +
                       config_.address_text() + " did not start");
  }
  port_ = socket.port;
  const std::string host = config_.ipv6 ? "[" + config_.address + "]" : config_.address;
  metrics_.set_labels(config_.label(), host + ":" + std::to_string(port_));
  metrics_registry().add(&metrics_);
}

void HttpDaemon::stop() {
  if (daemon_ == nullptr) return;
  // The daemon shuts every connection's socket down before joining its thread, so a
  // client whose callback is still running sees its connection closed at once; the
  // join then waits for that callback to return, and its answer is discarded.
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  metrics_registry().remove(&metrics_);
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
  for (auto it = routes_.begin(); it != routes_.end();) {
    it = it->second.listener == listener ? routes_.erase(it) : std::next(it);
  }
}

bool HttpDaemon::find_route(const std::string& resource, Route& route) const {
  std::lock_guard<std::mutex> lock(routes_mutex_);
  const auto it = routes_.find(resource);
  if (it == routes_.end()) return false;
  route = it->second;
  return true;
}

}  // namespace qel::scs
