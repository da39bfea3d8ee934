// The hand-driven server of the end-to-end tests.
#include "e2e_scripted_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace e2e {

scripted_server::scripted_server() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      listen(listener_, 8) == 0 &&
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port_ = ntohs(address.sin_port);
}

scripted_server::~scripted_server() {
  for (const auto& c : connections_) close(c.fd);
  close(listener_);
}

std::string scripted_server::next_request(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    for (auto& c : connections_) {
      if (std::string request = take_request(c); !request.empty()) {
        last_ = c.fd;
        ++requests_;
        return request;
      }
    }
    std::vector<pollfd> fds{{listener_, POLLIN, 0}};
    for (const auto& c : connections_) fds.push_back({c.fd, c.open ? short(POLLIN) : short(0), 0});
    if (poll(fds.data(), fds.size(), 50) <= 0) continue;
    if (fds[0].revents & POLLIN)
      connections_.push_back({accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), "", true});
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) connections_[i - 1].pending.append(buffer, static_cast<std::size_t>(n));
      else connections_[i - 1].open = false;  // the client closed it: nothing more comes
    }
  }
  return "";
}

void scripted_server::answer(const std::string& head_lines, const std::string& body) {
  reply("HTTP/1.1 200 OK\r\n" + head_lines + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

void scripted_server::reply(const std::string& bytes) {
  EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(last_, bytes.data(), bytes.size()));
}

void scripted_server::close_last() {
  for (auto& c : connections_) {
    if (c.fd != last_) continue;
    shutdown(c.fd, SHUT_RDWR);
    c.open = false;
  }
}

std::string scripted_server::take_request(connection& c) {
  const auto head_end = c.pending.find("\r\n\r\n");
  if (head_end == std::string::npos) return "";
  std::size_t body = 0;
  const std::string length = header_of(c.pending.substr(0, head_end + 2), "Content-Length");
  if (!length.empty()) body = std::stoul(length);
  if (c.pending.size() < head_end + 4 + body) return "";
  std::string request = c.pending.substr(0, head_end + 4 + body);
  c.pending.erase(0, request.size());
  return request;
}

std::string header_of(const std::string& message, const std::string& name) {
  const std::size_t head_end = message.find("\r\n\r\n");
  std::size_t at = message.find("\r\n");
  while (at != std::string::npos && at < head_end) {
    const std::size_t end = message.find("\r\n", at + 2);
    const std::string line = message.substr(at + 2, end - at - 2);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        strncasecmp(line.c_str(), name.c_str(), name.size()) == 0)
      return line.substr(line.find_first_not_of(' ', name.size() + 1));
    at = end;
  }
  return "";
}

std::string body_of(const std::string& message) {
  const std::size_t head_end = message.find("\r\n\r\n");
  return head_end == std::string::npos ? "" : message.substr(head_end + 4);
}

}  // namespace e2e
