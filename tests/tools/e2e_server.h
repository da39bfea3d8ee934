// The connection server running inside the test process: build/lib's
// libqelConnectionServer5.so opened with dlopen, CS_Init called once per process with
// every listener on one free 127.0.0.1 port. The library keeps its server until the
// process ends, so one instance serves every test of the process; tests re-create the
// reverse tunnel (SetReverseConnection(1)) to start from an empty one.
#ifndef QEL_TESTS_TOOLS_E2E_SERVER_H
#define QEL_TESTS_TOOLS_E2E_SERVER_H

#include <cstdint>
#include <string>

namespace e2e {

// Values the in-process server was started with (seen in reverse registration).
constexpr const char* test_agent_name = "e2e-agent";
constexpr const char* test_agent_uuid = "6f1c2a3b-0000-4000-8000-00000000e2e0";
constexpr const char* test_dns_name = "e2e.example.test";

class cs_server {
 public:
  // The process's server, started on first use.
  static cs_server& instance();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  int port() const { return port_; }
  std::string url(const std::string& path) const;

  uint32_t set_reverse_connection(uint8_t enable) const;

 private:
  cs_server();

  std::string error_;
  int port_ = 0;
  uint32_t (*set_reverse_connection_)(uint8_t) = nullptr;
};

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_SERVER_H
