// A tiny HTTP service on 127.0.0.1 standing for the remote side's target: it answers
// every request with "target METHOD PATH BODY" (Content-Type "text/x-target"), with
// status 201, or NNN for a path "/status/NNN"; a body "sleep MS" is answered after MS
// milliseconds. As an older host's poll resource (older_host()), it answers a poll
// whose X-QEL-Message-Id is "join" with 500 and any other poll, after 200 ms, with an
// empty 200. libmicrohttpd runs it with a thread per connection; the counts may be read
// from any thread.
#ifndef QEL_TESTS_TOOLS_E2E_TARGET_H
#define QEL_TESTS_TOOLS_E2E_TARGET_H

#include <atomic>
#include <memory>
#include <string>

struct MHD_Daemon;

namespace e2e {

class local_target {
 public:
  local_target() : local_target(false) {}
  static std::unique_ptr<local_target> older_host() {
    return std::unique_ptr<local_target>(new local_target(true));
  }
  ~local_target();
  local_target(const local_target&) = delete;
  local_target& operator=(const local_target&) = delete;

  bool running() const { return daemon_ != nullptr; }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int requests() const { return counts_.requests.load(); }
  // The most requests it has been answering at one time.
  int most_at_once() const { return counts_.most_at_once.load(); }

  struct counts {
    bool older_host = false;
    std::atomic<int> joins{0};
    std::atomic<int> requests{0};
    std::atomic<int> in_flight{0};
    std::atomic<int> most_at_once{0};
  };

  int joins() const { return counts_.joins.load(); }

 private:
  explicit local_target(bool older_host);

  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  counts counts_;
};

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_TARGET_H
