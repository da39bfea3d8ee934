// HTTP calls of the tests, over libcurl: one blocking request (any method, TLS with
// client certificates), the same run on its own thread, and a crowd of POSTs all
// waiting at once on one curl multi handle. Every call has a time-out so that a faulty
// server fails the test instead of hanging it. Any thread.
#ifndef QEL_TESTS_SUPPORT_HTTP_CLIENT_H
#define QEL_TESTS_SUPPORT_HTTP_CLIENT_H

#include <future>
#include <map>
#include <string>
#include <vector>

namespace qeltest {

struct http_result {
  long status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string error;  // empty when a response arrived

  bool has_header(const std::string& name) const;
  // The header's value (name without case), or "" when absent.
  std::string header(const std::string& name) const;
};

// Headers as "Name: value" lines ("Name:" alone suppresses a default header).
using header_lines = std::vector<std::string>;

struct http_options {
  std::string method = "POST";
  header_lines headers;
  std::string ca_file, cert_file, key_file;  // TLS: trusted CA, client certificate and key
  long timeout_ms = 20000;
};

http_result http_request(const std::string& url, const std::string& body,
                         const http_options& options = {});

// A POST without "Expect: 100-continue", so large bodies go at once.
http_result http_post(const std::string& url, const std::string& body,
                      const header_lines& headers = {}, long timeout_ms = 60000);

http_result http_get(const std::string& url, const header_lines& headers = {},
                     long timeout_ms = 60000);

// http_post on a thread of its own; the future is shared so fixtures can keep it.
std::shared_future<http_result> http_post_async(const std::string& url, const std::string& body,
                                                const header_lines& headers = {},
                                                long timeout_ms = 60000);

// True when the future has a result within `ms` milliseconds.
bool ready_within(const std::shared_future<http_result>& call, int ms);

// POSTs bodies[i] to `url` for every i, all at once, and waits for all of them.
std::vector<http_result> http_post_crowd(const std::string& url,
                                         const std::vector<std::string>& bodies,
                                         long timeout_ms);

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_HTTP_CLIENT_H
