#include "tests/support/fresh_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// Present in AddressSanitizer builds: the child ends with _exit, which skips the leak
// check that runs at a normal exit, so it asks for one itself.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace qeltest {
namespace {

// The child's side: a fresh folder, the body, and an exit code saying whether the
// body failed. _exit skips the parent's static destructors and atexit handlers.
[[noreturn]] void run_child(const std::function<void()>& body, unsigned timeout_seconds) {
  alarm(timeout_seconds);  // a hung body dies of SIGALRM and fails the test
  std::string folder = (std::filesystem::temp_directory_path() / "qeltest-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) {
    std::perror("qeltest: temporary working folder");
    _exit(3);
  }
  body();
  bool failed = ::testing::Test::HasFailure();
  if (__lsan_do_recoverable_leak_check != nullptr && __lsan_do_recoverable_leak_check() != 0) {
    std::fprintf(stderr, "qeltest: the case's process leaked memory (report above)\n");
    failed = true;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(failed ? 1 : 0);
}

}  // namespace

std::string temp_path(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid())))
      .string();
}

void run_in_fresh_process(const std::function<void()>& body, unsigned timeout_seconds) {
  std::fflush(stdout);  // the child must not print the parent's pending output again
  std::fflush(stderr);
  const pid_t pid = fork();
  ASSERT_NE(pid, -1) << "fork failed";
  if (pid == 0) run_child(body, timeout_seconds);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (WIFSIGNALED(status)) {
    ADD_FAILURE() << "the case's process ended by signal " << WTERMSIG(status)
                  << (WTERMSIG(status) == SIGALRM ? " (time-out)" : "");
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the case failed in its own process (output above)";
  }
}

}  // namespace qeltest
