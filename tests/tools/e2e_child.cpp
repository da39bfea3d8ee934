// Child processes for the end-to-end tests.
#include "e2e_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "e2e_support.h"

namespace e2e {

child_process::child_process(const std::vector<std::string>& argv, const std::string& workdir,
                             const std::string& output)
    : output_(output) {
  std::vector<char*> args;  // prepared before fork: the child may only exec
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = fork();
  if (pid_ == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(workdir.c_str()) != 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    close_range(3, ~0U, 0);  // no listening socket of the test leaks into the child
    execv(args[0], args.data());
    _exit(127);
  }
  if (fd >= 0) close(fd);
}

child_process::~child_process() {
  if (running()) stop(SIGKILL, 10000);
}

bool child_process::running() { return started() && wait(0) == -1; }

int child_process::wait(int timeout_ms) {
  if (!started()) return -1;
  if (!reaped_) {
    wait_until([this] {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
      status_ = status;
      reaped_ = true;
      return true;
    }, timeout_ms);
  }
  if (!reaped_) return -1;
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

int child_process::stop(int signal_number, int timeout_ms) {
  if (started() && !reaped_) kill(pid_, signal_number);
  return wait(timeout_ms);
}

std::string child_process::output() const { return read_file(output_); }

}  // namespace e2e
