#include "scs/listen_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

constexpr int kBacklog = 4096;  // the kernel caps it at somaxconn

socklen_t make_address(const EndpointConfig& c, sockaddr_storage& storage) {
  std::memset(&storage, 0, sizeof storage);
  if (c.ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<std::uint16_t>(c.port));
    inet_pton(AF_INET6, c.address.c_str(), &a->sin6_addr);
    return sizeof *a;
  }
  auto* a = reinterpret_cast<sockaddr_in*>(&storage);
  a->sin_family = AF_INET;
  a->sin_port = htons(static_cast<std::uint16_t>(c.port));
  inet_pton(AF_INET, c.address.c_str(), &a->sin_addr);
  return sizeof *a;
}

std::uint16_t bound_port(int fd) {
  sockaddr_storage storage{};
  socklen_t length = sizeof storage;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return 0;
  if (storage.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
  }
  return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

[[noreturn]] void fail(int fd, const EndpointConfig& c, const char* step) {
  const int error = errno;
  ::close(fd);
  const std::uint32_t code =
      error == EADDRINUSE ? status::SCS_ADDRESS_IN_USE : status::SCS_LISTEN_FAILED;
  throw ScsError(code, std::string("endpoint '") + c.label() + "': " + step + " " +
                           c.address_text() + ": " + std::strerror(error));
}

}  // namespace

ListenSocket open_listen_socket(const EndpointConfig& config) {
  sockaddr_storage address;
  const socklen_t length = make_address(config, address);
  const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) fail(-1, config, "socket for");
  const int on = 1;
  // SO_REUSEADDR only skips TIME_WAIT leftovers; a live listener still makes bind fail.
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (config.ipv6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) fail(fd, config, "bind");
  if (::listen(fd, kBacklog) != 0) fail(fd, config, "listen on");
  return ListenSocket{fd, bound_port(fd)};
}

}  // namespace qel::scs
