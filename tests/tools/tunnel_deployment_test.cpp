// qelcs-host and qelcs-remote as a user runs them, for what goes beyond the plain
// tunnel: parallel pollers, the caller deadline and the waiting bound, the default
// layout that keeps the remote side reachable, idle pollers, a client against an older
// host, and the warning about clients fighting over the tunnel.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <future>
#include <thread>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

using e2e::local_url;

std::unique_ptr<e2e::child_process> run_remote(const std::string& poll_url, const std::string& target,
                                               std::vector<std::string> extra, const e2e::temp_dir& dir,
                                               const std::string& name = "remote") {
  std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--poll", poll_url,
                                   "--target", target, "--status-interval", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
}

std::shared_future<e2e::http_result> call(int port, const std::string& body, long timeout_ms = 30000) {
  return e2e::http_post_async(local_url(port, "/qel"), body, {"Content-Type: text/plain"}, timeout_ms);
}

// The number before `what` in the remote's summary line ("... 12 polls").
long summary_count(const std::string& output, const std::string& what) {
  const auto summary = output.rfind("summary after");
  const auto at = output.find(" " + what, summary);
  if (summary == std::string::npos || at == std::string::npos) return -1;
  const auto start = output.rfind(' ', at - 1) + 1;
  return std::stol(output.substr(start, at - start));
}

int other_port(int port) {
  int other = e2e::free_port();
  while (other == port) other = e2e::free_port();
  return other;
}

}  // namespace

TEST(TunnelDeployment, ParallelPollersLetAFastRequestOvertakeSlowOnes) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto remote = run_remote(local_url(port, "/qel/reverseConnection"), target.url(), {"--pollers", "4"}, dir);
  EXPECT_EQ(201, call(port, "warm-up").get().status);  // the client is connected
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));  // all four polls
  std::vector<std::shared_future<e2e::http_result>> slow;
  const std::string sleep = "sleep " + std::to_string(10 * e2e::settle_ms());
  for (int i = 0; i < 3; ++i) slow.push_back(call(port, sleep));
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  const auto fast = e2e::http_post(local_url(port, "/qel"), "fast", {"Content-Type: text/plain"});
  EXPECT_EQ(201, fast.status) << remote->output();
  for (const auto& s : slow) EXPECT_FALSE(e2e::ready_within(s, 0)) << "a slow request finished first";
  for (const auto& s : slow) EXPECT_EQ(201, s.get().status);
  EXPECT_GE(target.most_at_once(), 3);  // the slow ones were with the target together
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(0, summary_count(remote->output(), "poll errors")) << remote->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(TunnelDeployment, DeadlineAndWaitingBoundAnswerCallersWithoutARemoteClient) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port), "--reserved-settings",
                             "caller_timeout = 2\nmax_waiting_callers = 2\n"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  auto first = call(port, "one");
  auto second = call(port, "two");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  const auto third = e2e::http_post(local_url(port, "/qel"), "three", {"Content-Type: text/plain"}, 1000);
  EXPECT_EQ(503, third.status);  // at once: well inside the 1 s the call allows
  EXPECT_NE(std::string::npos, third.body.find("callers are waiting")) << third.body;
  for (auto* waiting : {&first, &second}) {
    const auto result = waiting->get();
    EXPECT_EQ(504, result.status);
    EXPECT_NE(std::string::npos, result.body.find("did not answer in time")) << result.body;
  }
  // A client that starts now finds nothing to forward: the callers were withdrawn.
  e2e::local_target target;
  auto remote = run_remote(local_url(port, "/qel/reverseConnection"), target.url(), {"--duration", "1"}, dir);
  EXPECT_EQ(0, remote->wait(30000));
  EXPECT_EQ(0, target.requests());
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(TunnelDeployment, WaitingCallersNeverLockOutTheRemoteClientOrRegistration) {
  e2e::temp_dir dir;
  const int callers_port = e2e::free_port();
  const int remote_port = other_port(callers_port);
  // The host's default layout with the caller endpoint's limits lowered to three.
  auto host = e2e::run_host({"--listener-settings-2",
                             "port = " + std::to_string(callers_port) +
                                 "\nper_ip_limit = 3\nconnection_limit = 3\n[endpoint remote]\nport = " +
                                 std::to_string(remote_port) + "\n"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(remote_port, *host)) << host->output();
  std::vector<std::shared_future<e2e::http_result>> callers;
  for (int i = 0; i < 3; ++i) callers.push_back(call(callers_port, "caller " + std::to_string(i), 60000));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * e2e::settle_ms()));
  EXPECT_EQ(200, e2e::http_post(local_url(remote_port, "/qel/sensor_services/management"), "").status);
  e2e::local_target target;
  auto remote = run_remote(local_url(remote_port, "/qel/reverseConnection"), target.url(),
                           {"--max-requests", "3"}, dir);
  for (int i = 0; i < 3; ++i) {
    const auto result = callers[i].get();
    EXPECT_EQ(201, result.status) << remote->output();
    EXPECT_EQ("target POST /qel caller " + std::to_string(i), result.body);
  }
  EXPECT_EQ(0, remote->wait(30000)) << remote->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(TunnelDeployment, IdlePollersAllGetTheirEmptyAnswersInTime) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port), "--reserved-settings",
                             "poll_timeout = 1"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  // Eight parked polls released one per pass would keep the last waiting about 8 s,
  // beyond the client's 5 s poll time-out; each must come back within 1 to 2 s.
  auto remote = run_remote(local_url(port, "/qel/reverseConnection"), target.url(),
                           {"--pollers", "8", "--poll-timeout", "5", "--duration", "8"}, dir);
  EXPECT_EQ(0, remote->wait(60000));
  const std::string output = remote->output();
  EXPECT_EQ(0, summary_count(output, "poll errors")) << output;
  EXPECT_GE(summary_count(output, "polls"), 16) << output;  // every poller answered repeatedly
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
}

