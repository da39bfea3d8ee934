// Child processes of the benchmark.
#include "tunnel_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace tunnel_bench {

child::child(const std::vector<std::string>& argv, const std::string& output) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fd, 1);
    dup2(fd, 2);
    close_range(3, ~0U, 0);
    execv(args[0], args.data());
    _exit(127);
  }
  if (fd >= 0) close(fd);
}

child::~child() {
  if (alive() && stop(10000) == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool child::alive() {
  if (pid_ <= 0 || code_ != -1) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int child::stop(int timeout_ms) {
  if (alive()) kill(pid_, SIGTERM);
  for (int waited = 0; alive() && waited < timeout_ms; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return alive() ? -1 : code_;
}

}  // namespace tunnel_bench
