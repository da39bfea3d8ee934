// A program of the build run as a child process for a test: started with fork/exec in
// a working folder, stdout and stderr going to one file. The destructor kills and reaps
// a child that is still running, so a failing test leaves no process behind. Owned and
// used by one test thread.
#ifndef QEL_TESTS_TOOLS_E2E_CHILD_H
#define QEL_TESTS_TOOLS_E2E_CHILD_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

class child_process {
 public:
  // argv[0] is the program's path. `output` receives stdout and stderr.
  child_process(const std::vector<std::string>& argv, const std::string& workdir,
                const std::string& output);
  ~child_process();
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  bool started() const { return pid_ > 0; }
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

}  // namespace e2e

#endif  // QEL_TESTS_TOOLS_E2E_CHILD_H
