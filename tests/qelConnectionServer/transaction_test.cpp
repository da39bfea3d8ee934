#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "qelConnectionServer/post_transaction.h"

using qel::funneltunnel::post_transaction;

// Runs `wait` on another thread; true when it returned (a hang detector, not a timing).
template <class F>
bool returns(F wait) {
  auto done = std::async(std::launch::async, wait);
  return done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

TEST(Transaction, CompletionsAreCountedSoEarlyCompletesDoNotBlock) {
  auto t = std::make_shared<post_transaction>();
  t->complete();
  EXPECT_TRUE(returns([t] { t->wait(); }));  // the complete came first
  t->complete();
  t->complete();
  EXPECT_TRUE(returns([t] {
    t->wait();
    t->wait();  // two completes, two waits
  }));
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    t->wait();  // no complete left: blocks until the next one
    woke = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke.load());
  t->complete();
  waiter.join();
  EXPECT_TRUE(woke.load());
}

// The completing thread writes the response, then completes; the waiter must see
// every write once wait() returns, whichever of the two runs first.
TEST(Transaction, WaiterSeesTheResponseWrittenBeforeComplete) {
  for (int round = 0; round < 200; ++round) {
    auto t = std::make_shared<post_transaction>();
    std::thread completer([t, round] {
      t->response_data.text = "answer " + std::to_string(round);
      t->set_status_code(200 + static_cast<uint32_t>(round % 5));
      t->set_header("Content-Type", "text/plain");
      t->complete();
    });
    if (round % 2 == 0) std::this_thread::yield();
    t->wait();
    EXPECT_EQ(t->response_data.text, "answer " + std::to_string(round));
    EXPECT_EQ(t->get_status_code(), 200u + static_cast<uint32_t>(round % 5));
    EXPECT_EQ(t->find_header("Content-Type"), "text/plain");
    completer.join();
  }
}

// Many transactions completed from a pool of threads while their waiters block: each
// waiter wakes exactly for its own transaction.
TEST(Transaction, ManyWaitersEachWakeForTheirOwnCompletion) {
  constexpr int count = 64;
  std::vector<std::shared_ptr<post_transaction>> ts;
  for (int i = 0; i < count; ++i) ts.push_back(std::make_shared<post_transaction>());
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < count; ++i) {
    waiters.emplace_back([&, i] {
      ts[i]->wait();
      EXPECT_EQ(ts[i]->get_status_code(), static_cast<uint32_t>(1000 + i));
      ++woken;
    });
  }
  std::thread completer([&] {
    for (int i = count - 1; i >= 0; --i) {
      ts[i]->set_status_code(static_cast<uint32_t>(1000 + i));
      ts[i]->complete();
    }
  });
  completer.join();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(woken.load(), count);
}
