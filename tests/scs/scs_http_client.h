// HTTP clients of the tests: libcurl for well-formed requests (with TLS and client
// certificates), and raw sockets for bytes that no well-behaved client would send.
#ifndef QEL_TESTS_SCS_HTTP_CLIENT_H
#define QEL_TESTS_SCS_HTTP_CLIENT_H

#include <string>
#include <vector>

struct HttpOptions {
  std::string method = "POST";
  std::vector<std::string> headers;  // "Name: value"
  std::string ca_file, cert_file, key_file;
};

struct HttpResult {
  int curl_code = 0;  // CURLE_OK is 0
  long status = 0;
  std::string body;
  std::vector<std::string> headers;  // raw header lines
  // The value of the first header `name` (without case), or "" when absent.
  std::string header(const std::string& name) const;
};

HttpResult http_request(const std::string& url, const std::string& body,
                        const HttpOptions& options = {});

// A connected TCP socket to 127.0.0.1:port, or -1.
int connect_local(int port);
bool send_all(int fd, const std::string& bytes);
// Reads until the peer closes or `seconds` pass.
std::string read_all(int fd, int seconds);
// True when the peer closes the connection within `seconds` (data is discarded).
bool wait_closed(int fd, int seconds);
// connect_local + send_all + read_all + close.
std::string raw_exchange(int port, const std::string& bytes);
// The status code of the first response line of a raw answer, or 0.
int raw_status(const std::string& answer);

#endif  // QEL_TESTS_SCS_HTTP_CLIENT_H
