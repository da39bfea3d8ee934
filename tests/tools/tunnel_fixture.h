// Fixture of the tunnel tests: the in-process connection server with a fresh reverse
// tunnel per test, and the two sides of the tunnel as plain HTTP calls on threads of
// their own: callers POST to /qel, the remote side POSTs polls to
// /qel/reverseConnection. TearDown re-creates the tunnel, which releases whatever the
// test left parked, then waits for every call it started.
#ifndef QEL_TESTS_TOOLS_TUNNEL_FIXTURE_H
#define QEL_TESTS_TOOLS_TUNNEL_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "e2e_server.h"
#include "e2e_support.h"

class TunnelTest : public ::testing::Test {
 protected:
  using call_t = std::shared_future<e2e::http_result>;

  void SetUp() override {
    ++tests_in_process();
    ASSERT_TRUE(server().ok()) << server().error();
    ASSERT_EQ(0u, server().set_reverse_connection(1));
  }

  void TearDown() override {
    server().set_reverse_connection(1);
    for (const auto& call : calls_) call.wait();
  }

  static e2e::cs_server& server() { return e2e::cs_server::instance(); }

  static int& tests_in_process() {
    static int count = 0;
    return count;
  }

  // A caller's request to /qel.
  call_t call(const std::string& body, const e2e::header_lines& headers = {"Content-Type: text/plain"},
              long timeout_ms = 60000) {
    return keep(e2e::http_post_async(server().url("/qel"), body, headers, timeout_ms));
  }

  // A poll without an answer: a tunnel reset.
  call_t reset_poll(long timeout_ms = 90000) {
    return keep(e2e::http_post_async(server().url("/qel/reverseConnection"), "",
                                     {"Content-Type:"}, timeout_ms));
  }

  // A poll answering `flow` with `status` (omitted when empty) and `body`.
  call_t answer_poll(const std::string& flow, const std::string& status, const std::string& body,
                     e2e::header_lines headers = {}, long timeout_ms = 90000) {
    headers.push_back("X-QEL-Message-Id: " + flow);
    if (!status.empty()) headers.push_back("X-QEL-Status-Code: " + status);
    return keep(e2e::http_post_async(server().url("/qel/reverseConnection"), body, headers,
                                     timeout_ms));
  }

  // Long enough for a request sent just now to have reached the server's queues.
  static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(e2e::settle_ms())); }

  // Result of a call expected to complete now (within a generous bound).
  static e2e::http_result done(const call_t& call) {
    EXPECT_TRUE(e2e::ready_within(call, 20000)) << "call did not complete";
    return e2e::ready_within(call, 0) ? call.get() : e2e::http_result{};
  }

  static bool still_waiting(const call_t& call) { return !e2e::ready_within(call, e2e::settle_ms()); }

 private:
  call_t keep(call_t call) {
    calls_.push_back(call);
    return call;
  }

  std::vector<call_t> calls_;
};

#endif  // QEL_TESTS_TOOLS_TUNNEL_FIXTURE_H
