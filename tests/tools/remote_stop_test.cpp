// qelcs-remote stopping while a poll that carries an answer is out, and the graceful
// stop of a client that declares itself: the host side is played by hand here, so that
// the test decides whether a poll was read and sees every poll the client sends.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e_scripted_server.h"
#include "e2e_support.h"
#include "e2e_target.h"

namespace {

using scripted_host = e2e::scripted_server;

TEST(RemoteStop, AnswerOutWhenTheClientStopsIsSentAgain) {
  scripted_host host;
  e2e::local_target target;
  e2e::temp_dir dir;
  e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll", host.url("/qel/reverseConnection"),
                             "--target", target.url(), "--pollers", "1", "--status-interval", "0"},
                            dir.file("remote.out"), dir.path());
  ASSERT_NE("", host.next_request(10000)) << remote.output();  // the first poll resets
  host.answer("X-QEL-Message-Id: 7\r\nX-QEL-Location: /qel\r\nX-QEL-Method: POST\r\n", "hello");
  const std::string answer = host.next_request(10000);
  ASSERT_NE(std::string::npos, answer.find("X-QEL-Message-Id: 7")) << answer;
  // That answer has gone out but, as far as the client can tell, may not have been read:
  // the client stops now, and must send it once more before it ends.
  ASSERT_EQ(0, kill(remote.pid(), SIGTERM));
  const std::string again = host.next_request(10000);
  EXPECT_NE(std::string::npos, again.find("X-QEL-Message-Id: 7")) << again << remote.output();
  EXPECT_NE(std::string::npos, again.find("target POST /qel hello")) << again;
  host.answer("", "");  // taken: no request to carry
  EXPECT_EQ(0, remote.wait(30000)) << remote.output();
}

}  // namespace

namespace {

// The requests a scripted host receives within `ms`, until `enough` says stop.
template <typename Enough>
std::vector<std::string> collect(e2e::scripted_server& host, int ms, Enough enough) {
  std::vector<std::string> seen;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!enough(seen) && std::chrono::steady_clock::now() < end) {
    std::string request = host.next_request(100);
    if (request.empty()) continue;
    seen.push_back(request);
    // Presence polls stay parked; every other poll is answered empty as taken, the
    // answer marked as one that reached nobody.
    if (e2e::header_of(request, "X-QEL-Poll") == "presence") continue;
    host.answer("X-QEL-Instance: h1\r\n" + std::string(e2e::header_of(request, "X-QEL-Status-Code").empty()
                                                            ? ""
                                                            : "X-QEL-Answer: dropped\r\n"),
                "");
  }
  return seen;
}

const std::string* find_poll(const std::vector<std::string>& polls, const std::string& header,
                             const std::string& value) {
  for (const std::string& poll : polls)
    if (e2e::header_of(poll, header) == value) return &poll;
  return nullptr;
}

}  // namespace

TEST(RemoteStop, DeclaredClientStopsGracefullyAndASecondSignalAbandonsTheTarget) {
  for (const bool second_signal : {false, true}) {
    SCOPED_TRACE(second_signal ? "two signals" : "one signal");
    scripted_host host;
    e2e::local_target target;
    e2e::temp_dir dir;
    e2e::child_process remote({e2e::program_path("qelcs-remote"), "--poll", host.url("/qel/reverseConnection"),
                               "--target", target.url(), "--pollers", "1", "--status-interval", "0",
                               "--drain-timeout", "20"},
                              dir.file("remote.out"), dir.path());
    const std::string reset = host.next_request(10000);
    ASSERT_NE("", reset) << remote.output();
    EXPECT_EQ("", e2e::header_of(reset, "X-QEL-Message-Id"));  // the run's reset
    const std::string client = e2e::header_of(reset, "X-QEL-Client");
    EXPECT_NE("", client);
    // A host that knows declared clients hands out a slow request.
    host.answer("X-QEL-Instance: h1\r\nX-QEL-Message-Id: 9\r\nX-QEL-Location: /qel\r\n", "sleep 1500");
    // The presence poll comes while the request is with the target.
    auto polls = collect(host, 10000, [](const auto& seen) { return !seen.empty(); });
    ASSERT_EQ(1u, polls.size());
    EXPECT_EQ("presence", e2e::header_of(polls[0], "X-QEL-Poll")) << polls[0];
    EXPECT_EQ(client, e2e::header_of(polls[0], "X-QEL-Client"));
    ASSERT_EQ(0, kill(remote.pid(), SIGTERM));
    if (second_signal) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ASSERT_EQ(0, kill(remote.pid(), SIGTERM));
    }
    // The release poll, then the answer in a final poll echoing the instance.
    polls = collect(host, 10000, [](const auto& seen) {
      return find_poll(seen, "X-QEL-Message-Id", "9") != nullptr && find_poll(seen, "X-QEL-Message-Id", "join");
    });
    const std::string* release = find_poll(polls, "X-QEL-Message-Id", "join");
    ASSERT_NE(nullptr, release) << remote.output();
    EXPECT_EQ("final", e2e::header_of(*release, "X-QEL-Poll"));
    const std::string* answer = find_poll(polls, "X-QEL-Message-Id", "9");
    ASSERT_NE(nullptr, answer) << remote.output();
    EXPECT_EQ("final", e2e::header_of(*answer, "X-QEL-Poll"));
    EXPECT_EQ("h1", e2e::header_of(*answer, "X-QEL-Instance"));
    EXPECT_EQ(client, e2e::header_of(*answer, "X-QEL-Client"));
    // One signal: the target's answer; two: the request is given up, 503.
    EXPECT_EQ(second_signal ? "503" : "201", e2e::header_of(*answer, "X-QEL-Status-Code")) << *answer;
    EXPECT_EQ(0, remote.wait(30000)) << remote.output();
    const std::string output = remote.output();
    EXPECT_NE(std::string::npos, output.find("taking no new requests")) << output;
    EXPECT_NE(std::string::npos, output.find("1 answers not taken")) << output;  // X-QEL-Answer: dropped
  }
}
