#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/files.h"
#include "tests/support/polling.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace qeltest {
namespace {

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

namespace {

// The environment of a child: this process's, with `extra` replacing same-named entries.
std::vector<char*> child_environment(const std::vector<std::string>& extra) {
  std::vector<char*> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const auto& x : extra) replaced = replaced || x.compare(0, name.size(), name) == 0;
    if (!replaced) entries.push_back(*e);
  }
  for (const auto& x : extra) entries.push_back(const_cast<char*>(x.c_str()));
  entries.push_back(nullptr);
  return entries;
}

}  // namespace

child_process::child_process(const std::vector<std::string>& argv, const std::string& output,
                             const std::string& workdir, const std::vector<std::string>& environment)
    : output_(output) {
  std::vector<char*> args;  // prepared before fork: the child may only exec
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env = child_environment(environment);
  const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = fork();
  if (pid_ == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
    dup2(fd, 1);
    dup2(fd, 2);
    close_range(3, ~0U, 0);  // no listening socket of the parent leaks into the child
    execve(args[0], args.data(), env.data());
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
  return reaped_ ? exit_code(status_) : -1;
}

int child_process::stop(int signal_number, int timeout_ms) {
  if (started() && !reaped_) kill(pid_, signal_number);
  return wait(timeout_ms);
}

std::string child_process::output() const { return read_file(output_); }

int run_program(const std::vector<std::string>& argv, std::string* output) {
  temp_dir dir;
  const std::string out_file = dir.file("output");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot run " + argv[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (output != nullptr) *output = read_file(out_file);
  return exit_code(status);
}

std::string shell_output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
  }
  return out;
}

}  // namespace qeltest
