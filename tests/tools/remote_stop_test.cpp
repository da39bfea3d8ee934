// qelcs-remote stopping while a poll that carries an answer is out: the host side is
// played by hand here, so that the test decides whether that poll was read.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "e2e_target.h"

namespace {

// A poll resource on 127.0.0.1 that hands out whole requests from any of its
// connections and answers them only when told to.
class scripted_host {
 public:
  scripted_host() {
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
  ~scripted_host() {
    for (const auto& c : connections_) close(c.fd);
    close(listener_);
  }
  scripted_host(const scripted_host&) = delete;
  scripted_host& operator=(const scripted_host&) = delete;

  std::string url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/qel/reverseConnection";
  }
  // The next whole request (head and body) on any connection; "" after `ms`.
  std::string next_request(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      for (auto& c : connections_) {
        if (std::string request = take_request(c); !request.empty()) {
          last_ = c.fd;
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
  // Answers the last request on its connection.
  void answer(const std::string& head_lines, const std::string& body) {
    const std::string response = "HTTP/1.1 200 OK\r\n" + head_lines + "Content-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body;
    EXPECT_EQ(static_cast<ssize_t>(response.size()), write(last_, response.data(), response.size()));
  }

 private:
  struct connection {
    int fd;
    std::string pending;
    bool open;
  };
  static std::string take_request(connection& c) {
    const auto head_end = c.pending.find("\r\n\r\n");
    if (head_end == std::string::npos) return "";
    std::size_t body = 0;
    const auto length = c.pending.find("Content-Length: ");
    if (length != std::string::npos && length < head_end) body = std::stoul(c.pending.substr(length + 16));
    if (c.pending.size() < head_end + 4 + body) return "";
    std::string request = c.pending.substr(0, head_end + 4 + body);
    c.pending.erase(0, request.size());
    return request;
  }

  int listener_ = -1;
  int port_ = 0;
  int last_ = -1;
  std::vector<connection> connections_;
};

TEST(RemoteStop, AnswerOutWhenTheClientStopsIsSentAgain) {
  scripted_host host;
  e2e::local_target target;
  e2e::temp_dir dir;
  e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll", host.url(), "--target",
                             target.url(), "--pollers", "1", "--status-interval", "0"},
                            dir.file("remote.out"), dir.path());
  ASSERT_NE("", host.next_request(10000)) << remote.output();  // the first poll resets
  host.answer("X-QEL-Message-Id: 7\r\nX-QEL-Location: /qel\r\nX-QEL-Method: POST\r\n", "hello");
  const std::string answer = host.next_request(10000);
  ASSERT_NE(std::string::npos, answer.find("X-QEL-Message-Id: 7")) << answer;
  // That answer has gone out but, as far as the client can tell, may not have been read:
  // the client stops now, and must send it once more before it ends.
  ASSERT_EQ(0, kill(remote.pid(), SIGTERM));
  const std::string again = host.next_request(10000);
  EXPECT_NE(std::string::npos, again.find("X-QEL-Message-Id: 7")) << again << remote.output();
  EXPECT_NE(std::string::npos, again.find("target POST /qel hello")) << again;
  host.answer("", "");  // taken: no request to carry
  EXPECT_EQ(0, remote.wait(30000)) << remote.output();
}

}  // namespace
