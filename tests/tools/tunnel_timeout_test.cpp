// The one test that waits for the reverse funnel's real poll time-out (28-56 s).
#include <chrono>

#include "tunnel_fixture.h"

TEST_F(TunnelTest, ParkedPollIsAnsweredEmptyAfterTheTimeOut) {
  auto poll1 = reset_poll();
  settle();
  auto caller = call("t");
  const auto carried = done(poll1);
  const auto parked_at = std::chrono::steady_clock::now();
  auto poll2 = answer_poll(carried.header("X-QEL-Message-Id"), "200", "answered",
                           {"Content-Type: text/x-answer"});
  EXPECT_EQ("answered", done(caller).body);
  ASSERT_TRUE(e2e::ready_within(poll2, 80000)) << "parked poll never timed out";
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - parked_at;
  const auto timed_out = poll2.get();
  EXPECT_EQ(200, timed_out.status);
  EXPECT_EQ("", timed_out.body);
  // The poll's own headers were cleared when it delivered its answer.
  for (const char* name : {"Content-Type", "X-QEL-Message-Id", "X-QEL-Location", "X-QEL-Method",
                           "X-QEL-Status-Code"})
    EXPECT_NE("text/x-answer", timed_out.header(name)) << name;
  EXPECT_FALSE(timed_out.has_header("X-QEL-Message-Id"));
  EXPECT_FALSE(timed_out.has_header("X-QEL-Location"));
  EXPECT_GE(waited.count(), 27.0);
  EXPECT_LE(waited.count(), 75.0);
  // A next reset poll is parked again, as at the start.
  EXPECT_TRUE(still_waiting(reset_poll()));
}
