// qelcs-host's limits and settings as an operator meets them: a named tunnel key keeps
// the other defaults and a misspelt one stops the check and the start, the shipped
// layout answers every one of 600 callers, a caller beyond the waiting bound is refused
// before its body is read, and a remote client's stop is no error at the host.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"
#include "tests/support/raw_socket.h"

namespace {

using e2e::local_url;

int run_check(const std::vector<std::string>& args, std::string& output) {
  std::vector<std::string> argv = {e2e::program_path("qelcs-host"), "--check-config"};
  argv.insert(argv.end(), args.begin(), args.end());
  return qeltest::run_program(argv, &output);
}

std::unique_ptr<e2e::child_process> run_remote(int port, const std::string& target,
                                               const e2e::temp_dir& dir) {
  return std::make_unique<e2e::child_process>(
      std::vector<std::string>{e2e::program_path("qelcs-remote"), "--poll",
                               local_url(port, "/qel/reverseConnection"), "--target", target,
                               "--status-interval", "0"},
      dir.file("remote.out"), dir.path());
}

bool port_free(int port) {
  const int fd = qeltest::connect_local(port);
  if (fd < 0) return true;
  close(fd);
  return false;
}

std::size_t count_lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace

TEST(HostSettings, ANamedKeyKeepsTheOtherDefaultsAndAMisspeltOneStopsCheckAndStart) {
  std::string output;
  EXPECT_EQ(0, run_check({"--reserved-settings", "poll_timeout = 35"}, output)) << output;
  EXPECT_NE(std::string::npos, output.find("caller_timeout = 120, max_waiting_callers = 512, poll_timeout = 35"))
      << output;
  EXPECT_EQ(0, run_check({"--reserved-settings", "caller_timeout = 0"}, output)) << output;
  EXPECT_NE(std::string::npos, output.find("caller_timeout = 0, max_waiting_callers = 512")) << output;
  e2e::temp_dir dir;
  const std::string file = dir.file("tunnel.conf");
  e2e::write_file(file, "# tunnel\ncaller_timout = 5\n");
  EXPECT_EQ(1, run_check({"--reserved-settings", file}, output)) << output;
  EXPECT_NE(std::string::npos, output.find("'" + file + "' line 2: unknown key caller_timout")) << output;
  EXPECT_EQ(std::string::npos, output.find("the configuration is valid")) << output;
  // The start fails the same way, before anything listens.
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port),
                             "--reserved-settings", file},
                            dir.path());
  EXPECT_EQ(1, host->wait(30000)) << host->output();
  EXPECT_NE(std::string::npos, host->output().find("unknown key caller_timout")) << host->output();
}

TEST(HostLimits, TheShippedLayoutAnswersEachOf600CallersWithFewLogLines) {
  // The first-run test uses the same ports: both hold this lock while they do.
  const int lock = open("/tmp/qel-default-ports.lock", O_CREAT | O_RDWR, 0666);
  ASSERT_GE(lock, 0);
  struct unlocker {
    int fd;
    ~unlocker() { close(fd); }
  } release{lock};
  ASSERT_EQ(0, flock(lock, LOCK_EX));
  if (!port_free(18080) || !port_free(18081)) GTEST_SKIP() << "ports 18080/18081 are in use";
  e2e::temp_dir dir;
  auto host = e2e::run_host({}, dir.path());
  ASSERT_TRUE(e2e::serving(18081, *host)) << host->output();
  const std::size_t lines_at_start = count_lines(host->output());
  std::vector<std::string> bodies;
  for (int i = 0; i < 600; ++i) bodies.push_back("caller-" + std::to_string(i));
  auto crowd = std::async(std::launch::async, e2e::http_post_crowd, local_url(18080, "/qel"), bodies, 120000L);
  // Let the crowd arrive and the waiting bound (512) refuse the rest, then serve them.
  std::this_thread::sleep_for(std::chrono::milliseconds(10 * e2e::settle_ms()));
  e2e::local_target target;
  auto remote = run_remote(18081, target.url(), dir);
  const auto results = crowd.get();
  int served = 0, refused = 0;
  for (const auto& result : results) {
    EXPECT_EQ("", result.error) << "a caller saw its connection closed without an answer";
    served += result.status == 201;
    refused += result.status == 503;
  }
  EXPECT_EQ(600, served + refused);
  EXPECT_GE(served, 512);
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  // Refusals are counted, not logged one by one.
  EXPECT_LT(count_lines(host->output()) - lines_at_start, 40u) << host->output();
}

TEST(HostLimits, ACallerBeyondTheWaitingBoundIsRefusedBeforeItsBodyIsRead) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port),
                             "--reserved-settings", "max_waiting_callers = 1"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  auto waiting = e2e::http_post_async(local_url(port, "/qel"), "first", {"Content-Type: text/plain"}, 30000);
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  // Headers announcing 10 MiB (within the body limit), and no body at all: the answer
  // comes anyway.
  const int fd = qeltest::connect_local(port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(qeltest::send_all(fd, "POST /qel HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
                                    "Content-Length: 10485760\r\n\r\n"));
  const std::string answer = qeltest::read_all(fd, 10);
  close(fd);
  EXPECT_EQ(503, qeltest::raw_status(answer)) << answer;
  EXPECT_NE(std::string::npos, answer.find("1 callers are waiting")) << answer;
  EXPECT_NE(std::string::npos, answer.find("Retry-After")) << answer;
  EXPECT_EQ(0, host->stop(SIGTERM, 30000)) << host->output();
  EXPECT_EQ(503, waiting.get().status);  // the stop answers the one that waited
}

TEST(HostLimits, ARemoteClientsStopUnderLoadIsNoErrorAtTheHost) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto remote = run_remote(port, target.url(), dir);
  std::atomic<bool> stop{false};
  std::vector<std::future<int>> callers;
  for (int c = 0; c < 4; ++c)
    callers.push_back(std::async(std::launch::async, [&] {
      int answered = 0;
      while (!stop.load())
        answered += e2e::http_post(local_url(port, "/qel"), "load", {"Content-Type: text/plain"}, 5000).status != 0;
      return answered;
    }));
  std::this_thread::sleep_for(std::chrono::milliseconds(5 * e2e::settle_ms()));
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  stop = true;
  for (auto& c : callers) EXPECT_GT(c.get(), 0);
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
  const std::string output = host->output();
  EXPECT_EQ(std::string::npos, output.find(" ERROR ")) << output;
}
