#include "scs/endpoint_config.h"

#include <arpa/inet.h>

#include <cctype>
#include <functional>
#include <map>

#include "scs/config_file.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

[[noreturn]] void bad_value(const std::string& key, const std::string& value,
                            const char* expected) {
  throw ScsError(status::SCS_SETTINGS_BAD_VALUE,
                 "settings key '" + key + "' has the bad value '" + value + "' (expected " +
                     expected + ")");
}

std::uint64_t parse_number(const std::string& key, const std::string& value,
                           std::uint64_t low, std::uint64_t high, const char* expected) {
  if (value.empty() || value.size() > 19) bad_value(key, value, expected);
  std::uint64_t number = 0;
  for (char c : value) {
    if (!std::isdigit(static_cast<unsigned char>(c))) bad_value(key, value, expected);
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number < low || number > high) bad_value(key, value, expected);
  return number;
}

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool parse_switch(const std::string& key, const std::string& value) {
  if (value == "on" || value == "yes" || value == "true") return true;
  if (value == "off" || value == "no" || value == "false") return false;
  bad_value(key, value, "on or off");
}

void set_address(EndpointConfig& c, const std::string& value) {
  unsigned char buffer[16];
  if (inet_pton(AF_INET, value.c_str(), buffer) == 1) {
    c.address = value;
    c.ipv6 = false;
  } else if (inet_pton(AF_INET6, value.c_str(), buffer) == 1) {
    c.address = value;
    c.ipv6 = true;
  } else {
    bad_value("address", value, "a numeric IPv4 or IPv6 address");
  }
}

void set_resources(EndpointConfig& c, const std::string& value) {
  if (c.is_default()) {
    throw ScsError(status::SCS_SETTINGS_UNKNOWN_KEY,
                   "settings key 'resources' belongs in an [endpoint NAME] section");
  }
  c.resources.clear();
  std::size_t start = 0;
  while (start <= value.size()) {
    const auto comma = value.find(',', start);
    const std::string item =
        trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!valid_resource(item)) bad_value("resources", value, "a comma-separated list of /paths");
    c.resources.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

using Setter = std::function<void(EndpointConfig&, const std::string&)>;

const std::map<std::string, Setter>& setters() {
  static const std::map<std::string, Setter> table = {
      {"address", set_address},
      {"port",
       [](EndpointConfig& c, const std::string& v) {
         c.port = static_cast<int>(parse_number("port", v, 0, 65535, "0 to 65535"));
       }},
      {"resources", set_resources},
      {"tls_cert_file", [](EndpointConfig& c, const std::string& v) { c.tls_cert_file = v; }},
      {"tls_key_file", [](EndpointConfig& c, const std::string& v) { c.tls_key_file = v; }},
      {"tls_client_ca_file",
       [](EndpointConfig& c, const std::string& v) { c.tls_client_ca_file = v; }},
      {"bearer_token_file",
       [](EndpointConfig& c, const std::string& v) { c.bearer_token_file = v; }},
      {"connection_limit",
       [](EndpointConfig& c, const std::string& v) {
         c.connection_limit = static_cast<unsigned>(
             parse_number("connection_limit", v, 1, 1000000, "1 to 1000000"));
       }},
      {"per_ip_limit",
       [](EndpointConfig& c, const std::string& v) {
         c.per_ip_limit = static_cast<unsigned>(
             parse_number("per_ip_limit", v, 0, 1000000, "0 (no limit) to 1000000"));
       }},
      {"connection_timeout",
       [](EndpointConfig& c, const std::string& v) {
         c.connection_timeout = static_cast<unsigned>(
             parse_number("connection_timeout", v, 1, 86400, "1 to 86400 seconds"));
       }},
      {"max_body_size",
       [](EndpointConfig& c, const std::string& v) {
         c.max_body_size = parse_number("max_body_size", v, 0, 1u << 30, "0 to 1073741824 bytes");
       }},
      {"header_timeout",
       [](EndpointConfig& c, const std::string& v) {
         c.header_timeout = static_cast<unsigned>(
             parse_number("header_timeout", v, 1, 3600, "1 to 3600 seconds"));
       }},
      {"body_min_rate",
       [](EndpointConfig& c, const std::string& v) {
         c.body_min_rate = static_cast<unsigned>(
             parse_number("body_min_rate", v, 0, 1u << 30, "0 (none) to 1073741824 bytes/s"));
       }},
      {"body_budget",
       [](EndpointConfig& c, const std::string& v) {
         c.body_budget = parse_number("body_budget", v, 0, std::uint64_t(1) << 40,
                                      "0 (none) to 1099511627776 bytes");
       }},
      {"workers",
       [](EndpointConfig& c, const std::string& v) {
         c.workers = static_cast<unsigned>(parse_number("workers", v, 0, 64, "0 to 64"));
       }},
      {"nonblocking_workers",
       [](EndpointConfig& c, const std::string& v) {
         c.nonblocking_workers =
             static_cast<unsigned>(parse_number("nonblocking_workers", v, 0, 64, "0 to 64"));
       }},
      {"metrics",
       [](EndpointConfig& c, const std::string& v) { c.metrics = parse_switch("metrics", v); }},
      {"access_log",
       [](EndpointConfig& c, const std::string& v) {
         c.access_log = parse_switch("access_log", v);
       }},
      {"thread_stack_size",
       [](EndpointConfig& c, const std::string& v) {
         c.thread_stack_size = static_cast<std::size_t>(parse_number(
             "thread_stack_size", v, 65536, 64u << 20, "65536 to 67108864 bytes"));
       }},
  };
  return table;
}

// The caller (ListenerSettings) prefixes the endpoint's name.
[[noreturn]] void incomplete(const std::string& what) {
  throw ScsError(status::SCS_SETTINGS_INCOMPLETE, what);
}

}  // namespace

