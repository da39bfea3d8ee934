// Threads: start and stop, the stop event and request, forced ends (from outside, by
// the thread itself, by destruction) and what they leave behind, restarts.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "qelToolsLib/jslock.h"
#include "qelToolsLib/jsthread.h"
#include "tests/support/polling.h"

namespace {

using namespace std::chrono_literals;

// Polls `done` until it holds or about five seconds pass.
bool eventually(const std::function<bool()>& done) { return qeltest::wait_until(done, 5000); }

// What a test thread leaves outside its object, so it can be checked after the
// object is gone.
struct Trace {
  std::atomic<int> runs{0};
  std::atomic<int> passes{0};
  std::atomic<int> unwound{0};
  std::atomic<bool> afterSelfStop{false};
};

struct Unwind {
  explicit Unwind(Trace& t) : trace(t) {}
  ~Unwind() { ++trace.unwound; }
  Trace& trace;
};

// Sleeps on the stop event until stop() is called, like the core's funnel thread.
class Cooperative : public jsThread {
 public:
  explicit Cooperative(Trace& t) : jsThread("cooperative"), m_trace(t) {}
  ~Cooperative() override { stop(5000, true); }
  unsigned long run() override {
    ++m_trace.runs;
    while (!stopRequested()) {
      waitForStop(10000);
      ++m_trace.passes;
    }
    return 7;
  }

 private:
  Trace& m_trace;
};

// Ignores stop requests; holds `lock` while it runs.
class Stubborn : public jsThread {
 public:
  Stubborn(Trace& t, jsFastSync* lock) : jsThread("stubborn", 10), m_trace(t), m_lock(lock) {}
  unsigned long run() override {
    // Only locals and the base from here on: destroyed without a stop first, the object
    // loses this class's part while ~jsThread ends the thread.
    Trace& trace = m_trace;
    jsThread& self = *this;
    Unwind unwind(trace);
    jsFastLock hold(*m_lock);
    ++trace.runs;
    for (;;) {
      self.waitForStop(5);
      ++trace.passes;
    }
  }

 private:
  Trace& m_trace;
  jsFastSync* m_lock;
};

TEST(JsThread, StopEventStartsSignalledAndIsConsumedOnce) {
  Trace trace;
  Cooperative thread(trace);
  ASSERT_TRUE(thread.isValid());
  EXPECT_EQ(thread.waitForStop(0), 0);
  EXPECT_EQ(thread.waitForStop(0), 1);
  EXPECT_FALSE(thread.isRunning());
  EXPECT_EQ(thread.name(), "cooperative");
  EXPECT_EQ(thread.priority(), jsThread::defaultPriority);
}

TEST(JsThread, CooperativeStopEndsTheSleepAtOnce) {
  Trace trace;
  Cooperative thread(trace);
  ASSERT_EQ(thread.start(), 1);
  EXPECT_TRUE(thread.isRunning());
  EXPECT_NE(thread.threadId(), pthread_t(0));
  // The first sleep returns at once (the stop event starts signalled); the second
  // lasts until stop().
  ASSERT_TRUE(eventually([&] { return trace.passes == 1; }));
  EXPECT_EQ(thread.stop(5000, false), 0);
  EXPECT_FALSE(thread.isRunning());
  EXPECT_EQ(thread.exitCode(), 7u);
  EXPECT_EQ(trace.passes, 2);
  EXPECT_TRUE(thread.stopRequested());
}

TEST(JsThread, StartWhileRunningStartsNothingAndRestartRunsAgain) {
  Trace trace;
  Cooperative thread(trace);
  ASSERT_EQ(thread.start(), 1);
  ASSERT_TRUE(eventually([&] { return trace.runs == 1; }));
  EXPECT_EQ(thread.start(), 1);
  EXPECT_EQ(thread.stop(5000, false), 0);
  EXPECT_EQ(trace.runs, 1);
  ASSERT_EQ(thread.start(), 1);
  EXPECT_FALSE(thread.stopRequested()) << "a new start clears the stop request";
  ASSERT_TRUE(eventually([&] { return trace.runs == 2; }));
  EXPECT_EQ(thread.stop(5000, false), 0);
}

TEST(JsThread, StopWithoutWaitingEndsTheThreadForcibly) {
  Trace trace;
  jsFastSync lock;
  Stubborn thread(trace, &lock);
  ASSERT_EQ(thread.start(), 1);
  ASSERT_TRUE(eventually([&] { return trace.runs == 1; }));
  EXPECT_EQ(thread.stop(0, false), 1);
  EXPECT_FALSE(thread.isRunning());
  EXPECT_EQ(thread.exitCode(), jsThread::forcedExitCode);
  EXPECT_EQ(trace.unwound, 1) << "the ended thread's stack was unwound";
  EXPECT_EQ(lock.tryLock(), 0) << "the lock it held through a guard was released";
  lock.unlock();
  const int passes = trace.passes;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(trace.passes, passes) << "the ended thread does not run on";
}

TEST(JsThread, StopThatTimesOutWithoutForceLeavesTheThreadRunning) {
  Trace trace;
  jsFastSync lock;
  Stubborn thread(trace, &lock);
  ASSERT_EQ(thread.start(), 1);
  ASSERT_TRUE(eventually([&] { return trace.runs == 1; }));
  EXPECT_EQ(thread.stop(50, false), 0);
  EXPECT_TRUE(thread.isRunning());
  EXPECT_TRUE(thread.stopRequested());
  const int passes = trace.passes;
  EXPECT_TRUE(eventually([&] { return trace.passes > passes; }));
  EXPECT_EQ(thread.stop(20, true), 1);
  EXPECT_FALSE(thread.isRunning());
  EXPECT_EQ(thread.stop(20, true), 1) << "nothing left to end";
}

TEST(JsThread, DestructionEndsARunningThread) {
  Trace trace;
  jsFastSync lock;
  {
    Stubborn thread(trace, &lock);
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(eventually([&] { return trace.runs == 1; }));
  }
  EXPECT_EQ(trace.unwound, 1);
  EXPECT_EQ(lock.tryLock(), 0);
  lock.unlock();
}

class SelfStopping : public jsThread {
 public:
  explicit SelfStopping(Trace& t) : jsThread("self"), m_trace(t) {}
  unsigned long run() override {
    Unwind unwind(m_trace);
    stop(0, true);
    m_trace.afterSelfStop = true;
    return 1;
  }

 private:
  Trace& m_trace;
};

TEST(JsThread, ThreadThatEndsItselfForciblyExitsAtOnce) {
  Trace trace;
  SelfStopping thread(trace);
  ASSERT_EQ(thread.start(), 1);
  ASSERT_TRUE(eventually([&] { return !thread.isRunning(); }));
  EXPECT_EQ(thread.exitCode(), 0xDEADu);
  EXPECT_FALSE(trace.afterSelfStop);
  EXPECT_EQ(trace.unwound, 1);
}

class Throwing : public jsThread {
 public:
  Throwing() : jsThread("throwing") {}
  unsigned long run() override { throw std::logic_error("broken"); }
};

TEST(JsThreadDeathTest, ExceptionEscapingRunAbortsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Throwing thread;
        thread.start();
        std::this_thread::sleep_for(5s);
      },
      "");
}

}  // namespace
