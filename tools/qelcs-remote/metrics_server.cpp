// The metrics page of the tunnel client.
#include "metrics_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "qel_build_info.h"
#include "scs/process_metrics.h"

namespace qelcs_remote {

namespace {

struct address_list_deleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// "ADDR:PORT" or "[ADDR]:PORT" split in two; false when malformed.
bool split_address(const std::string& text, std::string& host, std::string& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  host = text.substr(0, colon);
  port = text.substr(colon + 1);
  if (host.front() == '[') {
    if (host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  }
  return port.find_first_not_of("0123456789") == std::string::npos;
}

// A listening socket on the address (a number or a host name: its first address that
// can be bound), or -1 with `error` set.
int listen_on(const std::string& host, const std::string& port, std::string& error) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found)) {
    error = gai_strerror(rc);
    return -1;
  }
  std::unique_ptr<addrinfo, address_list_deleter> list(found);
  for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
    const int fd = socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (fd >= 0 && bind(fd, address->ai_addr, address->ai_addrlen) == 0 && listen(fd, 16) == 0) return fd;
    error = std::strerror(errno);
    if (fd >= 0) close(fd);
  }
  return -1;
}

int bound_port(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

// /metrics: the client's counters, then the process figures and build information;
// /healthz: 200 while the client runs (it answers only while its process is up).
MHD_Result answer(void* status, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char*, size_t*, void**) {
  const bool read = std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0;
  const bool page = read && std::strcmp(url, "/metrics") == 0;
  const bool health = read && std::strcmp(url, "/healthz") == 0;
  const std::string body =
      page ? metrics_text(*static_cast<const tunnel_status*>(status)) +
                 qel::scs::process_metrics_text(QEL_VERSION)
           : health ? std::string("ok\n") : std::string("Not Found\n");
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, "Content-Type",
                          page ? "text/plain; version=0.0.4; charset=utf-8" : "text/plain");
  const MHD_Result queued = MHD_queue_response(connection, page || health ? 200 : 404, response);
  MHD_destroy_response(response);
  return queued;
}

}  // namespace

metrics_server::~metrics_server() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
}

bool metrics_server::start(const std::string& address, std::string& error) {
  std::string host, port;
  if (!split_address(address, host, port)) {
    error = "--metrics: expected HOST:PORT (e.g. 127.0.0.1:9464 or localhost:9464), got '" + address + "'";
    return false;
  }
  const int fd = listen_on(host, port, error);
  if (fd < 0) {
    error = "--metrics: cannot listen on " + address + ": " + error;
    return false;
  }
  daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL, 0, nullptr, nullptr,
                             &answer, const_cast<tunnel_status*>(&status_), MHD_OPTION_LISTEN_SOCKET,
                             fd, MHD_OPTION_CONNECTION_TIMEOUT, 10u, MHD_OPTION_END);
  if (daemon_ == nullptr) {
    close(fd);
    error = "--metrics: the HTTP server on " + address + " did not start";
    return false;
  }
  const bool v6 = host.find(':') != std::string::npos;
  url_ = "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(bound_port(fd)) + "/metrics";
  return true;
}

}  // namespace qelcs_remote
