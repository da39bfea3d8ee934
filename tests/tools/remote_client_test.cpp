// qelcs-remote against the in-process connection server and a local target.
#include <signal.h>

#include <atomic>
#include <memory>

#include "e2e_target.h"
#include "tunnel_fixture.h"

class RemoteClientTest : public TunnelTest {
 protected:
  std::unique_ptr<e2e::child_process> start_remote(const std::string& target,
                                                   const std::vector<std::string>& extra) {
    std::vector<std::string> args = {e2e::program_path("qelcs-remote"), "--poll",
                                     server().url("/qel/reverseConnection"), "--target", target,
                                     "--status-interval", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto child = std::make_unique<e2e::child_process>(
        args, dir_.file("remote" + std::to_string(++started_) + ".out"), dir_.path());
    EXPECT_TRUE(child->started());
    return child;
  }

  e2e::temp_dir dir_;
  e2e::local_target target_;
  int started_ = 0;
};

TEST_F(RemoteClientTest, TwoHundredWaitingCallersAreAllAnswered) {
  ASSERT_TRUE(target_.running());
  const int baseline = e2e::thread_count();
  std::vector<std::string> bodies;
  for (int i = 0; i < 200; ++i) bodies.push_back("caller-" + std::to_string(i));
  auto crowd = std::async(std::launch::async, e2e::http_post_crowd, server().url("/qel"), bodies, 240000L);
  settle();  // every caller waits before the remote client starts
  auto remote = start_remote(target_.url(), {"--max-requests", "200"});
  const auto results = crowd.get();
  int answered = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ("", results[i].error) << "caller " << i << "; the remote client said:\n"
                                     << remote->output();
    EXPECT_EQ(201, results[i].status) << "caller " << i;
    EXPECT_EQ("target POST /qel " + bodies[i], results[i].body);  // none lost or mixed up
    answered += results[i].status == 201 ? 1 : 0;
  }
  EXPECT_EQ(200, answered);
  EXPECT_EQ(0, remote->wait(30000)) << remote->output();
  EXPECT_EQ(200, target_.requests());
  EXPECT_NE(std::string::npos, remote->output().find("200 forwarded, 200 answered")) << remote->output();
  // The client's last poll stays parked; re-creating the tunnel releases it, and then
  // no thread of the 200 requests is left.
  ASSERT_EQ(0u, server().set_reverse_connection(1));
  // One thread may stay: the service library's connection watch, started by the first
  // request that waited.
  EXPECT_TRUE(e2e::wait_until([&] { return e2e::thread_count() <= baseline + 1; }, 30000))
      << e2e::thread_count() << " threads, " << baseline << " before";
}

TEST_F(RemoteClientTest, UnreachableTargetAnswersTheCaller502) {
  const std::string closed = "127.0.0.1:" + std::to_string(e2e::free_port());
  auto remote = start_remote("http://" + closed, {"--max-requests", "1"});
  const auto result = e2e::http_post(server().url("/qel"), "x", {"Content-Type: text/plain"});
  EXPECT_EQ(502, result.status);
  EXPECT_NE(std::string::npos, result.body.find(closed)) << result.body;
  EXPECT_EQ(0, remote->wait(30000));
  const std::string output = remote->output();
  EXPECT_NE(std::string::npos, output.find("1 target failures")) << output;
  EXPECT_NE(std::string::npos, output.find(closed)) << output;
}

TEST_F(RemoteClientTest, ResetsTheTunnelAtStartAndStopsCleanlyOnSigterm) {
  auto poll = reset_poll();
  settle();
  auto stranded = call("stranded");
  ASSERT_EQ("stranded", done(poll).body);  // out with a remote side that never answers
  auto remote = start_remote(target_.url(), {});
  EXPECT_EQ(503, done(stranded).status);  // released by the client's first poll
  const auto served = e2e::http_post(server().url("/qel"), "served", {"Content-Type: text/plain"});
  EXPECT_EQ(201, served.status);
  EXPECT_EQ("target POST /qel served", served.body);
  EXPECT_EQ("text/plain", served.header("Content-Type"));
  EXPECT_TRUE(e2e::wait_until([&] { return remote->output().find("state waiting") != std::string::npos; },
                              10000)) << "no periodic status line: " << remote->output();
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000));
  const std::string output = remote->output();
  EXPECT_NE(std::string::npos, output.find("SIGTERM received")) << output;
  EXPECT_NE(std::string::npos, output.find("summary after")) << output;
  EXPECT_NE(std::string::npos, output.find("1 forwarded, 1 answered")) << output;
}

TEST_F(RemoteClientTest, ReverseConnectionRecreatedTwiceUnderTraffic) {
  auto remote = start_remote(target_.url(), {});
  std::atomic<bool> stop{false};
  std::vector<std::future<std::vector<e2e::http_result>>> workers;
  for (int w = 0; w < 3; ++w)
    workers.push_back(std::async(std::launch::async, [&stop, this] {
      std::vector<e2e::http_result> results;
      while (!stop.load())
        results.push_back(e2e::http_post(server().url("/qel"), "load", {"Content-Type: text/plain"}, 30000));
      return results;
    }));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(0u, server().set_reverse_connection(1));
  EXPECT_EQ(0u, server().set_reverse_connection(1));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  stop = true;
  int ok = 0;
  for (auto& worker : workers)
    for (const auto& result : worker.get()) {
      // Each caller gets an answer: served, or released by the re-creation.
      EXPECT_EQ("", result.error);
      EXPECT_TRUE(result.status == 201 || result.status == 503 || result.status == 500) << result.status;
      ok += result.status == 201 ? 1 : 0;
    }
  EXPECT_GT(ok, 0);
  // The new tunnel serves the same client.
  const auto after = e2e::http_post(server().url("/qel"), "after", {"Content-Type: text/plain"});
  EXPECT_EQ(201, after.status) << remote->output();
  EXPECT_EQ(0, remote->stop(SIGTERM, 30000));
}
