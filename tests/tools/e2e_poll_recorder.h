// A stand-in for the host's poll resource that records what each poll carries: it
// answers every request, after 100 ms, with an empty 200 (an idle poll's answer) and
// keeps the Authorization header of each. libmicrohttpd runs it with a thread per
// connection; the record may be read from any thread.
#ifndef QEL_TESTS_TOOLS_E2E_POLL_RECORDER_H
#define QEL_TESTS_TOOLS_E2E_POLL_RECORDER_H

#include <mutex>
#include <string>
#include <vector>

struct MHD_Daemon;

namespace e2e {

class poll_recorder {
 public:
  poll_recorder();
  ~poll_recorder();
  poll_recorder(const poll_recorder&) = delete;
  poll_recorder& operator=(const poll_recorder&) = delete;

  bool running() const { return daemon_ != nullptr; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/qel/reverseConnection"; }
  // The Authorization header of every poll so far ("" when absent), in arrival order.
  std::vector<std::string> authorizations() const;
  void record(const std::string& authorization);

 private:
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
};

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_POLL_RECORDER_H
