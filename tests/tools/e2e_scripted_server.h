// A server on 127.0.0.1 that the test drives by hand, for playing the host's poll
// resource or a target byte by byte: it hands out whole requests (head and body by
// Content-Length) from any of its connections, and answers the last one only when told
// to, with whatever bytes the test chooses. One thread (the test's).
#ifndef QEL_TESTS_TOOLS_E2E_SCRIPTED_SERVER_H
#define QEL_TESTS_TOOLS_E2E_SCRIPTED_SERVER_H

#include <string>
#include <vector>

namespace e2e {

class scripted_server {
 public:
  scripted_server();
  ~scripted_server();
  scripted_server(const scripted_server&) = delete;
  scripted_server& operator=(const scripted_server&) = delete;

  int port() const { return port_; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The next whole request (head and body) on any connection; "" after `ms`.
  std::string next_request(int ms);
  // Answers the last request on its connection: 200 with `head_lines` and `body`.
  void answer(const std::string& head_lines, const std::string& body);
  // Sends `bytes` as they are on the last request's connection.
  void reply(const std::string& bytes);
  // Closes the last request's connection, as a server ending a kept-alive connection.
  void close_last();
  // Requests taken so far.
  int requests() const { return requests_; }

 private:
  struct connection {
    int fd;
    std::string pending;
    bool open;
  };
  static std::string take_request(connection& c);

  int listener_ = -1;
  int port_ = 0;
  int last_ = -1;
  int requests_ = 0;
  std::vector<connection> connections_;
};

// The value of header `name` in the request or response `message` ("" when absent);
// the first one when there are several.
std::string header_of(const std::string& message, const std::string& name);
// The body of `message` (what follows its head).
std::string body_of(const std::string& message);

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_SCRIPTED_SERVER_H
