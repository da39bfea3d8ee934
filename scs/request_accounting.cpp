#include "scs/request_accounting.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdio>

#include "scs/log.h"

namespace qel::scs {
namespace {

void log_refused(const HttpDaemon& daemon, MHD_Connection* connection,
                 const AnsweredRequest& a) {
  log().write(MSL_LOG_WARNING, "client_auth",
              "refused %s \"%s %s\" on endpoint '%s' with %u (%s)",
              client_address(connection).c_str(), printable(a.method, 16).c_str(),
              printable(a.url, 256).c_str(), daemon.config().label(), a.status,
              a.status == MHD_HTTP_UNAUTHORIZED ? "no credentials" : "wrong credentials");
}

void log_access(const HttpDaemon& daemon, MHD_Connection* connection, const AnsweredRequest& a) {
  const auto took = std::chrono::steady_clock::now() - a.started;
  const double ms = std::chrono::duration<double, std::milli>(took).count();
  log().write(MSL_LOG_INFO, "access", "%s \"%s %s\" %u in=%llu out=%llu ms=%.3f endpoint=%s",
              client_address(connection).c_str(), printable(a.method, 16).c_str(),
              printable(a.url, 256).c_str(), a.status,
              static_cast<unsigned long long>(a.bytes_in),
              static_cast<unsigned long long>(a.bytes_out), ms, daemon.config().label());
}

}  // namespace

void account(HttpDaemon& daemon, MHD_Connection* connection, const AnsweredRequest& a) {
  if (a.resource != nullptr) {
    a.resource->record(a.status, a.bytes_in, a.bytes_out,
                       std::chrono::steady_clock::now() - a.started);
  } else if (!a.builtin_page) {
    daemon.metrics().refused(a.status);
    // Before a resource, only client authentication answers 401 or 403.
    if (a.status == MHD_HTTP_UNAUTHORIZED || a.status == MHD_HTTP_FORBIDDEN) {
      log_refused(daemon, connection, a);
    }
  }
  if (a.access_log) log_access(daemon, connection, a);
}

std::string client_address(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info == nullptr || info->client_addr == nullptr) return "unknown";
  char host[INET6_ADDRSTRLEN] = "";
  const sockaddr* address = info->client_addr;
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(v4->sin_port));
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(ntohs(v6->sin6_port));
  }
  return "unknown";
}

std::string printable(const std::string& text, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > limit) out += "...";
  return out;
}

}  // namespace qel::scs
