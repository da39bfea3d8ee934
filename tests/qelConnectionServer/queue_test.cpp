#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "qelConnectionServer/locked_queue.h"
#include "qelConnectionServer/post_transaction.h"
#include "qelConnectionServer/timed_queue.h"

using qel::funneltunnel::empty_queue;
using qel::funneltunnel::locked_queue;
using qel::funneltunnel::post_transaction;
using qel::funneltunnel::timed_queue;
using handle = std::shared_ptr<post_transaction>;

TEST(LockedQueue, EmptyQueueRaisesEmptyQueueAndOrderIsFifo) {
  locked_queue<handle> q(0);
  try {
    q.dequeue();
    FAIL() << "dequeue on an empty queue returned";
  } catch (const empty_queue& e) {
    EXPECT_STREQ(e.what(), "empty queue");
  }
  std::vector<handle> in;
  for (int i = 0; i < 5; ++i) {
    in.push_back(std::make_shared<post_transaction>());
    q.enqueue(in.back());
  }
  EXPECT_EQ(q.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(q.dequeue(), in[i]);
  EXPECT_EQ(q.size(), 0u);
  EXPECT_THROW(q.dequeue(), empty_queue);
}

TEST(LockedQueue, CapacityRefusesTheExtraElementAndZeroMeansUnlimited) {
  locked_queue<handle> q(2);
  auto a = std::make_shared<post_transaction>();
  auto b = std::make_shared<post_transaction>();
  q.enqueue(a);
  q.enqueue(b);
  try {
    q.enqueue(std::make_shared<post_transaction>());
    FAIL() << "third enqueue accepted";
  } catch (const std::overflow_error& e) {
    EXPECT_STREQ(e.what(), "queue full");
  }
  EXPECT_EQ(q.size(), 2u);
  EXPECT_EQ(q.dequeue(), a);
  EXPECT_EQ(q.dequeue(), b);

  locked_queue<handle> unlimited(0);
  for (int i = 0; i < 1000; ++i) unlimited.enqueue(a);
  EXPECT_EQ(unlimited.size(), 1000u);
}

TEST(LockedQueue, ClearGivesUpTheReferences) {
  locked_queue<handle> q(0);
  std::weak_ptr<post_transaction> watch;
  {
    auto t = std::make_shared<post_transaction>();
    watch = t;
    q.enqueue(t);
  }
  EXPECT_FALSE(watch.expired());  // the queue holds the last reference
  q.clear();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(q.size(), 0u);
}

TEST(TimedQueue, RecordsTheLastInsertionTimeAndClearResetsIt) {
  timed_queue<handle> q(1);
  EXPECT_EQ(q.last_enqueue_time(), 0);
  const std::time_t before = std::time(nullptr);
  q.enqueue(std::make_shared<post_transaction>());
  const std::time_t after = std::time(nullptr);
  EXPECT_GE(q.last_enqueue_time(), before);
  EXPECT_LE(q.last_enqueue_time(), after);
  q.clear();
  EXPECT_EQ(q.last_enqueue_time(), 0);
  EXPECT_EQ(q.size(), 0u);

  q.enqueue(std::make_shared<post_transaction>());
  EXPECT_THROW(q.enqueue(std::make_shared<post_transaction>()), std::overflow_error);
  EXPECT_GE(q.last_enqueue_time(), before);
  auto drained = q.drain();
  EXPECT_EQ(drained.size(), 1u);
}

// Producers and consumers at once: every element comes out exactly once.
TEST(LockedQueue, ConcurrentProducersAndConsumersLoseAndDuplicateNothing) {
  timed_queue<handle> q(0);
  constexpr int producers = 4, per_producer = 500;
  std::vector<handle> all;
  for (int i = 0; i < producers * per_producer; ++i) all.push_back(std::make_shared<post_transaction>());
  std::atomic<int> taken{0};
  std::vector<std::vector<post_transaction*>> seen(3);
  std::vector<std::thread> threads;
  for (int p = 0; p < producers; ++p) {
    threads.emplace_back([&, p] {
      for (int i = 0; i < per_producer; ++i) q.enqueue(all[p * per_producer + i]);
    });
  }
  for (int c = 0; c < 3; ++c) {
    threads.emplace_back([&, c] {
      while (taken.load() < producers * per_producer) {
        try {
          seen[c].push_back(q.dequeue().get());
          ++taken;
        } catch (const empty_queue&) {
          std::this_thread::yield();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  std::set<post_transaction*> unique;
  for (auto& s : seen) unique.insert(s.begin(), s.end());
  EXPECT_EQ(unique.size(), all.size());
  EXPECT_EQ(taken.load(), producers * per_producer);
}
