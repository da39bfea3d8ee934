// One endpoint of a listener: where it listens, its TLS and client authentication, its
// limits and (for a named endpoint) the resources it serves.
//
// Built by ListenerSettings from `key = value` settings; immutable afterwards and
// copied freely. The file keys name files that apply_files() reads into the *_pem and
// bearer_token fields. share_key() is what decides that two listeners share one HTTP
// daemon: everything except the endpoint's name and resource list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::scs {

struct EndpointConfig {
  static constexpr std::uint16_t kDefaultPort = 18080;
  static constexpr unsigned kDefaultConnectionLimit = 1000;
  static constexpr unsigned kDefaultPerIpLimit = 256;
  static constexpr unsigned kDefaultConnectionTimeout = 60;
  static constexpr std::uint64_t kDefaultMaxBodySize = 16u << 20;
  static constexpr unsigned kDefaultHeaderTimeout = 20;
  static constexpr unsigned kDefaultBodyMinRate = 1024;
  static constexpr std::uint64_t kDefaultBodyBudget = 256u << 20;
  static std::size_t default_thread_stack_size();

  std::string name;  // empty for the default endpoint
  std::string address = "127.0.0.1";
  bool ipv6 = false;
  int port = -1;  // -1 until set; the default endpoint falls back to kDefaultPort
  std::vector<std::string> resources;
  std::string tls_cert_file, tls_key_file, tls_client_ca_file, bearer_token_file;
  std::string tls_cert_pem, tls_key_pem, tls_client_ca_pem, bearer_token;
  unsigned connection_limit = 0;  // 0: kDefaultConnectionLimit or the descriptor limit
  unsigned per_ip_limit = kDefaultPerIpLimit;
  unsigned connection_timeout = kDefaultConnectionTimeout;  // seconds
  std::uint64_t max_body_size = kDefaultMaxBodySize;
  unsigned header_timeout = kDefaultHeaderTimeout;  // seconds for the request line and headers
  unsigned body_min_rate = kDefaultBodyMinRate;     // bytes/s a body must average (0: none)
  std::uint64_t body_budget = kDefaultBodyBudget;   // bytes of bodies buffered at once
  std::size_t thread_stack_size = default_thread_stack_size();
  unsigned workers = 0;  // 0: a thread per connection; N: N threads over epoll
  // N > 0: N threads over epoll serve the connections whose first request is for a
  // resource that never waits; the others keep a thread each (plain HTTP only).
  unsigned nonblocking_workers = 0;
  bool metrics = false;     // answer GET /metrics and /healthz (builtin_pages.h)
  bool access_log = false;  // log one line per answered request (request_accounting.h)

  bool is_default() const { return name.empty(); }
  bool tls() const { return !tls_cert_pem.empty(); }
  // Serves from two daemons, the first request of a connection choosing (see
  // ConnectionRouter): nonblocking_workers on a plain endpoint without workers.
  bool split() const { return nonblocking_workers > 0 && workers == 0 && !tls(); }
  const char* label() const { return is_default() ? "default" : name.c_str(); }
  std::string address_text() const;  // "127.0.0.1:18080" or "[::1]:18080"

  // Sets one key from its settings text; throws ScsError (unknown key, bad value).
  void apply(const std::string& key, const std::string& value);
  // Checks the combination of keys and reads the named files; throws ScsError.
  void finish();
  std::string share_key() const;
};

// True for a path that starts with '/' and has no blank or control characters.
bool valid_resource(const std::string& resource);

}  // namespace qel::scs