std::size_t EndpointConfig::default_thread_stack_size() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return 1u << 20;  // sanitizer instrumentation multiplies stack use
#else
  // About seven times the deepest use measured over the whole test suite, TLS handshakes
  // and the connection server's callbacks included (19 KiB with the 4.5 KiB the C
  // library keeps at a stack's top; bench/stack_depth.sh).
  return 128u << 10;
#endif
}

std::string EndpointConfig::address_text() const {
  const std::string host = ipv6 ? "[" + address + "]" : address;
  return host + ":" + std::to_string(port < 0 ? kDefaultPort : port);
}

void EndpointConfig::apply(const std::string& key, const std::string& value) {
  const auto it = setters().find(key);
  if (it == setters().end()) {
    throw ScsError(status::SCS_SETTINGS_UNKNOWN_KEY, "unknown settings key '" + key + "'");
  }
  it->second(*this, value);
}

void EndpointConfig::finish() {
  if (port < 0) {
    if (!is_default()) incomplete("no 'port' given");
    port = kDefaultPort;
  }
  if (!is_default() && resources.empty()) incomplete("no 'resources' given");
  if (tls_cert_file.empty() != tls_key_file.empty()) {
    incomplete("'tls_cert_file' and 'tls_key_file' go together");
  }
  if (!tls_client_ca_file.empty() && tls_cert_file.empty()) {
    incomplete("'tls_client_ca_file' needs 'tls_cert_file' and 'tls_key_file'");
  }
  if (!tls_cert_file.empty()) {
    tls_cert_pem = read_config_file("tls_cert_file", tls_cert_file);
    tls_key_pem = read_config_file("tls_key_file", tls_key_file);
  }
  if (!tls_client_ca_file.empty()) {
    tls_client_ca_pem = read_config_file("tls_client_ca_file", tls_client_ca_file);
  }
  if (!bearer_token_file.empty()) {
    bearer_token = read_token_file("bearer_token_file", bearer_token_file);
  }
  if (workers > 0 && nonblocking_workers > 0) {
    throw ScsError(status::SCS_SETTINGS_BAD_VALUE,
                   "'workers' and 'nonblocking_workers' exclude each other ('workers' serves "
                   "every connection from its pool)");
  }
}

std::string EndpointConfig::share_key() const {
  std::string key;
  for (const std::string* part : {&address, &tls_cert_pem, &tls_key_pem, &tls_client_ca_pem,
                                  &bearer_token}) {
    key += std::to_string(part->size()) + ':' + *part;
  }
  for (std::uint64_t n : {std::uint64_t(port), std::uint64_t(connection_limit),
                          std::uint64_t(per_ip_limit), std::uint64_t(connection_timeout),
                          max_body_size, std::uint64_t(header_timeout),
                          std::uint64_t(body_min_rate), body_budget,
                          std::uint64_t(thread_stack_size),
                          std::uint64_t(workers), std::uint64_t(nonblocking_workers),
                          std::uint64_t(metrics),
                          std::uint64_t(access_log)}) {
    key += ';' + std::to_string(n);
  }
  return key;
}

bool valid_resource(const std::string& resource) {
  if (resource.empty() || resource[0] != '/') return false;
  for (char c : resource) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace qel::scs
