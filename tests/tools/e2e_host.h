// qelcs-host as a child process of a test: starting it in a folder, and waiting until
// it serves. Free functions; any thread.
#ifndef QEL_TESTS_TOOLS_E2E_HOST_H
#define QEL_TESTS_TOOLS_E2E_HOST_H

#include <memory>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace e2e {

// "http://127.0.0.1:PORT" + path.
std::string local_url(int port, const std::string& path);

// Listener settings of one loopback endpoint serving every resource.
std::string loopback_settings(int port);

// The datagram socket a host reports its readiness to, as to systemd (NOTIFY_SOCKET).
// A base of host_process, so that it is bound before the host starts.
class notify_socket {
 public:
  explicit notify_socket(const std::string& path);
  ~notify_socket();
  notify_socket(const notify_socket&) = delete;
  notify_socket& operator=(const notify_socket&) = delete;

  const std::string& path() const { return path_; }
  // True once "READY=1" has arrived, waiting up to `timeout_ms` for it.
  bool ready_within(int timeout_ms);

 private:
  std::string path_;
  int fd_ = -1;
  bool ready_ = false;
};

// qelcs-host run with NOTIFY_SOCKET set: it says READY=1 once CS_Init has returned,
// that is once every resource, the tunnel's included, is served.
class host_process : public notify_socket, public child_process {
 public:
  host_process(const std::vector<std::string>& argv, const std::string& dir);
};

// Runs build/bin/qelcs-host with `args` in `dir`; its output goes to dir/host.out.
std::unique_ptr<host_process> run_host(std::vector<std::string> args, const std::string& dir);

// True once the host has said it is ready and answers reverse registration on `port`
// (false if it exits first). Registration alone is not enough: its listener starts
// before the tunnel's resources are installed.
bool serving(int port, host_process& host);

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_HOST_H
