// HTTP calls for the end-to-end tests, over libcurl: one blocking POST (or GET), the same run
// on its own thread, and a crowd of POSTs all waiting at once on one curl multi handle.
// Every call has a time-out so that a faulty server fails the test instead of hanging it.
#ifndef QEL_TESTS_TOOLS_E2E_HTTP_H
#define QEL_TESTS_TOOLS_E2E_HTTP_H

#include <future>
#include <map>
#include <string>
#include <vector>

namespace e2e {

struct http_result {
  long status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string error;  // empty when a response arrived

  bool has_header(const std::string& name) const;
  std::string header(const std::string& name) const;
};

// Headers as "Name: value" lines ("Name:" alone suppresses a default header).
using header_lines = std::vector<std::string>;

http_result http_post(const std::string& url, const std::string& body,
                      const header_lines& headers = {}, long timeout_ms = 60000);

// A GET of `url` (the library's /metrics and /healthz pages, for instance).
http_result http_get(const std::string& url, const header_lines& headers = {},
                     long timeout_ms = 60000);

// The POST on a thread of its own; the future is shared so fixtures can keep it.
std::shared_future<http_result> http_post_async(const std::string& url, const std::string& body,
                                                const header_lines& headers = {},
                                                long timeout_ms = 60000);

// True when the future has a result within `ms` milliseconds.
bool ready_within(const std::shared_future<http_result>& call, int ms);

// POSTs bodies[i] to `url` for every i, all at once, and waits for all of them.
std::vector<http_result> http_post_crowd(const std::string& url,
                                         const std::vector<std::string>& bodies,
                                         long timeout_ms);

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_HTTP_H
