// A program of the build run as a child process by the benchmark (fork/exec, output to
// a file); the destructor ends it with SIGTERM and, failing that, SIGKILL. Owned by the
// benchmark's main thread.
#ifndef QEL_BENCH_TUNNEL_CHILD_H
#define QEL_BENCH_TUNNEL_CHILD_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace tunnel_bench {

class child {
 public:
  child(const std::vector<std::string>& argv, const std::string& output);
  ~child();
  child(const child&) = delete;
  child& operator=(const child&) = delete;

  bool alive();
  pid_t pid() const { return pid_; }
  // SIGTERM, then waits up to `timeout_ms`; the exit code, or -1.
  int stop(int timeout_ms);

 private:
  pid_t pid_ = -1;
  int code_ = -1;
};

}  // namespace tunnel_bench

#endif  // QEL_BENCH_TUNNEL_CHILD_H
