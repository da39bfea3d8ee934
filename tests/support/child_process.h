// Programs run as child processes by tests and benchmarks, stdout and stderr going to
// one file. child_process starts a program and leaves it running; the destructor
// kills and reaps a child still running, so a failing test leaves no process behind.
// run_program runs one to its end. Owned and used by one thread.
#ifndef QEL_TESTS_SUPPORT_CHILD_PROCESS_H
#define QEL_TESTS_SUPPORT_CHILD_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace qeltest {

class child_process {
 public:
  // argv[0] is the program's path. `output` receives stdout and stderr; the child runs
  // in `workdir` (the caller's folder when empty) with this process's environment and
  // the "NAME=value" entries of `environment` (which replace same-named ones).
  child_process(const std::vector<std::string>& argv, const std::string& output,
                const std::string& workdir = "", const std::vector<std::string>& environment = {});
  ~child_process();
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool running();
  // Sends `signal_number` (if still running) and waits; see wait().
  int stop(int signal_number, int timeout_ms);
  // The exit code; 128+N when ended by signal N; -1 when still running at the time-out.
  int wait(int timeout_ms);
  std::string output() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
  std::string output_;
};

// Runs a program (searched in PATH) with stdin from /dev/null to its end; returns its
// exit code (128+N when ended by signal N), stdout and stderr in `output`. Throws
// std::runtime_error when it cannot be started.
int run_program(const std::vector<std::string>& argv, std::string* output = nullptr);

// The standard output of a shell command line ("" when it cannot be run).
std::string shell_output(const std::string& command);

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_CHILD_PROCESS_H
