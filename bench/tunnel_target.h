// The benchmark's target service on 127.0.0.1: answers every POST with status 200 and
// a short body, on libmicrohttpd's own thread. Owned by the benchmark's main thread.
#ifndef QEL_BENCH_TUNNEL_TARGET_H
#define QEL_BENCH_TUNNEL_TARGET_H

#include <string>

struct MHD_Daemon;

namespace tunnel_bench {

class target_service {
 public:
  explicit target_service(int port);
  ~target_service();
  target_service(const target_service&) = delete;
  target_service& operator=(const target_service&) = delete;

  bool running() const { return daemon_ != nullptr; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  MHD_Daemon* daemon_ = nullptr;
  int port_;
};

}  // namespace tunnel_bench

#endif  // QEL_BENCH_TUNNEL_TARGET_H
