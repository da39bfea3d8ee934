// The remote client's reconnect delay: it doubles up to its cap, starts over after a
// success, and each wait is drawn within [step / 2, step], so that pollers that failed
// together (a host restart) spread out instead of returning in one instant.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tools/qelcs-remote/backoff.h"

using qelcs_remote::backoff;

TEST(Backoff, DoublesToItsCapWithinHalfAndAllOfEachStep) {
  backoff b(500, 4000);
  const std::vector<long> steps = {500, 1000, 2000, 4000, 4000};
  for (long step : steps) {
    const long delay = b.next_delay_ms();
    EXPECT_GE(delay, step / 2);
    EXPECT_LE(delay, step);
  }
  b.reset();
  const long first = b.next_delay_ms();
  EXPECT_GE(first, 250);
  EXPECT_LE(first, 500);
}

TEST(Backoff, PollersThatFailTogetherWaitDifferentTimes) {
  std::set<long> firsts;
  for (int poller = 0; poller < 8; ++poller) firsts.insert(backoff(500, 30000).next_delay_ms());
  // Eight draws from 251 possible values: all equal would be no jitter at all.
  EXPECT_GT(firsts.size(), 4u);
}
