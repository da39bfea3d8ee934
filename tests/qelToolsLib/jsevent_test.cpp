// Events: manual events wake every waiter and stay signalled; automatic events wake
// one waiter and clear themselves; time-outs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "qelToolsLib/jsevent.h"
#include "tests/support/polling.h"

namespace {

using namespace std::chrono_literals;

// Polls `done` until it holds or about five seconds pass.
bool eventually(const std::function<bool()>& done) { return qeltest::wait_until(done, 5000); }

struct Waiters {
  std::atomic<int> started{0};
  std::atomic<int> woken{0};
  std::vector<std::thread> threads;

  void launch(jsEvent& event, int count) {
    for (int i = 0; i < count; ++i)
      threads.emplace_back([this, &event] {
        ++started;
        if (event.wait(5000) == 0) ++woken;
      });
    eventually([&] { return started == count; });
  }
  ~Waiters() {
    for (auto& t : threads) t.join();
  }
};

TEST(JsEvent, ManualEventWakesAllWaitersAndStaysSignalledUntilReset) {
  jsEvent event(1, true);
  ASSERT_TRUE(event.isValid());
  EXPECT_EQ(event.wait(0), 1);
  {
    Waiters waiters;
    waiters.launch(event, 3);
    std::this_thread::sleep_for(20ms);  // let them block
    EXPECT_EQ(waiters.woken, 0);
    EXPECT_EQ(event.set(), 0);
    EXPECT_TRUE(eventually([&] { return waiters.woken == 3; }));
  }
  EXPECT_EQ(event.wait(0), 0);
  EXPECT_EQ(event.wait(10), 0);
  EXPECT_EQ(event.reset(), 0);
  EXPECT_EQ(event.wait(0), 1);
}

TEST(JsEvent, AutomaticEventWakesOneWaiterAndClearsItself) {
  jsEvent event(1, false);
  Waiters waiters;
  waiters.launch(event, 3);
  std::this_thread::sleep_for(20ms);
  event.set();
  ASSERT_TRUE(eventually([&] { return waiters.woken >= 1; }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(waiters.woken, 1) << "one set() releases one waiter";
  // The event is a flag, not a count: each further set() waits for its waiter.
  event.set();
  EXPECT_TRUE(eventually([&] { return waiters.woken == 2; }));
  event.set();
  EXPECT_TRUE(eventually([&] { return waiters.woken == 3; }));
  EXPECT_EQ(event.wait(0), 1) << "every signal was consumed";
}

TEST(JsEvent, StartStateAndTimeOuts) {
  jsEvent signalled(0, false);
  EXPECT_EQ(signalled.wait(0), 0) << "created signalled";
  EXPECT_EQ(signalled.wait(0), 1) << "the signal was consumed";
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(signalled.wait(30), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 25ms);
  signalled.set();
  EXPECT_EQ(signalled.wait(jsInfinite), 0);
}

}  // namespace
