// Where restarts and stops meet the tunnel: an answer for an earlier host process never
// reaches a caller of the new one, a stopping client hands back nothing it took, the
// callers of a killed client are answered in seconds, and a stopping host answers every
// caller before it exits. qelcs-host and qelcs-remote run as a user runs them.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <future>
#include <thread>

#include "e2e_host.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

using e2e::local_url;
using clock_type = std::chrono::steady_clock;

std::unique_ptr<e2e::child_process> run_remote(int port, const std::string& target,
                                               std::vector<std::string> extra, const e2e::temp_dir& dir,
                                               const std::string& name = "remote") {
  std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--poll",
                                   local_url(port, "/qel/reverseConnection"), "--target", target,
                                   "--status-interval", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return std::make_unique<e2e::child_process>(args, dir.file(name + ".out"), dir.path());
}

std::shared_future<e2e::http_result> call(int port, const std::string& body, long timeout_ms = 60000) {
  return e2e::http_post_async(local_url(port, "/qel"), body, {"Content-Type: text/plain"}, timeout_ms);
}

std::string sleep_body(int factor) { return "sleep " + std::to_string(factor * e2e::settle_ms()); }

// A host on `port` whose output goes to its own folder.
std::unique_ptr<e2e::host_process> start_host(int port, const e2e::temp_dir& dir,
                                              std::vector<std::string> extra = {}) {
  extra.insert(extra.begin(), {"--listener-settings-1", e2e::loopback_settings(port)});
  return e2e::run_host(extra, dir.path());
}

}  // namespace

TEST(HostRestart, TheEarlierHostsAnswerNeverReachesACallerOfTheNewOne) {
  // Both hosts number their flows 1, 2, ... (the plain protocol's ids), so A and B share
  // an id: only the instance marker that qelcs-remote echoes keeps A's answer from B.
  e2e::temp_dir dir1, dir2, remote_dir;
  const int port = e2e::free_port();
  const std::vector<std::string> sequential = {"--reserved-settings", "flow_ids = sequential"};
  auto host = start_host(port, dir1, sequential);
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto remote = run_remote(port, target.url(), {"--pollers", "2"}, remote_dir);
  // A's request (each host's first flow) is with the target when the host dies and
  // comes back.
  auto a = call(port, sleep_body(10));
  ASSERT_TRUE(e2e::wait_until([&] { return target.requests() >= 1; }, 20000)) << remote->output();
  EXPECT_EQ(128 + SIGKILL, host->stop(SIGKILL, 10000));
  auto again = start_host(port, dir2, sequential);
  ASSERT_TRUE(e2e::serving(port, *again)) << again->output();
  // B goes out with the other poller and is still with the target when A's answer
  // arrives at the new host.
  auto b = call(port, sleep_body(20));
  const auto b_answer = b.get();
  EXPECT_EQ(201, b_answer.status) << remote->output();
  EXPECT_EQ("target POST /qel " + sleep_body(20), b_answer.body) << remote->output();
  EXPECT_NE("", a.get().error);  // A's host died with its connection
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000)) << remote->output();
  EXPECT_EQ(0, again->stop(SIGTERM, 30000)) << again->output();
}

TEST(HostRestart, APlainClientsAnswerForTheEarlierHostIsDroppedNotDelivered) {
  // The restart exchange on the wire, the remote side played by hand as a client that
  // knows only the plain protocol: qelcs-host's flow ids do not repeat across processes.
  e2e::temp_dir dir1, dir2;
  const int port = e2e::free_port();
  const std::string poll_url = local_url(port, "/qel/reverseConnection");
  auto host = start_host(port, dir1);
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  auto a = call(port, "A");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  const auto carried_a = e2e::http_post(poll_url, "", {"Content-Type:"}, 20000);
  ASSERT_EQ("A", carried_a.body);
  const std::string old_id = carried_a.header("X-QEL-Message-Id");
  EXPECT_NE("1", old_id);  // a random start, not the plain protocol's first id
  host->stop(SIGKILL, 10000);
  auto again = start_host(port, dir2);
  ASSERT_TRUE(e2e::serving(port, *again)) << again->output();
  auto b = call(port, "B");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  const auto carried_b = e2e::http_post(poll_url, "", {"Content-Type:"}, 20000);
  ASSERT_EQ("B", carried_b.body);
  // The answer meant for A reaches the new host: taken, dropped, and B still waits.
  auto stale = e2e::http_post_async(poll_url, "answer for A",
                                    {"X-QEL-Message-Id: " + old_id, "X-QEL-Status-Code: 200"}, 20000);
  EXPECT_FALSE(e2e::ready_within(b, 3 * e2e::settle_ms()));
  EXPECT_FALSE(e2e::ready_within(stale, 0));  // no 500: parked like after any answer
  auto answering = e2e::http_post_async(poll_url, "answer for B",
                                        {"X-QEL-Message-Id: " + carried_b.header("X-QEL-Message-Id"),
                                         "X-QEL-Status-Code: 200"}, 20000);
  EXPECT_EQ("answer for B", b.get().body);
  EXPECT_EQ(0, again->stop(SIGTERM, 30000)) << again->output();
  const auto released = stale.get();
  EXPECT_EQ(200, released.status) << released.error;  // the stop answers parked polls empty
  EXPECT_EQ(200, answering.get().status);
}

