// A tiny HTTP service on 127.0.0.1 standing for the remote side's target: it answers
// every request with "target METHOD PATH BODY" (Content-Type "text/x-target"), with
// status 201, or NNN for a path "/status/NNN". libmicrohttpd runs it on its own thread;
// the count may be read from any thread.
#ifndef QEL_TESTS_TOOLS_E2E_TARGET_H
#define QEL_TESTS_TOOLS_E2E_TARGET_H

#include <atomic>
#include <string>

struct MHD_Daemon;

namespace e2e {

class local_target {
 public:
  local_target();
  ~local_target();
  local_target(const local_target&) = delete;
  local_target& operator=(const local_target&) = delete;

  bool running() const { return daemon_ != nullptr; }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_.load(); }

 private:
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  std::atomic<int> requests_{0};
};

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_TARGET_H