TEST(TunnelDeployment, ClientFallsBackToOnePollerAgainstAnOlderHost) {
  e2e::temp_dir dir;
  auto older = e2e::local_target::older_host();
  e2e::local_target target;
  auto remote = run_remote(older->url() + "/qel/reverseConnection", target.url(),
                           {"--pollers", "4", "--duration", "2"}, dir);
  EXPECT_EQ(0, remote->wait(30000));
  const std::string output = remote->output();
  const auto warning = output.find("does not know join polls");
  EXPECT_NE(std::string::npos, warning) << output;
  EXPECT_EQ(std::string::npos, output.find("does not know join polls", warning + 1)) << output;
  EXPECT_EQ(0, summary_count(output, "poll errors")) << output;
  EXPECT_GE(older->joins(), 1);
  EXPECT_LE(older->joins(), 4);  // one each at most, then a single poller that resets
  EXPECT_GE(older->requests(), 3) << output;
}

TEST(TunnelDeployment, HostWarnsWhenClientsKeepResettingTheTunnel) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port)}, dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  std::vector<std::shared_future<e2e::http_result>> resets;
  for (int i = 0; i < 12; ++i) {  // each drops the one before: two clients fighting
    resets.push_back(e2e::http_post_async(local_url(port, "/qel/reverseConnection"), "", {}, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(e2e::wait_until([&] { return host->output().find("was reset") != std::string::npos; }, 10000))
      << host->output();
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
  const std::string output = host->output();
  EXPECT_EQ(output.find("was reset"), output.rfind("was reset")) << "one warning a minute";
}

namespace {

int threads_of(pid_t pid) {
  std::FILE* status = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (status == nullptr) return -1;
  char line[256];
  int threads = -1;
  while (std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "Threads: %d", &threads) == 1) break;
  std::fclose(status);
  return threads;
}

}  // namespace

TEST(TunnelDeployment, CallersAnsweredLaterHoldNoThreadAndKeepTheirAnswers) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port) + "\nnonblocking_workers = 1",
                             "--reserved-settings", "answer_later = on\ncaller_timeout = 3"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  const int idle_threads = threads_of(host->pid());
  std::vector<std::shared_future<e2e::http_result>> callers;
  for (int i = 0; i < 20; ++i) callers.push_back(call(port, "caller " + std::to_string(i)));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * e2e::settle_ms()));
  // Twenty callers wait, queued, on the endpoint's one worker.
  EXPECT_LE(threads_of(host->pid()), idle_threads + 2);
  e2e::local_target target;
  auto remote = run_remote(local_url(port, "/qel/reverseConnection"), target.url(), {"--pollers", "4"}, dir);
  for (auto& caller : callers) EXPECT_EQ(201, caller.get().status);
  EXPECT_EQ(20, target.requests());
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000));
  // Without a client: the deadline, then a stop with a caller waiting.
  const auto late = call(port, "late").get();
  EXPECT_EQ(504, late.status);
  EXPECT_NE(std::string::npos, late.body.find("did not answer in time")) << late.body;
  auto stopped = call(port, "stopped");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  EXPECT_EQ(0, host->stop(SIGTERM, 30000));
  EXPECT_EQ(503, stopped.get().status);
}