TEST(RemoteStop, SigtermOfOneOfTwoClientsUnderLoadLeavesEveryCallerServed) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = start_host(port, dir);
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto stopping = run_remote(port, target.url(), {"--pollers", "1"}, dir, "stopping");
  EXPECT_EQ(201, call(port, "first in").get().status);  // the first client's reset is done
  auto staying = run_remote(port, target.url(), {"--pollers", "1"}, dir, "staying");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  std::atomic<bool> stop{false};
  std::vector<std::future<std::vector<e2e::http_result>>> callers;
  for (int c = 0; c < 4; ++c)
    callers.push_back(std::async(std::launch::async, [&] {
      std::vector<e2e::http_result> results;
      while (!stop.load()) results.push_back(call(port, "sleep 20").get());
      return results;
    }));
  std::this_thread::sleep_for(std::chrono::milliseconds(10 * e2e::settle_ms()));
  EXPECT_EQ(0, stopping->stop(SIGTERM, 30000)) << stopping->output();
  std::this_thread::sleep_for(std::chrono::milliseconds(10 * e2e::settle_ms()));
  stop = true;
  int served = 0;
  for (auto& c : callers)
    for (const auto& result : c.get()) {
      EXPECT_EQ(201, result.status) << result.body << "\nstopping client:\n" << stopping->output();
      served += result.status == 201;
    }
  EXPECT_GT(served, 8);
  EXPECT_NE(std::string::npos, stopping->output().find("finishing those in hand")) << stopping->output();
  EXPECT_EQ(201, call(port, "after").get().status);  // the other client serves on
}

TEST(RemoteStop, CallersOfAClientKilledWithSigkillAreAnsweredWithinSeconds) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = e2e::run_host({"--listener-settings-1", e2e::loopback_settings(port) + "\nmetrics = on",
                             "--reserved-settings", "caller_timeout = 120\nclient_grace = 2"},
                            dir.path());
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto remote = run_remote(port, target.url(), {}, dir);
  EXPECT_EQ(201, call(port, "warm-up").get().status);
  auto held = call(port, "sleep 15000");
  ASSERT_TRUE(e2e::wait_until([&] { return target.requests() >= 2; }, 20000));
  const auto killed = clock_type::now();
  EXPECT_EQ(128 + SIGKILL, remote->stop(SIGKILL, 10000));
  // Answered long before the caller deadline (120 s), and before the target would have
  // answered (15 s): the grace time and a pass of the check.
  const auto answer = held.get();
  EXPECT_EQ(502, answer.status) << answer.body;
  EXPECT_NE(std::string::npos, answer.body.find("went away")) << answer.body;
  EXPECT_LT(clock_type::now() - killed, std::chrono::seconds(12));
  // Counted and logged right after the answers went out.
  EXPECT_TRUE(e2e::wait_until([&] { return host->output().find("a remote client went away") != std::string::npos; },
                              5000)) << host->output();
  const std::string metrics = e2e::http_get(local_url(port, "/metrics"), {}, 10000).body;
  EXPECT_NE(std::string::npos, metrics.find("qel_tunnel_callers_of_vanished_clients_total 1\n")) << metrics;
  EXPECT_NE(std::string::npos, metrics.find("qel_tunnel_declared_clients 0\n")) << metrics;
}

TEST(HostStop, SigtermAnswersQueuedCallersAtOnceAndGivesRequestsOutTheirDrain) {
  e2e::temp_dir dir;
  const int port = e2e::free_port();
  auto host = start_host(port, dir, {"--reserved-settings", "drain_timeout = 60"});
  ASSERT_TRUE(e2e::serving(port, *host)) << host->output();
  e2e::local_target target;
  auto remote = run_remote(port, target.url(), {"--pollers", "1"}, dir);
  EXPECT_EQ(201, call(port, "warm-up").get().status);
  auto out = call(port, sleep_body(5));  // well within the drain time
  ASSERT_TRUE(e2e::wait_until([&] { return target.requests() >= 2; }, 20000));
  auto queued_1 = call(port, "q1");
  auto queued_2 = call(port, "q2");
  std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms()));
  kill(host->pid(), SIGTERM);
  for (auto* queued : {&queued_1, &queued_2}) {
    const auto refused = queued->get();
    EXPECT_EQ(503, refused.status) << refused.error;
    EXPECT_NE(std::string::npos, refused.body.find("stopping")) << refused.body;
  }
  EXPECT_FALSE(e2e::ready_within(out, 0));  // still with the target: it has its drain time
  const auto answered = out.get();
  EXPECT_EQ(201, answered.status) << host->output();
  EXPECT_EQ("target POST /qel " + sleep_body(5), answered.body);
  EXPECT_EQ(0, host->wait(30000)) << host->output();
  EXPECT_NE(std::string::npos, host->output().find("stopped")) << host->output();
  // A new caller finds nobody listening: the host stopped accepting.
  EXPECT_NE("", e2e::http_post(local_url(port, "/qel"), "late", {}, 5000).error);
}
